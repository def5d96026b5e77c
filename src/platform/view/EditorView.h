// The editor window as the graphics context sees it: a child of the host's
// window, whichever window system backs it.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>
#include <memory>
#include <string>

#include "ViewRecords.h"

class EditorView {
 public:
  enum class Kind { kViewAsConfig, kWindow };

  virtual ~EditorView() = default;
  virtual Kind GetKind() const = 0;
  virtual void* GetParent() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void* Handle() = 0;

  // What follows has a window system behind it; a view without one answers
  // as a closed window would.
  // The graphics context the view draws from and reports input to.
  virtual void SetClient(EditorViewClient*) {}
  // How often the redraw timer asks the client what changed.
  virtual void SetRedrawInterval(int) {}
  // Handles pending window-system events and the redraw timer; the host's
  // editor-idle call drives it on the GUI thread.
  virtual void Idle() {}
  virtual bool Resize(int, int) { return false; }
  // Asks for the area to be painted on the next idle call.
  virtual void Invalidate(const ViewRect&) {}
  // Runs the menu modally under the rectangle; false when nothing was chosen.
  virtual bool PopupMenu(const ViewMenu&, const ViewRect&, ViewMenuChoice*) { return false; }
  // Opens a single-line entry; its end reaches the client's OnTextEntryEnd.
  virtual bool OpenTextEntry(const ViewTextEntry&) { return false; }
  // Ends an open entry, passing its text on only when committing.
  virtual void EndTextEntry(bool) {}
  virtual bool TextEntryOpen() const { return false; }
  // The answer codes of the graphics context's ShowMessageBox: 1 OK or Yes,
  // 7 No, 2 Cancel, 0 closed.
  virtual int MessageBox(const char*, const char*, int) { return 0; }
  // Runs the desktop's file chooser; false when cancelled or not offered.
  virtual bool PromptForFile(const ViewFilePrompt&, std::string*) { return false; }
  // Hides the pointer over the editor, or shows it again where it was hidden.
  virtual void SetCursorHidden(bool) {}
};

// A view with no window system behind it: tests drive it and read it.
// Menus and text entries are answered from a script, in order; with nothing
// scripted a menu is cancelled and an entry stays open.
class HeadlessView : public EditorView {
 public:
  HeadlessView(Kind kind, void* parent, int width, int height)
      : mKind(kind), mParent(parent), mWidth(width), mHeight(height) {}
  Kind GetKind() const override { return mKind; }
  void* GetParent() const override { return mParent; }
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  void* Handle() override { return this; }

  void SetClient(EditorViewClient* client) override { mClient = client; }
  EditorViewClient* Client() const { return mClient; }
  // The item indices from the top level down to the chosen item; empty
  // cancels the menu.
  void ScriptMenuChoice(std::vector<int> path) { mMenuScript.push_back(std::move(path)); }
  // Drops the choices no menu took.
  void ClearMenuScript() { mMenuScript.clear(); }
  // Text typed into the next entry, character by character as the entry
  // allows, then committed; nullopt cancels it.
  void ScriptTextEntry(std::optional<std::string> text) { mEntryScript.push_back(std::move(text)); }
  // The answer to the next message box (1 Yes, 7 No, 2 Cancel); with none
  // scripted a box is closed (0).
  void ScriptMessageBoxAnswer(int answer) { mBoxScript.push_back(answer); }
  int MessageBox(const char* text, const char*, int) override {
    mBoxesShown.push_back(text ? text : "");
    if (mBoxScript.empty()) return 0;
    const int answer = mBoxScript.front();
    mBoxScript.pop_front();
    return answer;
  }
  const std::vector<std::string>& MessageBoxesShown() const { return mBoxesShown; }
  bool PopupMenu(const ViewMenu& menu, const ViewRect& r, ViewMenuChoice* choice) override;
  bool OpenTextEntry(const ViewTextEntry& entry) override;
  void EndTextEntry(bool commit) override;
  bool TextEntryOpen() const override { return mEntryOpen; }
  // What was shown: each menu's labels (submenus indented by two blanks,
  // flags in brackets) and each entry as opened.
  const std::vector<std::vector<std::string>>& MenusShown() const { return mMenusShown; }
  const std::vector<ViewTextEntry>& EntriesShown() const { return mEntriesShown; }

 private:
  Kind mKind;
  void* mParent;
  int mWidth;
  int mHeight;
  EditorViewClient* mClient = nullptr;
  std::deque<std::vector<int>> mMenuScript;
  std::deque<std::optional<std::string>> mEntryScript;
  std::deque<int> mBoxScript;
  std::vector<std::string> mBoxesShown;
  std::vector<std::vector<std::string>> mMenusShown;
  std::vector<ViewTextEntry> mEntriesShown;
  bool mEntryOpen = false;
  std::string mEntryText;
};

// Opens views for the graphics context; the default makes headless views.
class EditorViewFactory {
 public:
  virtual ~EditorViewFactory() = default;
  virtual std::unique_ptr<EditorView> Open(EditorView::Kind kind, void* parent, int width, int height) = 0;
  // Makes ready, on any thread, what a first view of that size will need
  // (memory it would otherwise have the kernel clear on the host's thread).
  virtual void Prepare(int, int) {}
  // Frees what Prepare made and views left behind for the next.
  virtual void ReleasePrepared() {}
};

EditorViewFactory& CurrentEditorViewFactory();
// The same, held: for threads other than the one that may replace it.
std::shared_ptr<EditorViewFactory> SharedEditorViewFactory();
void SetEditorViewFactory(std::shared_ptr<EditorViewFactory> factory);
