// The host's side of an editor under a private X server: a top-level window
// made on the host's own connection, pointer and keys driven through XTest,
// and the pixels of any window read back.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class HostWindow {
 public:
  HostWindow(int x, int y, int width, int height, unsigned long background);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool Ok() const { return mWindow != 0; }
  Display* GetDisplay() const { return mDisplay; }
  Window GetWindow() const { return mWindow; }
  void* Handle() const { return reinterpret_cast<void*>(mWindow); }
  // Destroys the window as a host closing first would.
  void DestroyWindow();

  std::vector<Window> Children() const;
  // Size and root position of a window; false when it is gone.
  bool Geometry(Window window, int* rootX, int* rootY, int* width, int* height) const;
  // The window's pixels as 0xRRGGBB, row by row.
  std::vector<unsigned> Pixels(Window window, int* width, int* height) const;
  // Mapped override-redirect windows of the screen, top-most last.
  std::vector<Window> Overlays() const;

  void MoveTo(int rootX, int rootY);
  void Button(unsigned button, bool press);
  void Click(unsigned button = 1);
  void Key(KeySym keysym, bool press);
  void Tap(KeySym keysym);
  void Sync() { XSync(mDisplay, False); }

  // KeyPress events the host's window received from others, as key symbols.
  std::vector<KeySym> ForwardedKeys();

 private:
  Display* mDisplay;
  Window mWindow = 0;
};

// Calls step until done answers true or the bound runs out.
bool PumpUntil(const std::function<void()>& step, const std::function<bool()>& done,
               std::chrono::milliseconds bound = std::chrono::seconds(5));

// Writes 0xRRGGBB pixels as an RGB PNG; false on any failure.
bool WritePng(const std::string& path, const std::vector<unsigned>& pixels, int width, int height);
