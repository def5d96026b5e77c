// The compact source of the GUI document. One element per line; indentation
// nests; "#" starts a comment.
//
//   layer oscillators id=2                     a page and its attributes
//     background OSCILLATORS_ID @70,64          "@" gives "position" ("bounds"
//                                               for display, dropMenu, patchBrowser,
//                                               categoryList)
//     knobcontrol "Octave" type=seKnob param=kOscillator1Octave se=kOscillator1Octave
//   multifxlayer delayFreeLayer over=EFFECTS_DELAY_ID@795,102
//                                               a layer drawn over another's
//                                               background (for the images only)
//   for n in 01..16                             repeats its lines with $n replaced;
//     banklayer bankAndProgram$n                the first bound's width pads the number
//
// The first word after the element is its "name". "param", "img" and "group"
// stand for "paramId", "imageId" and "paramGroup". "se=kName" names the
// parameter's SysEx definition; it becomes "sysexIndex" and, unless given,
// "changingByte" (the last byte of the template).
//
// A caption names a control on the faceplate: cap=CUTOFF is printed centred
// above the control, rowcap="PART 1" to its left (the name of a row). They
// are not part of the document: the image generator draws them into the
// background images under the control, so they cost nothing at run time.
// It also draws a value window under every menu and name field, for the text
// the control shows at run time. At each of the editor's three sizes it
// refuses captions that do not fit or lie closer to a neighbour on their row
// than a clear word space (9 px, the face's word space being 7), controls shown together that overlap or
// leave their panel, and any text below 4.5:1 contrast.
#pragma once

#include <map>
#include <string>
#include <vector>

struct LayoutNode {
  std::string element;
  std::vector<std::pair<std::string, std::string>> attributes;  // in source order
  std::vector<LayoutNode> children;
  std::string caption, rowCaption;  // printed above, to the left
  // A top-level layer shown only over a sub-page of another: that sub-page's
  // background ("IMAGE@x,y"), which its controls' value windows go into.
  std::string over;
  int line = 0;

  const std::string* attribute(const std::string& name) const {
    for (const auto& [key, value] : attributes)
      if (key == name) return &value;
    return nullptr;
  }
};

struct SysExEntry {
  int index;
  int length;  // bytes in the template
};

// Parses the source into top-level nodes; false with "line N: why" in error.
bool parseLayoutSource(const std::string& text, const std::map<std::string, SysExEntry>& sysex,
                       std::vector<LayoutNode>& nodes, std::string& error);
