#include "IGraphicsLinux.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <algorithm>
#include <cctype>

#include "Bitmap.h"
#include "BundlePaths.h"
#include "DesktopTools.h"
#include "GraphicsViewClient.h"
#include "IParam.h"
#include "IPlugBase.h"
#include "IPopupMenu.h"
#include "KeyNumbers.h"
#include "Png.h"
#include "Utilities.h"
#include "ViewMenuTree.h"

IGraphicsLinux::IGraphicsLinux(IPlugBase* plug, int width, int height, int frameRate)
    : IGraphics(plug, width, height, frameRate), mViewClient(std::make_unique<GraphicsViewClient>(*this)) {}

IGraphicsLinux::~IGraphicsLinux() {
  // The decoding thread loads through this class.
  StopPredecoding();
  CloseWindow();
}

void* IGraphicsLinux::Open(EditorView::Kind kind, void* parent) {
  CloseWindow();
  mView = CurrentEditorViewFactory().Open(kind, parent, Width(), Height());
  if (!mView) return nullptr;
  mView->SetClient(mViewClient.get());
  mView->SetRedrawInterval(1000 / FPS());
  // A flood of changes from the instrument is drawn a sixteenth of the window
  // at a time: no idle call of the host's draws the whole window for it.
  SetPassArea(static_cast<long long>(Width()) * Height() / kPassShare);
  return mView->Handle();
}

void* IGraphicsLinux::OpenWindow(void* parentView) { return OpenCocoaWindow(parentView); }

void* IGraphicsLinux::OpenWindow(void* window, void* control, short leftOffset, short topOffset) {
  return OpenCarbonWindow(window, control, leftOffset, topOffset);
}

void* IGraphicsLinux::OpenCocoaWindow(void* parentView) { return Open(EditorView::Kind::kViewAsConfig, parentView); }

void* IGraphicsLinux::OpenCarbonWindow(void* window, void*, short, short) {
  return Open(EditorView::Kind::kWindow, window);
}

int IGraphicsLinux::GetUserOSVersion() {
  const unsigned version = 0;
  Trace("GetUserOSVersion", __LINE__, "%x", version);
  return static_cast<int>(version);
}

const char* IGraphicsLinux::GetGUIAPI() {
  if (!mView || mView->GetKind() != EditorView::Kind::kWindow) return "Cocoa gui";
  return "Carbon Composited gui";
}

void IGraphicsLinux::CloseWindow() {
  mView.reset();
  mEntryControl = nullptr;
  mEntryParam = nullptr;
}

void IGraphicsLinux::Resize(int width, int height) {
  // The size it has: the controls stay, and the view is left alone.
  if (width == Width() && height == Height()) return;
  IGraphics::Resize(width, height);
  if (mView) SetPassArea(static_cast<long long>(width) * height / kPassShare);
  if (mView) mView->Resize(width, height);
}

namespace {
ViewRect ToView(const IRECT* r) { return r ? ViewRect{r->L, r->T, r->R, r->B} : ViewRect{}; }
}  // namespace

IPopupMenu* IGraphicsLinux::CreateIPopupMenu(IPopupMenu* menu, IRECT* r) {
  ReleaseMouseCapture();
  if (!menu || !mView) return nullptr;
  using Tree = ViewMenuTree<IPopupMenu>;
  const Tree tree(
      *menu, [](const IPopupMenu& m) { return Tree::LevelDescription{m.GetNItems(), m.GetPrefix()}; },
      [](const IPopupMenu& m, int i) {
        const IPopupMenuItem* item = m.GetItem(i);
        return Tree::ItemDescription{item->GetText(), item->GetFlags(), item->GetSubmenu()};
      });
  ViewMenuChoice choice;
  if (!mView->PopupMenu(tree.Root(), ToView(r), &choice)) return nullptr;
  // The tree keeps the models as it was given them; the chosen one is the
  // caller's, to be told its chosen index.
  auto* chosen = const_cast<IPopupMenu*>(tree.ModelOf(choice.menu));
  if (!chosen || !chosen->GetItem(choice.index)) return nullptr;
  chosen->SetChosenItemIdx(choice.index);
  return chosen;
}

void IGraphicsLinux::CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str, IParam* param) {
  if (!control || !mView) return;
  ViewTextEntry entry;
  entry.rect = ToView(r);
  entry.text = str ? str : "";
  entry.allowed = param ? TextEntryCharacters(param->Type()) : "";
  entry.maxLength = control->GetTextEntryLength();
  if (text) {
    entry.align = text->mAlign;
    entry.fontSize = std::max(1, int(text->mSize * 0.9));
    const IColor& fg = text->mTextEntryFGColor;
    const IColor& bg = text->mTextEntryBGColor;
    entry.foreground = unsigned(fg.R << 16 | fg.G << 8 | fg.B);
    entry.background = unsigned(bg.R << 16 | bg.G << 8 | bg.B);
  }
  mEntryControl = control;
  mEntryParam = param;
  if (!mView->OpenTextEntry(entry)) {
    mEntryControl = nullptr;
    mEntryParam = nullptr;
  }
}

void IGraphicsLinux::TextEntryEnded(const std::string* text) {
  IControl* control = std::exchange(mEntryControl, nullptr);
  IParam* param = std::exchange(mEntryParam, nullptr);
  if (!text && control && param && mPlug) mPlug->OnTextEntryCancelled(control->ParamIdx());
  if (!text || !control) return;
  if (param) SetFromStringAfterPrompt(control, param, text->c_str());
  else control->TextFromTextEntry(text->c_str());
}

namespace {
// The bundle path of a PNG image resource, or empty.
std::string PngResourcePath(const char* fileName) {
  std::string lower = fileName ? fileName : "";
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (lower.size() < 4 || lower.compare(lower.size() - 4, 4, ".png") != 0) return std::string();
  return BundleResourcePath(fileName);
}
}  // namespace

std::unique_ptr<LICE_IBitmap> LoadImgFromResourceOSX(const char*, const char* name) {
  const std::string path = PngResourcePath(name);
  if (path.empty()) return nullptr;
  return std::unique_ptr<LICE_IBitmap>(LICE_LoadPNG(path.c_str()));
}

std::unique_ptr<LICE_IBitmap> IGraphicsLinux::OSLoadBitmap(int, const char* fileName) {
  return LoadImgFromResourceOSX(mBundleID.Get(), fileName);
}

// The bundle is found from the loaded library, not by its identifier, so
// threads that outlive an instance load images without it.
std::unique_ptr<LICE_IBitmap> IGraphicsLinux::LoadPng(int, const char* fileName) {
  return LoadImgFromResourceOSX(nullptr, fileName);
}

bool IGraphicsLinux::OSBitmapSize(int, const char* fileName, int* width, int* height, bool* opaque) {
  const std::string path = PngResourcePath(fileName);
  if (path.empty()) return false;
  // The signature, then the IHDR chunk: length, type, width and height, big-endian.
  unsigned char head[24];
  std::unique_ptr<FILE, int (*)(FILE*)> fp(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!fp || std::fread(head, 1, sizeof head, fp.get()) != sizeof head) return false;
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (std::memcmp(head, kSignature, 8) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0) return false;
  auto word = [&](int at) {
    return (uint32_t(head[at]) << 24) | (uint32_t(head[at + 1]) << 16) | (uint32_t(head[at + 2]) << 8) | head[at + 3];
  };
  const uint32_t w = word(16), h = word(20);
  if (w == 0 || h == 0 || w > INT_MAX || h > INT_MAX) return false;
  *width = int(w);
  *height = int(h);
  // Grey or RGB without alpha, and no transparent colour before the pixels.
  unsigned char ihdrRest[9];
  const int colourType = std::fread(ihdrRest, 1, sizeof ihdrRest, fp.get()) == sizeof ihdrRest ? ihdrRest[1] : -1;
  *opaque = colourType == 0 || colourType == 2;
  for (int chunk = 0; *opaque && chunk < 64; ++chunk) {
    unsigned char header[8];
    if (std::fread(header, 1, sizeof header, fp.get()) != sizeof header) {
      *opaque = false;
      break;
    }
    const uint32_t length = (uint32_t(header[0]) << 24) | (uint32_t(header[1]) << 16) | (uint32_t(header[2]) << 8) | header[3];
    if (std::memcmp(header + 4, "IDAT", 4) == 0) break;
    if (std::memcmp(header + 4, "tRNS", 4) == 0 || std::fseek(fp.get(), long(length) + 4, SEEK_CUR) != 0) *opaque = false;
  }
  return true;
}

void IGraphicsLinux::PromptForFile(WDL_String* fileName, EFileAction action, WDL_String* directory,
                                   char* extensions) {
  if (!fileName) return;
  if (!mView) {
    fileName->Set("");
    return;
  }
  if (directory && !directory->GetLength()) directory->Set("~/Desktop");
  const std::string proposed = fileName->Get();
  fileName->Set("");
  // The dialog programs take no "~": the folder is handed over expanded.
  std::string startIn = directory ? directory->Get() : "";
  if (startIn == "~" || startIn.rfind("~/", 0) == 0) {
    const char* home = std::getenv("HOME");
    startIn.replace(0, 1, home ? home : "");
  }
  std::string chosen;
  if (mFilePromptAnswer) {
    chosen = mFilePromptAnswer(action, startIn, extensions ? extensions : "");
  } else {
    const ViewFilePrompt prompt{action == kFileSave, startIn, proposed, extensions ? extensions : ""};
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
    std::printf("failed to open file\n");  // a line of its own
    return nullptr;
  }
  // The whole file, and a NUL after it for the readers that stop at one.
  auto bytes = std::make_unique<unsigned char[]>(static_cast<size_t>(size) + 1);
  const size_t n = std::fread(bytes.get(), 1, static_cast<size_t>(size), fp.get());
  SetLoadedFileSize(static_cast<int>(n));
  return bytes;
}

void IGraphicsLinux::PrepDraw() {
  IGraphics::PrepDraw();
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
