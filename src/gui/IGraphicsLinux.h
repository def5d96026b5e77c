// The graphics context on Linux: the editor view is a child of the host's
// window, opened through the current view factory.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "EditorView.h"
#include "IGraphics.h"

class IPopupMenu;

// A PNG image of the plug-in's bundle by file name ("png" in any case), or
// null. The bundle is the one this code was loaded from, whatever its
// identifier.
std::unique_ptr<LICE_IBitmap> LoadImgFromResourceOSX(const char* bundleID, const char* name);

class IGraphicsLinux : public IGraphics {
 public:
  // The share of the window one drawing pass takes on at most.
  static constexpr int kPassShare = 16;
  // Answers a file prompt while a window is open: (action, directory, extensions) -> path.
  using FilePromptAnswer = std::function<std::string(EFileAction, const std::string&, const std::string&)>;

  IGraphicsLinux(IPlugBase* plug, int width, int height, int frameRate);
  ~IGraphicsLinux() override;

  void* OpenWindow(void* parentView) override;
  void* OpenWindow(void* window, void* control, short leftOffset, short topOffset) override;
  // The two opens by the names of the view families they stand for.
  void* OpenCocoaWindow(void* parentView);
  void* OpenCarbonWindow(void* window, void* control, short leftOffset, short topOffset);
  // The system's version number; Linux has none to give, so 0.
  static int GetUserOSVersion();
  void CloseWindow() override;
  void* GetWindow() const override { return mView ? mView->Handle() : nullptr; }
  bool WindowIsOpen() const override { return mView != nullptr; }
  // The view kinds answer as the two view families do; the window kind
  // composites its frame, as the view does.
  const char* GetGUIAPI() override;
  void PromptForFile(WDL_String* fileName, EFileAction action, WDL_String* directory, char* extensions) override;
  // The view puts the drawn frame on screen itself; false when there is none.
  bool DrawScreen(IRECT*) override { return mView != nullptr; }
  void Resize(int width, int height) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* r) override;
  void CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str, IParam* param) override;
  // The end of the open text entry: committed text goes to its control.
  void TextEntryEnded(const std::string* text);

  void SetBundleID(const char* bundleID) { mBundleID.Set(bundleID); }
  const char* GetBundleID() const { return mBundleID.Get(); }
  EditorView* GetView() const { return mView.get(); }
  void SetFilePromptAnswer(FilePromptAnswer answer) { mFilePromptAnswer = std::move(answer); }

  // The drawing surface the view shows.
  void PrepDraw() override;
  // The host's editor-idle call: the view's events, redraw timer and painting.
  void Idle();
  // A key the host passes on (its character and virtual key); true when used.
  bool OnHostKeyDown(int character, int virtualKey);
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsg = nullptr) override;
  void DesktopPath(WDL_String* path) override;
  // The plug-in's shared object, and the folder that holds its bundle, with "/".
  void HostPath(WDL_String* path) override;
  void PluginPath(WDL_String* path) override;
  // Closes an open text entry without taking its text.
  void ForceEndUserEdit() override;
  // No colour chooser is offered.
  bool PromptForColor(IColor*, char*) override { return false; }
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  // What was readied for editors not opened yet, freed when no instance is left.
  static void ReleasePreparedFrames() {
    ReleasePreparedFrame();
    SharedEditorViewFactory()->ReleasePrepared();
  }

 protected:
  std::unique_ptr<unsigned char[]> OSLoadFile(int resourceId, const char* fileName) override;
  // PNG resources only; the file name's last component decides.
  std::unique_ptr<LICE_IBitmap> OSLoadBitmap(int resourceId, const char* fileName) override;
  // From the PNG header alone.
  bool OSBitmapSize(int resourceId, const char* fileName, int* width, int* height, bool* opaque) override;
  // The view's memory for a first frame.
  void PrepareFirstFrame() override { PrepareFrames(Width(), Height()); }
  static void PrepareFrames(int width, int height) {
    IGraphics::PrepareSpareFrame(width, height);
    SharedEditorViewFactory()->Prepare(width, height);
  }
  static std::unique_ptr<LICE_IBitmap> LoadPng(int resourceId, const char* fileName);
  // Neither loading nor the frames use this object: a close never waits.
  DetachedReadiness Detached() const override { return {&LoadPng, &PrepareFrames}; }

 private:
  void* Open(EditorView::Kind kind, void* parent);

  WDL_String mBundleID;
  IControl* mEntryControl = nullptr;
  IParam* mEntryParam = nullptr;
  std::unique_ptr<EditorViewClient> mViewClient;
  std::unique_ptr<EditorView> mView;
  FilePromptAnswer mFilePromptAnswer;
};
