// The raster library's hot paths against pixman doing the same work in the
// same run, on the editor's full frame and on one knob frame:
//   ./scripts/bench            (or build/bench/bench/raster/bench_raster)
// Each runs seven times; after the timings it prints the ratio of the fastest
// runs, ours / pixman (1.0 or below: ours is as fast or faster).

#include <benchmark/benchmark.h>

#include "../BenchFailures.h"
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lice.h"

namespace {

struct Size {
  const char* name;
  int w, h;
};
const Size kSizes[] = {{"frame1500x757", 1500, 757}, {"knob64x64", 64, 64}};

// Knob-like content: opaque discs with soft edges on a transparent ground, so
// the alpha blit meets the mix of opaque, clear and partial pixels of real art.
LICE_pixel knobPixel(int x, int y)
{
  const float cx = float(x % 64) - 31.5f, cy = float(y % 64) - 31.5f;
  const float d = std::sqrt(cx * cx + cy * cy);
  const float cover = std::fmin(std::fmax(26.0f - d, 0.0f), 1.0f);
  const unsigned a = unsigned(cover * 255.0f + 0.5f);
  return LICE_RGBA(unsigned(x * 7) & 255, unsigned(y * 5) & 255, 120, a);
}

void fillKnobs(LICE_IBitmap& bm)
{
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x) bm.getBits()[y * bm.getRowSpan() + x] = knobPixel(x, y);
}

// The same pixels as pixman's premultiplied a8r8g8b8, its fastest format.
struct PixmanImage {
  std::vector<uint32_t> bits;
  pixman_image_t* image = nullptr;
  int w, h;
  PixmanImage(int w_, int h_, bool knobs) : bits(size_t(w_) * size_t(h_)), w(w_), h(h_)
  {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const LICE_pixel p = knobs ? knobPixel(x, y) : 0x80808080u;
        const unsigned a = LICE_GETA(p);
        auto pre = [a](unsigned c) { return c * a / 255; };
        bits[size_t(y) * w + x] = a << 24 | pre(LICE_GETR(p)) << 16 | pre(LICE_GETG(p)) << 8 | pre(LICE_GETB(p));
      }
    image = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, bits.data(), w * 4);
  }
  ~PixmanImage() { pixman_image_unref(image); }
  PixmanImage(const PixmanImage&) = delete;
  PixmanImage& operator=(const PixmanImage&) = delete;
};

// Scaled blits draw a source made for the editor's normal size at its
// "large" (1.15) and "small" (0.85) sizes.
int sourceSide(int v, double scale) { return int(v / scale); }

// Times one raster call from a knob-filled source onto a grey destination.
template <class Op>
void timeOurs(benchmark::State& st, int srcW, int srcH, Size s, Op op)
{
  LICE_MemBitmap src(srcW, srcH, 4), dst(s.w, s.h, 4);
  fillKnobs(src);
  LICE_Clear(&dst, 0x80808080u);
  for (auto _ : st) {
    op(dst, src);
    benchmark::ClobberMemory();
  }
}

// Times one pixman composite of the whole destination.
void timePixman(benchmark::State& st, pixman_op_t op, PixmanImage& src, PixmanImage& dst)
{
  for (auto _ : st) {
    pixman_image_composite32(op, src.image, nullptr, dst.image, 0, 0, 0, 0, 0, 0, dst.w, dst.h);
    benchmark::ClobberMemory();
  }
}

void BM_CopyOurs(benchmark::State& st, Size s)
{
  timeOurs(st, s.w, s.h, s, [](auto& dst, auto& src) { LICE_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 0); });
}
void BM_CopyPixman(benchmark::State& st, Size s)
{
  PixmanImage src(s.w, s.h, true), dst(s.w, s.h, false);
  timePixman(st, PIXMAN_OP_SRC, src, dst);
}

void BM_AlphaOurs(benchmark::State& st, Size s)
{
  timeOurs(st, s.w, s.h, s, [](auto& dst, auto& src) { LICE_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 0x10000); });
}
void BM_AlphaPixman(benchmark::State& st, Size s)
{
  PixmanImage src(s.w, s.h, true), dst(s.w, s.h, false);
  timePixman(st, PIXMAN_OP_OVER, src, dst);
}

template <double kScale>
void BM_ScaleOurs(benchmark::State& st, Size s)
{
  timeOurs(st, sourceSide(s.w, kScale), sourceSide(s.h, kScale), s, [s](auto& dst, auto& src) {
    LICE_ScaledBlit(&dst, &src, 0, 0, s.w, s.h, 0, 0, float(src.getWidth()), float(src.getHeight()), 1.0f, 0x100);
  });
}
template <double kScale>
void BM_ScalePixman(benchmark::State& st, Size s)
{
  PixmanImage src(sourceSide(s.w, kScale), sourceSide(s.h, kScale), true), dst(s.w, s.h, false);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(double(src.w) / s.w),
                              pixman_double_to_fixed(double(src.h) / s.h));
  pixman_image_set_transform(src.image, &t);
  pixman_image_set_filter(src.image, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(src.image, PIXMAN_REPEAT_PAD);
  timePixman(st, PIXMAN_OP_SRC, src, dst);
}

void BM_FillOurs(benchmark::State& st, Size s)
{
  LICE_MemBitmap dst(s.w, s.h, 4);
  for (auto _ : st) {
    LICE_FillRect(&dst, 0, 0, s.w, s.h, 0xFF336699u, 1.0f, 0);
    benchmark::ClobberMemory();
  }
}
void BM_FillPixman(benchmark::State& st, Size s)
{
  PixmanImage dst(s.w, s.h, false);
  for (auto _ : st) {
    pixman_fill(dst.bits.data(), s.w, 32, 0, 0, s.w, s.h, 0xFF336699u);
    benchmark::ClobberMemory();
  }
}

// Keeps each benchmark's fastest repetition (the single run's time without
// repetitions), which other work on the machine disturbs least, so the ratios
// can be printed after the table.
class RatioReporter : public FailureCountingReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override
  {
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "min")
        m_times[r.run_name.function_name] = r.GetAdjustedRealTime();
      else if (r.run_type == Run::RT_Iteration && !m_times.count(r.run_name.function_name))
        m_times[r.run_name.function_name] = r.GetAdjustedRealTime();
    }
    FailureCountingReporter::ReportRuns(runs);
  }
  void printRatios() const
  {
    std::printf("\n%-30s %12s %12s %8s\n", "operation", "ours", "pixman", "ratio");
    for (const auto& [name, ours] : m_times) {
      const auto slash = name.rfind("/ours");
      if (slash == std::string::npos) continue;
      const auto other = m_times.find(name.substr(0, slash) + "/pixman");
      if (other == m_times.end()) continue;
      std::printf("%-30s %12.1f %12.1f %8.2f\n", name.substr(0, slash).c_str(), ours, other->second,
                  ours / other->second);
    }
  }

private:
  std::map<std::string, double> m_times;
};

void registerAll()
{
  struct Op {
    const char* name;
    void (*ours)(benchmark::State&, Size);
    void (*pixman)(benchmark::State&, Size);
  } ops[] = {{"copy", BM_CopyOurs, BM_CopyPixman},
             {"alpha_blit", BM_AlphaOurs, BM_AlphaPixman},
             {"bilinear_scale", BM_ScaleOurs<1.15>, BM_ScalePixman<1.15>},
             {"bilinear_shrink", BM_ScaleOurs<0.85>, BM_ScalePixman<0.85>},
             {"solid_fill", BM_FillOurs, BM_FillPixman}};
  for (const Op& op : ops)
    for (const Size& s : kSizes) {
      const std::string base = std::string(op.name) + "/" + s.name;
      for (const char* who : {"/ours", "/pixman"})
        benchmark::RegisterBenchmark((base + who).c_str(), who[1] == 'o' ? op.ours : op.pixman, s)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(7)
            ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
            ->ReportAggregatesOnly(true);
    }
}

}  // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  registerAll();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  const int result = reporter.failures() > 0 ? 1 : 0;
  benchmark::Shutdown();
  return result;
}
