// A window procedure that records every message, answers chosen messages with
// chosen values, and a fixture that leaves the window model as it found it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "HwndView.h"
#include "Internal.h"
#include "ControlCreation.h"
#include "IniFiles.h"
#include "Swell.h"
#include "model/Application.h"
#include "model/RunLoop.h"

struct Msg {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Msg&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Msg& m) {
  return os << "{" << m.hwnd << ", " << m.msg << ", " << m.wParam << ", " << m.lParam << "}";
}

struct Recorder {
  std::vector<Msg> log;
  std::map<UINT, LRESULT> answers;
  std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> hook;
  // Only these messages are recorded when the set is not empty.
  std::vector<UINT> only;

  std::vector<UINT> messages() const {
    std::vector<UINT> out;
    for (auto& m : log) out.push_back(m.msg);
    return out;
  }
  std::vector<Msg> of(UINT msg) const {
    std::vector<Msg> out;
    for (auto& m : log)
      if (m.msg == msg) out.push_back(m);
    return out;
  }
};

inline Recorder* gRecorder = nullptr;

inline LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Recorder* r = gRecorder;
  if (!r) return 0;
  if (r->only.empty() || std::find(r->only.begin(), r->only.end(), msg) != r->only.end())
    r->log.push_back({hwnd, msg, wParam, lParam});
  if (r->hook) {
    LRESULT v = r->hook(hwnd, msg, wParam, lParam);
    if (v) return v;
  }
  auto it = r->answers.find(msg);
  return it != r->answers.end() ? it->second : 0;
}

// As a window procedure: what the recorder does not answer goes to DefWindowProc.
inline LRESULT RecordingWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT r = RecordingProc(hwnd, msg, wParam, lParam);
  return r ? r : DefWindowProc(hwnd, msg, wParam, lParam);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gRecorder = &rec;
    rec.answers[WM_NCHITTEST] = HTCLIENT;
  }
  void TearDown() override {
    winsys::App().reset();
    SWELL_ResetTimersAndQueue();
    SWELL_ResetInputState();
    SWELL_MakeSetCurParms(1, 1, 0, 0, nullptr, false, false);
    ReleaseCapture();
    winsys::App().drainAutoreleasePool();
    SWELL_SetPaintBackend(SWELL_DefaultPaintBackend());
    gRecorder = nullptr;
  }
  // A plain top-level window with its content view (the handle), shown.
  HWND topLevel(int w = 200, int h = 100, const char* title = "Main", int flags = 4 | 16) {
    SWELL_DialogResourceIndex res{1, title, flags, nullptr, w, h, nullptr};
    HWND v = SWELL_CreateModelessWindow(&res, nullptr, RecordingProc, 0, 0);
    ShowWindow(v, SW_SHOW);
    return v;
  }
  // A child layer view of parent, with a window procedure.
  HWND child(HWND parent, double x, double y, double w, double h, int id = 0) {
    Swell_vTarnivex_hwnd* v = Swell_vTarnivex_hwnd::create(nullptr, parent, RecordingWndProc, 0);
    v->assignFrame({x, y, w, h});
    v->setTag(id);
    v->setHidden(false);
    return v;
  }
  template <class T>
  T* add(HWND parent, winsys::Rectf frame, int tag = 0) {
    T* c = new T(frame);
    if constexpr (std::is_base_of_v<winsys::Control, T>) c->setTag(tag);
    swell::asView(parent)->addSubview(c);
    c->release();
    return c;
  }
  Recorder rec;
};
