// The X11 editor view against a private Xvfb: opening to the first full
// frame on the server, one changed control to its pixels on the server, and
// an idle call with nothing to do.
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"

#include <cstdio>
#include <memory>

#include "Fill.h"
#include "HostWindow.h"
#include "X11EditorView.h"
#include "XvfbServer.h"

namespace {
constexpr int kW = 1500, kH = 757;
HostWindow* gHost = nullptr;

// A frame of the editor's size; drawing fills the asked area.
class FrameClient : public EditorViewClient {
 public:
  FrameClient() : frame(kW, kH) {}
  bool IsDirty(ViewRect* r) override {
    if (dirty.Empty()) return false;
    *r = r->Union(dirty);
    dirty = {};
    return true;
  }
  void Draw(const ViewRect& r) override {
    ++draws;
    LICE_FillRect(&frame, r.L, r.T, r.W(), r.H(), LICE_RGBA(0x30, 0x40 + (draws & 0x3F), 0x50, 255), 1.0f, 0);
  }
  const unsigned* FrameBits(int* rowSpan) override {
    *rowSpan = frame.getRowSpan();
    return frame.getBits();
  }
  void OnMouseDown(int, int, const ViewMouseMod&) override {}
  void OnMouseUp(int, int, const ViewMouseMod&) override {}
  void OnMouseDrag(int, int, const ViewMouseMod&) override {}
  bool OnMouseDblClick(int, int, const ViewMouseMod&) override { return false; }
  void OnMouseWheel(int, int, const ViewMouseMod&, int) override {}
  bool OnMouseOver(int, int, const ViewMouseMod&) override { return false; }
  bool OnKeyDown(int, int, int) override { return false; }
  void OnTextEntryEnd(const std::string*) override {}

  LICE_MemBitmap frame;
  ViewRect dirty;
  int draws = 0;
};

// From the open call to the whole first frame processed by the server.
void BM_OpenToFirstFrame(benchmark::State& state) {
  FrameClient client;
  for (auto _ : state) {
    auto view = X11EditorView::Open(EditorView::Kind::kWindow, gHost->GetWindow(), kW, kH);
    if (!view) {
      state.SkipWithError("the view did not open");
      break;
    }
    view->SetClient(&client);
    const int before = client.draws;
    while (client.draws == before) view->Idle();
    XSync(view->GetDisplay(), False);
    state.PauseTiming();
    view.reset();
    gHost->Sync();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenToFirstFrame)->Unit(benchmark::kMillisecond);

// One knob-sized area, once the timer has found it dirty: drawn, put on
// screen and processed by the server. (The timer itself adds up to 40 ms of
// waiting, which is no work.)
void BM_OneChangedControlToServer(benchmark::State& state) {
  FrameClient client;
  auto view = X11EditorView::Open(EditorView::Kind::kWindow, gHost->GetWindow(), kW, kH);
  if (!view) {
    state.SkipWithError("the view did not open");
    return;
  }
  view->SetClient(&client);
  for (int i = 0; i < 10; ++i) view->Idle();
  XSync(view->GetDisplay(), False);
  int x = 0;
  for (auto _ : state) {
    x = (x + 67) % (kW - 60);
    view->Invalidate({x, 300, x + 60, 360});
    view->Idle();
    XSync(view->GetDisplay(), False);
  }
}
BENCHMARK(BM_OneChangedControlToServer)->Unit(benchmark::kMicrosecond);

// An idle call with nothing changed; it must send no request.
void BM_IdleWithNothingChanged(benchmark::State& state) {
  FrameClient client;
  auto view = X11EditorView::Open(EditorView::Kind::kWindow, gHost->GetWindow(), kW, kH);
  if (!view) {
    state.SkipWithError("the view did not open");
    return;
  }
  view->SetClient(&client);
  for (int i = 0; i < 10; ++i) view->Idle();
  XSync(view->GetDisplay(), False);
  const unsigned long requests = XNextRequest(view->GetDisplay());
  for (auto _ : state) view->Idle();
  if (XNextRequest(view->GetDisplay()) != requests) state.SkipWithError("idle sent requests to the server");
}
BENCHMARK(BM_IdleWithNothingChanged)->Unit(benchmark::kMicrosecond);
}  // namespace

int main(int argc, char** argv) {
  XvfbServer server;
  if (!server.Start(1700, 900)) {
    std::fprintf(stderr, "%s\n", server.Error().c_str());
    return 1;
  }
  HostWindow host(0, 0, kW + 20, kH + 20, 0xD6D3CC);
  gHost = &host;
  InitializeBenchmarks(&argc, argv);
  const int result = RunBenchmarksFailingOnErrors();
  benchmark::Shutdown();
  return result;
}
