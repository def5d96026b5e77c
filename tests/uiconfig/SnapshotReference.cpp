#include "SnapshotReference.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "Fill.h"
#include "Png.h"
#include "PngWrite.h"

namespace snapshots {
namespace {
constexpr int kChannelTolerance = 24;       // per colour channel
constexpr double kPixelTolerance = 0.002;   // of the frame's pixels
}  // namespace

std::string compare(LICE_IBitmap* frame, const std::string& name, const std::string& references) {
  // The window's frame is opaque; its alpha bytes carry nothing.
  LICE_MemBitmap shown(frame->getWidth(), frame->getHeight());
  for (int y = 0; y < frame->getHeight(); ++y)
    for (int x = 0; x < frame->getWidth(); ++x) LICE_PutPixel(&shown, x, y, LICE_GetPixel(frame, x, y) | 0xFF, 1.0f, 0);
  const std::filesystem::path out = std::filesystem::path(TARNIVEX_SNAPSHOT_DIR) / name;
  const std::filesystem::path stored = std::filesystem::path(references) / name;
  std::filesystem::create_directories(out.parent_path());
  std::string error;
  if (!imagegen::writePng(&shown, out.string(), error)) return error;
  if (std::getenv("TARNIVEX_UPDATE_SNAPSHOTS")) {
    std::filesystem::create_directories(stored.parent_path());
    std::filesystem::copy_file(out, stored, std::filesystem::copy_options::overwrite_existing);
  }
  std::unique_ptr<LICE_IBitmap> reference(LICE_LoadPNG(stored.c_str()));
  if (!reference)
    return "no reference " + stored.string() + " (TARNIVEX_UPDATE_SNAPSHOTS=1 ./scripts/update-snapshots stores it)";
  if (reference->getWidth() != shown.getWidth() || reference->getHeight() != shown.getHeight())
    return "the reference " + stored.string() + " is " + std::to_string(reference->getWidth()) + " x " +
           std::to_string(reference->getHeight()) + ", the frame " + std::to_string(shown.getWidth()) + " x " +
           std::to_string(shown.getHeight());
  long differing = 0;
  for (int y = 0; y < shown.getHeight(); ++y)
    for (int x = 0; x < shown.getWidth(); ++x) {
      const LICE_pixel a = LICE_GetPixel(&shown, x, y), b = LICE_GetPixel(reference.get(), x, y);
      if (std::abs(int(LICE_GETR(a)) - int(LICE_GETR(b))) > kChannelTolerance ||
          std::abs(int(LICE_GETG(a)) - int(LICE_GETG(b))) > kChannelTolerance ||
          std::abs(int(LICE_GETB(a)) - int(LICE_GETB(b))) > kChannelTolerance)
        ++differing;
    }
  const long allowed = static_cast<long>(kPixelTolerance * shown.getWidth() * shown.getHeight());
  if (differing <= allowed) return "";
  return std::to_string(differing) + " pixels differ (at most " + std::to_string(allowed) + "): compare " +
         out.string() + " with " + stored.string();
}
}  // namespace snapshots
