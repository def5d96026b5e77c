#include "IGraphicsLinux.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "BundlePaths.h"

IGraphicsLinux::IGraphicsLinux(IPlugBase* plug, int width, int height, int frameRate)
    : IGraphics(plug, width, height, frameRate) {}

IGraphicsLinux::~IGraphicsLinux() { CloseWindow(); }

void* IGraphicsLinux::Open(EditorView::Kind kind, void* parent) {
  CloseWindow();
  mView = CurrentEditorViewFactory().Open(kind, parent, Width(), Height());
  return mView ? mView->Handle() : nullptr;
}

void* IGraphicsLinux::OpenWindow(void* parentView) { return Open(EditorView::Kind::kViewAsConfig, parentView); }

void* IGraphicsLinux::OpenWindow(void* window, void*, short, short) {
  return Open(EditorView::Kind::kWindow, window);
}

void IGraphicsLinux::CloseWindow() { mView.reset(); }

void IGraphicsLinux::PromptForFile(WDL_String* fileName, EFileAction action, WDL_String* directory,
                                   char* extensions) {
  if (!fileName) return;
  if (!mView) {
    fileName->Set("");
    return;
  }
  if (directory && !directory->GetLength()) {
    const char* home = std::getenv("HOME");
    directory->Set(home ? home : "");
    directory->Append("/Desktop");
  }
  fileName->Set("");
  if (!mFilePromptAnswer) return;
  const std::string chosen =
      mFilePromptAnswer(action, directory ? directory->Get() : "", extensions ? extensions : "");
  if (chosen.empty()) return;
  fileName->Set(chosen.c_str());
  if (directory) {
    const size_t slash = chosen.rfind('/');
    directory->Set(slash == std::string::npos ? "" : chosen.substr(0, slash + 1).c_str());
  }
}

std::unique_ptr<unsigned char[]> IGraphicsLinux::OSLoadFile(int, const char* fileName) {
  const std::string path = BundleResourcePath(fileName);
  if (path.empty() || access(path.c_str(), F_OK) != 0) return nullptr;
  std::unique_ptr<FILE, int (*)(FILE*)> fp(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!fp) {
    std::printf("failed to open file\n");
    return nullptr;
  }
  auto bytes = std::make_unique<unsigned char[]>(kMaxLoadFileSize);
  const size_t n = std::fread(bytes.get(), 1, kMaxLoadFileSize, fp.get());
  SetLoadedFileSize(static_cast<int>(n));
  return bytes;
}
