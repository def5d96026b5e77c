// What a reading of the GUI document built, as text: the pages and controls
// it attached (class, rectangle, parameter), the parameters they edit (type,
// name, group, range, display texts), the actions of those parameters (kind,
// addressing, link, every prepared message) and the three indexes, with
// controls named by their place in the tree. Two readings that build the same
// give the same text; its hash is what the tests keep.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "IControl.h"
#include "IGraphics.h"
#include "IParam.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

class BuildFingerprint {
 public:
  // Everything attached to g from the given top-level positions on, and what ui keeps.
  BuildFingerprint(Tarnivex& plug, const UIConfigManager& ui, int firstControl, int firstLayer) {
    IGraphics* g = plug.GetGUI();
    for (int i = firstControl; i < g->NControls(); ++i) control(g->GetControl(i));
    for (int i = firstLayer; i < g->NLayers(); ++i) layer(*g->GetLayer(i), 0);
    for (const auto& [name, page] : ui.layerMap) out << "map " << name << " " << layerName(page) << "\n";
    // With the partners their links gave a record.
    for (std::set<int> todo = mParams; !todo.empty();) {
      std::set<int> partners;
      for (int idx : todo)
        if (const auto* a = static_cast<const ControlAction*>(plug.GetParam(idx)->GetControlAction()))
          if (a->link.partnerParam >= 0 && a->link.partnerParam < plug.NParams() && mParams.insert(a->link.partnerParam).second)
            partners.insert(a->link.partnerParam);
      todo = partners;
    }
    for (int idx : mParams) param(plug, idx);
    for (const auto& [k1, a] : ui.sysexControls.controls)
      for (const auto& [k2, b] : a)
        for (const auto& [k3, c] : b)
          for (const auto& [k4, d] : c)
            for (const auto& [section, ctl] : d)
              out << "sysex " << k1 << " " << k2 << " " << k3 << " " << k4 << " " << section << " " << ord(ctl) << "\n";
    for (const auto& [channel, a] : ui.ccControls)
      for (const auto& [cc, b] : a)
        for (const auto& [global, ctl] : b) out << "cc " << channel << " " << cc << " " << global << " " << ord(ctl) << "\n";
    for (const auto& [k1, a] : ui.nrpnControls.controls)
      for (const auto& [k2, b] : a)
        for (const auto& [k3, c] : b)
          for (const auto& [k4, d] : c)
            for (const auto& [k5, ctl] : d)
              out << "nrpn " << k1 << " " << k2 << " " << k3 << " " << k4 << " " << k5 << " " << ord(ctl) << "\n";
  }

  std::string text() const { return out.str(); }
  int controls() const { return static_cast<int>(mOrdinals.size()); }
  int params() const { return static_cast<int>(mParams.size()); }
  uint64_t hash() const { return Hash(text()); }

  static uint64_t Hash(const std::string& text) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
  }

 private:
  void control(const IControl* c) {
    mOrdinals.emplace(c, static_cast<int>(mOrdinals.size()));
    const IRECT* r = c->GetRECT();
    out << "control " << typeid(*c).name() << " " << r->L << "," << r->T << "," << r->R << "," << r->B << " p"
        << c->ParamIdx() << " e" << c->GetTextEntryLength() << "\n";
    if (c->ParamIdx() >= 0) mParams.insert(c->ParamIdx());
  }
  void layer(const ControlLayer& l, int depth) {
    mLayers.emplace(&l, "L" + std::to_string(mLayers.size()));
    out << "layer " << depth << " " << l.GetID() << " '" << l.GetName() << "' "
        << l.GetIgnoreHiddenWhenUpdatingScreen() << "\n";
    for (const auto& c : l.controls()) control(c.get());
    for (const auto& sub : l.subLayers()) layer(*sub, depth + 1);
  }
  void param(Tarnivex& plug, int idx) {
    const IParam* p = plug.GetParam(idx);
    out << "param " << idx << " " << p->Type() << " '" << p->GetNameForHost() << "' '" << p->GetParamGroupForHost()
        << "' " << p->GetMin() << " " << p->GetMax() << " " << p->GetStep() << " " << p->GetDefault();
    for (int i = 0; i < p->GetNDisplayTexts(); ++i) {
      int value = 0;
      const char* text = p->GetDisplayTextAtIdx(i, &value);
      out << " [" << value << ":" << text << "]";
    }
    out << "\n";
    if (const auto* a = static_cast<const ControlAction*>(p->GetControlAction())) {
      out << "  action " << a->actionType << " part" << a->part << " cc" << a->ccNumber << " ch" << a->channel << " g"
          << a->globalFlag << " msb" << a->msbLsbAddress[0] << "," << a->msbLsbAddress[1] << ","
          << a->msbLsbAddress[2] << " link" << a->link.partnerParam << "," << a->link.switchParam << ","
          << a->link.linkMode << " off" << a->ccOffValue << " on" << a->ccOnValue << " sel" << (a->selectorLayer != nullptr)
          << " lists" << a->sysex.hasMessageLists << "/" << a->sysex.messageLists.size() << " controls";
      for (const IControl* c : a->controls) out << " " << ord(c);
      out << "\n";
      for (size_t m = 0; m < a->sysex.messages.size(); ++m) {
        out << "  m" << m;
        for (int byte : a->sysex.messages[m]) out << " " << byte;
        out << "\n";
      }
    }
  }
  std::string ord(const IControl* c) const {
    const auto found = mOrdinals.find(c);
    return found == mOrdinals.end() ? "x" : std::to_string(found->second);
  }
  std::string layerName(const ControlLayer* l) const {
    if (!l) return "null";
    const auto found = mLayers.find(l);
    return found == mLayers.end() ? "x" : found->second;
  }

  std::ostringstream out;
  std::map<const IControl*, int> mOrdinals;
  std::map<const ControlLayer*, std::string> mLayers;
  std::set<int> mParams;
};
