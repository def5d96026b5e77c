#include "IGraphicsLinux.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Bitmap.h"
#include "BundlePaths.h"
#include "DesktopTools.h"
#include "GraphicsViewClient.h"
#include "KeyNumbers.h"

IGraphicsLinux::IGraphicsLinux(IPlugBase* plug, int width, int height, int frameRate)
    : IGraphics(plug, width, height, frameRate), mViewClient(std::make_unique<GraphicsViewClient>(*this)) {}

IGraphicsLinux::~IGraphicsLinux() { CloseWindow(); }

void* IGraphicsLinux::Open(EditorView::Kind kind, void* parent) {
  CloseWindow();
  mView = CurrentEditorViewFactory().Open(kind, parent, Width(), Height());
  if (!mView) return nullptr;
  mView->SetClient(mViewClient.get());
  mView->SetRedrawInterval(1000 / FPS());
  return mView->Handle();
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
  const std::string proposed = fileName->Get();
  fileName->Set("");
  std::string chosen;
  if (mFilePromptAnswer) {
    chosen = mFilePromptAnswer(action, directory ? directory->Get() : "", extensions ? extensions : "");
  } else {
    const ViewFilePrompt prompt{action == kFileSave, directory ? directory->Get() : "", proposed,
                                extensions ? extensions : ""};
    mView->PromptForFile(prompt, &chosen);
  }
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
  long size = -1;
  if (fp && std::fseek(fp.get(), 0, SEEK_END) == 0) size = std::ftell(fp.get());
  if (!fp || size < 0 || size >= INT_MAX || std::fseek(fp.get(), 0, SEEK_SET) != 0) {
    std::printf("failed to open file\n");
    return nullptr;
  }
  // The whole file, and a NUL after it for the readers that stop at one.
  auto bytes = std::make_unique<unsigned char[]>(static_cast<size_t>(size) + 1);
  const size_t n = std::fread(bytes.get(), 1, static_cast<size_t>(size), fp.get());
  SetLoadedFileSize(static_cast<int>(n));
  return bytes;
}

void IGraphicsLinux::PrepDraw() {
  mDrawBitmap = std::make_unique<LICE_SysBitmap>(Width(), Height());
  if (mView) mView->Invalidate({0, 0, Width(), Height()});
}

void IGraphicsLinux::Idle() {
  if (mView) mView->Idle();
}

bool IGraphicsLinux::OnHostKeyDown(int character, int virtualKey) {
  const int key = KeyNumberForVstKey(character, virtualKey);
  if (key < 0 || !mView) return false;
  auto& client = static_cast<GraphicsViewClient&>(*mViewClient);
  return client.OnKeyDown(client.PrevX(), client.PrevY(), key);
}

int IGraphicsLinux::ShowMessageBox(const char* text, const char* caption, int type) {
  return mView ? mView->MessageBox(text, caption, type) : 0;
}

bool IGraphicsLinux::OpenURL(const char* url, const char*, const char*, const char*) {
  // Nothing to open is no failure; otherwise the answer is whether the
  // desktop's opener could be started.
  if (!url || !*url) return true;
  return OpenWithDesktop(url);
}

void IGraphicsLinux::DesktopPath(WDL_String* path) {
  if (!path) return;
  const char* home = std::getenv("HOME");
  path->Set(home ? home : "");
  path->Append("/Desktop");
}

namespace {
// The file this code was loaded from: the plug-in's .so in a host.
std::string LoadedFrom() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&LoadedFrom), &info) || !info.dli_fname) return {};
  return info.dli_fname;
}
}  // namespace

void IGraphicsLinux::HostPath(WDL_String* path) {
  const std::string file = LoadedFrom();
  if (path && !file.empty()) path->Set(file.c_str());
}

void IGraphicsLinux::PluginPath(WDL_String* path) {
  const std::string file = LoadedFrom();
  const size_t bundleEnd = file.rfind('/');
  const size_t folderEnd = bundleEnd == std::string::npos || bundleEnd == 0 ? std::string::npos
                                                                             : file.rfind('/', bundleEnd - 1);
  if (!path || folderEnd == std::string::npos) return;
  path->Set(file.substr(0, folderEnd + 1).c_str());
}

void IGraphicsLinux::ForceEndUserEdit() {
  if (mView) mView->EndTextEntry(false);
}

void IGraphicsLinux::HideMouseCursor() {
  if (mView) mView->SetCursorHidden(true);
}

void IGraphicsLinux::ShowMouseCursor() {
  if (mView) mView->SetCursorHidden(false);
}
