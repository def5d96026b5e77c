// The editor as a user meets it in the tests of what the window shows: opened
// headless at one of its sizes and colour schemes, its pages reached through
// the controls a user clicks.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"

class ControlLayer;
class IControl;
class IGraphics;
class ITextControl;

namespace editorpages {
struct Size {
  const char* name;
  double scale;
};
inline constexpr Size kSizes[] = {{"small", 0.85}, {"normal", 1.0}, {"large", 1.15}};
inline constexpr const char* kSchemes[] = {"yellow", "blue", "phoenix"};

// A main page and the face it shows: the multi page has two, the mixer and
// the settings.
struct Page {
  const char* name;
  int tab;
  bool settingsFace;
};
inline constexpr Page kPages[] = {{"multi", 0, false}, {"global", 0, true},  {"library", 1, false},
                                  {"osc", 2, false},   {"filter", 3, false}, {"lfo", 4, false},
                                  {"fx", 5, false}};

class Editor {
 public:
  // A settings file of its own, so the other editors of the test program
  // open at the default size and scheme while this one runs.
  Editor(const std::string& scheme, const Size& size);
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  Tarnivex& plug() { return *mLogged->plug; }
  IGraphics& graphics() { return *mGraphics; }
  double scale() const { return mScale; }
  int scaled(int v) const { return static_cast<int>(v * mScale); }

  void Click(int x, int y);  // editor coordinates at this size
  // Shows a page by clicking its tab (and the multi page's settings switch).
  void Show(const Page& page);
  // The main page the editor shows now: the visible page of the page tree.
  int ShownTab() const;
  void DrawAll();
  // Every text control on screen: not hidden, in no hidden layer.
  std::vector<ITextControl*> ShownTexts() const;
  // Every text control of the editor, shown or not.
  std::vector<ITextControl*> AllTexts() const;
  // What the window shows, a line each as "KEY<tab>VALUE": every control on
  // screen (its kind and parameter; its rectangle) and every caption printed
  // into the images on screen (its text; its place).
  std::vector<std::string> ShownLayout() const;

 private:
  std::string mSavedDataHome;
  bool mHadDataHome = false;
  std::unique_ptr<LoggedPlug> mLogged;
  IGraphics* mGraphics = nullptr;
  double mScale;
};
}  // namespace editorpages
