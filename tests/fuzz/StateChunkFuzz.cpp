// The host hands the plug-in a saved project: a whole chunk, or the
// plug-in's own chunk with a few bytes changed and its end cut. After any
// restore every parameter holds a value inside its range.
//
// Input: a mode byte: bit 1 a program chunk, else a bank chunk; bit 0 clear:
// the chunk itself follows; set: the plug-in's own chunk as changed() makes
// it from the rest. A chunk that is the plug-in's own cut short is refused,
// and a refused chunk changes no value and nothing the plug-in saves.
#include <algorithm>

#include "FuzzDrivers.h"
#include "FuzzSupport.h"
#include "IParam.h"
#include "Tarnivex.h"

namespace fuzz {
namespace {
std::vector<uint8_t> savedChunk(Tarnivex& plug, bool preset) {
  void* data = nullptr;
  AEffect* effect = plug.GetAEffect();
  const VstIntPtr size = effect->dispatcher(effect, effGetChunk, preset ? 1 : 0, 0, &data, 0.0f);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

std::vector<double> values(Tarnivex& plug) {
  std::vector<double> out(static_cast<size_t>(plug.NParams()));
  for (int i = 0; i < plug.NParams(); ++i) out[static_cast<size_t>(i)] = plug.GetParam(i)->Value();
  return out;
}
}  // namespace

// Every value a restore changed lies inside its parameter's range.
void expectValuesInRange(Tarnivex& plug, const std::vector<double>& before) {
  for (int i = 0; i < plug.NParams(); ++i) {
    const IParam* param = plug.GetParam(i);
    const double v = param->Value();
    FUZZ_CHECK(v == v);
    if (v == before[static_cast<size_t>(i)]) continue;
    FUZZ_CHECK(v >= param->GetMin() && v <= std::max(param->GetMin(), param->GetMax()));
  }
}

int stateChunk(const uint8_t* data, size_t size) {
  Tarnivex& plug = plugin(false);
  static const std::vector<uint8_t> bankBase = savedChunk(plug, false);
  static const std::vector<uint8_t> programBase = savedChunk(plug, true);
  Input in(data, size);
  const uint8_t mode = in.byte();
  const bool preset = mode & 2;
  std::vector<uint8_t> chunk;
  bool onlyCut = false;
  if (!(mode & 1)) {
    chunk = in.rest();
  } else {
    const std::vector<uint8_t>& base = preset ? programBase : bankBase;
    chunk = changed(base, in);
    onlyCut = chunk.size() < base.size() && std::equal(chunk.begin(), chunk.end(), base.begin());
  }
  const std::vector<double> before = values(plug);
  const std::vector<uint8_t> stateBefore = savedChunk(plug, true);
  AEffect* effect = plug.GetAEffect();
  const VstIntPtr taken = effect->dispatcher(effect, effSetChunk, preset ? 1 : 0, static_cast<VstIntPtr>(chunk.size()),
                                             chunk.empty() ? nullptr : chunk.data(), 0.0f);
  expectValuesInRange(plug, before);
  // A chunk cut short is never taken, and one refused changes nothing.
  if (onlyCut) FUZZ_CHECK(taken == 0);
  if (!taken) {
    FUZZ_CHECK(values(plug) == before);
    FUZZ_CHECK(savedChunk(plug, true) == stateBefore);
  }
  // What it saves now reads back.
  const std::vector<uint8_t> again = savedChunk(plug, preset);
  FUZZ_CHECK(!again.empty());
  return 0;
}

}  // namespace fuzz
