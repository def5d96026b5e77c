// Handle and record types shared by the window-system layer and the
// drawing-context backend: one HWND__ for both, message parameters as wide as
// a pointer so that pointers travel in them on 64-bit hosts.
#pragma once

#include <atomic>
#include <cstdint>

#ifndef TARNIVEX_RECT_DEFINED
#define TARNIVEX_RECT_DEFINED
struct RECT {
  int left, top, right, bottom;
};
#endif

struct POINT {
  int x, y;
};

typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef unsigned int UINT;
typedef int BOOL;
typedef uint32_t DWORD;

struct HDC__;  // drawing context, owned by the drawing-context backend
typedef HDC__* HDC;
struct HGDIOBJ__;  // pen, brush, font or bitmap of the drawing-context backend
typedef HGDIOBJ__* HGDIOBJ;
typedef HGDIOBJ__* HBRUSH;
typedef HGDIOBJ__* HFONT;
typedef HGDIOBJ__* HBITMAP;
typedef HGDIOBJ__* HICON;
struct HMENU__;
typedef HMENU__* HMENU;

struct HWND__;
typedef HWND__* HWND;

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore, fIncUpdate;
  char rgbReserved[32];
};

typedef LRESULT (*DialogProc)(HWND, UINT, WPARAM, LPARAM);
typedef DialogProc WNDPROC;
typedef DialogProc DLGPROC;

// The root of every object a window handle can point at: views, controls
// and windows of the window model. Reference counted; the last release
// gives the object its dealloc step and then deletes it.
struct HWND__ {
  HWND__() = default;
  HWND__(const HWND__&) = delete;
  HWND__& operator=(const HWND__&) = delete;
  virtual ~HWND__() = default;

  void retain() { mRefs.fetch_add(1, std::memory_order_relaxed); }
  void release() {
    if (mRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      dealloc();
      delete this;
    }
  }
  int retainCount() const { return mRefs.load(); }

  virtual bool isView() const { return false; }
  virtual bool isWindow() const { return false; }
  // For a window, its content view; null for everything else.
  virtual HWND contentViewHandle() const { return nullptr; }
  // The paint query of a view that is painting: fills ps and answers true.
  virtual bool getSwellPaintInfo(PAINTSTRUCT*) { return false; }

 protected:
  // Runs once, before the object is deleted, with the object still whole.
  virtual void dealloc() {}

 private:
  std::atomic<int> mRefs{1};
};
