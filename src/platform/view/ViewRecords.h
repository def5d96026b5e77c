// What passes through the editor view's door: rectangles, mouse modifiers,
// menus and text entries as plain records, and the graphics context's side
// of the conversation. Nothing of a window system shows through.
#pragma once

#include <string>
#include <vector>

// Editor coordinates, origin top left; right and bottom exclusive.
struct ViewRect {
  int L = 0, T = 0, R = 0, B = 0;
  bool Empty() const { return R <= L || B <= T; }
  int W() const { return R - L; }
  int H() const { return B - T; }
  bool Contains(int x, int y) const { return x >= L && x < R && y >= T && y < B; }
  // The smallest rectangle holding both; an empty side does not count.
  ViewRect Union(const ViewRect& o) const;
  ViewRect Intersect(const ViewRect& o) const;
  bool operator==(const ViewRect&) const = default;
};

// L left button, R right button (or the Super key with the left one),
// S Shift, C Control, A Alt.
struct ViewMouseMod {
  bool L = false, R = false, S = false, C = false, A = false;
  bool operator==(const ViewMouseMod&) const = default;
};

// Item flags as the popup-menu model keeps them.
enum ViewMenuFlags { kViewMenuDisabled = 1, kViewMenuTitle = 2, kViewMenuChecked = 4, kViewMenuSeparator = 8 };

// One level of a popup menu; separators are items too, so indices agree
// with the model's.
struct ViewMenu {
  struct Item {
    std::string text;
    int flags = 0;
    const ViewMenu* submenu = nullptr;  // not owned
  };
  std::vector<Item> items;
  int prefix = 0;  // 0 none, 1 "%1d: ", 2 "%02d: ", 3 "%03d: "

  // The label as shown: the item's text behind its 1-based number.
  std::string Label(int index) const;
  // An item a click can choose: enabled, neither a separator nor a submenu.
  bool Choosable(int index) const;
};

struct ViewMenuChoice {
  const ViewMenu* menu = nullptr;  // the level that holds the item
  int index = -1;
};

// A single-line text entry over a rectangle of the editor.
struct ViewTextEntry {
  ViewRect rect;
  std::string text;
  std::string allowed;  // the characters that may be typed; empty: any
  int maxLength = 0;    // 0: no limit
  int align = 0;        // 0 left, 1 centre, 2 right
  int fontSize = 12;
  unsigned foreground = 0x000000;  // 0xRRGGBB
  unsigned background = 0xFFFFFF;

  // Whether text may stand in the entry: every character allowed, and no
  // longer than the limit.
  bool Accepts(const std::string& candidate) const;
};

// The characters a text entry allows for a parameter of the given type
// (1 bool, 2 int, 3 enum, 4 double, 5 text); other types allow none.
std::string TextEntryCharacters(int paramType);

struct ViewFilePrompt {
  bool save = false;
  std::string directory;   // where the chooser opens
  std::string fileName;    // the proposed name
  std::string extensions;  // blank-separated, without dots
};

// The graphics context as the view sees it. All calls come on the GUI
// thread, from the view's idle handling.
class EditorViewClient {
 public:
  virtual ~EditorViewClient() = default;
  // Merges what changed since the last drawing into r; false when nothing did.
  virtual bool IsDirty(ViewRect* r) = 0;
  // Draws r into the frame; the view then puts that part of the frame on screen.
  virtual void Draw(const ViewRect& r) = 0;
  // The frame: 32-bit pixels, bytes A, R, G, B in memory, rowSpan pixels a row.
  virtual const unsigned* FrameBits(int* rowSpan) = 0;
  virtual void OnMouseDown(int x, int y, const ViewMouseMod& mod) = 0;
  virtual void OnMouseUp(int x, int y, const ViewMouseMod& mod) = 0;
  virtual void OnMouseDrag(int x, int y, const ViewMouseMod& mod) = 0;
  virtual bool OnMouseDblClick(int x, int y, const ViewMouseMod& mod) = 0;
  virtual void OnMouseWheel(int x, int y, const ViewMouseMod& mod, int delta) = 0;
  virtual bool OnMouseOver(int x, int y, const ViewMouseMod& mod) = 0;
  // Key numbers: 0 space, 1-4 up, down, left, right, 5-14 digits, 15-40
  // letters. False: the key was not used.
  virtual bool OnKeyDown(int x, int y, int key) = 0;
  // The text of a committed entry, or null when it was closed without one.
  virtual void OnTextEntryEnd(const std::string* text) = 0;
};
