#include "HostWindow.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <png.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {
// The host's connections look at windows that the editor may destroy at any
// moment (menus closing): an error there only means the window is gone.
// Errors of any other connection stay fatal.
std::mutex gHostDisplaysMutex;
std::set<Display*> gHostDisplays;
XErrorHandler gFatal = nullptr;

int HostErrorHandler(Display* display, XErrorEvent* event) {
  {
    std::lock_guard<std::mutex> lock(gHostDisplaysMutex);
    if (gHostDisplays.count(display)) return 0;
  }
  return gFatal ? gFatal(display, event) : 0;
}
}  // namespace

HostWindow::HostWindow(int x, int y, int width, int height, unsigned long background)
    : mDisplay(XOpenDisplay(nullptr)) {
  if (!mDisplay) return;
  {
    std::lock_guard<std::mutex> lock(gHostDisplaysMutex);
    gHostDisplays.insert(mDisplay);
    if (!gFatal) gFatal = XSetErrorHandler(HostErrorHandler);
  }
  mWindow = XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), x, y, width, height, 0, 0, background);
  XSelectInput(mDisplay, mWindow, KeyPressMask | SubstructureNotifyMask);
  XMapWindow(mDisplay, mWindow);
  XSync(mDisplay, False);
}

HostWindow::~HostWindow() {
  if (!mDisplay) return;
  if (mWindow) XDestroyWindow(mDisplay, mWindow);
  XCloseDisplay(mDisplay);
  std::lock_guard<std::mutex> lock(gHostDisplaysMutex);
  gHostDisplays.erase(mDisplay);
}

void HostWindow::DestroyWindow() {
  if (!mWindow) return;
  XDestroyWindow(mDisplay, mWindow);
  XSync(mDisplay, False);
  mWindow = 0;
}

std::vector<Window> HostWindow::Children() const {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  std::vector<Window> out;
  if (XQueryTree(mDisplay, mWindow, &root, &parent, &children, &count)) {
    out.assign(children, children + count);
    if (children) XFree(children);
  }
  return out;
}

std::vector<Window> HostWindow::Overlays() const {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  std::vector<Window> out;
  if (!XQueryTree(mDisplay, DefaultRootWindow(mDisplay), &root, &parent, &children, &count)) return out;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(mDisplay, children[i], &attributes) && attributes.override_redirect &&
        attributes.map_state == IsViewable)
      out.push_back(children[i]);
  }
  if (children) XFree(children);
  return out;
}

bool HostWindow::Geometry(Window window, int* rootX, int* rootY, int* width, int* height) const {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(mDisplay, window, &attributes)) return false;
  Window child;
  XTranslateCoordinates(mDisplay, window, DefaultRootWindow(mDisplay), 0, 0, rootX, rootY, &child);
  *width = attributes.width;
  *height = attributes.height;
  return true;
}

std::vector<unsigned> HostWindow::Pixels(Window window, int* width, int* height) const {
  std::vector<unsigned> out;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(mDisplay, window, &attributes)) return out;
  XImage* image = XGetImage(mDisplay, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
  if (!image) return out;
  *width = attributes.width;
  *height = attributes.height;
  out.reserve(static_cast<size_t>(*width) * *height);
  for (int y = 0; y < *height; ++y)
    for (int x = 0; x < *width; ++x) out.push_back(static_cast<unsigned>(XGetPixel(image, x, y)) & 0xFFFFFF);
  XDestroyImage(image);
  return out;
}

void HostWindow::MoveTo(int rootX, int rootY) {
  XTestFakeMotionEvent(mDisplay, DefaultScreen(mDisplay), rootX, rootY, CurrentTime);
  XSync(mDisplay, False);
}

void HostWindow::Button(unsigned button, bool press) {
  XTestFakeButtonEvent(mDisplay, button, press ? True : False, CurrentTime);
  XSync(mDisplay, False);
}

void HostWindow::Click(unsigned button) {
  Button(button, true);
  Button(button, false);
}

void HostWindow::Key(KeySym keysym, bool press) {
  XTestFakeKeyEvent(mDisplay, XKeysymToKeycode(mDisplay, keysym), press ? True : False, CurrentTime);
  XSync(mDisplay, False);
}

void HostWindow::Tap(KeySym keysym) {
  Key(keysym, true);
  Key(keysym, false);
}

std::vector<KeySym> HostWindow::ForwardedKeys() {
  std::vector<KeySym> keys;
  XSync(mDisplay, False);
  XEvent event;
  while (XCheckTypedWindowEvent(mDisplay, mWindow, KeyPress, &event))
    if (event.xkey.send_event) keys.push_back(XLookupKeysym(&event.xkey, 0));
  return keys;
}

bool PumpUntil(const std::function<void()>& step, const std::function<bool()>& done,
               std::chrono::milliseconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  for (;;) {
    step();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

bool WritePng(const std::string& path, const std::vector<unsigned>& pixels, int width, int height) {
  if (pixels.size() != static_cast<size_t>(width) * height) return false;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned p = pixels[static_cast<size_t>(y) * width + x];
      row[x * 3] = static_cast<png_byte>(p >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(p >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(p);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}
