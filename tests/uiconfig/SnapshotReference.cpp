#include "SnapshotReference.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <utility>

#include "Fill.h"
#include "Png.h"
#include "PngWrite.h"

namespace snapshots {
namespace {
constexpr int kChannelTolerance = 24;       // per colour channel
constexpr double kPixelTolerance = 0.002;   // of the frame's pixels
// A change the frame's tolerance lets pass, such as a control drawn a few
// pixels off, is held in a square of the frame: a glyph drawn otherwise
// changes a few of its pixels, a moved control many.
constexpr int kSquare = 32;
constexpr int kSquareTolerance = 32;  // pixels of a square

bool stored(const std::filesystem::path& out, const std::filesystem::path& reference) {
  if (!std::getenv("TARNIVEX_UPDATE_SNAPSHOTS")) return false;
  std::filesystem::create_directories(reference.parent_path());
  std::filesystem::copy_file(out, reference, std::filesystem::copy_options::overwrite_existing);
  return true;
}

std::pair<std::string, std::string> split(const std::string& line) {
  const size_t tab = line.find('\t');
  return tab == std::string::npos ? std::pair{line, std::string()} : std::pair{line.substr(0, tab), line.substr(tab + 1)};
}
}  // namespace

std::string compare(LICE_IBitmap* frame, const std::string& name, const std::string& references) {
  // The window's frame is opaque; its alpha bytes carry nothing.
  LICE_MemBitmap shown(frame->getWidth(), frame->getHeight());
  for (int y = 0; y < frame->getHeight(); ++y)
    for (int x = 0; x < frame->getWidth(); ++x) LICE_PutPixel(&shown, x, y, LICE_GetPixel(frame, x, y) | 0xFF, 1.0f, 0);
  const std::filesystem::path out = std::filesystem::path(TARNIVEX_SNAPSHOT_DIR) / name;
  const std::filesystem::path reference = std::filesystem::path(references) / name;
  std::filesystem::create_directories(out.parent_path());
  std::string error;
  if (!imagegen::writePng(&shown, out.string(), error)) return error;
  stored(out, reference);
  std::unique_ptr<LICE_IBitmap> held(LICE_LoadPNG(reference.c_str()));
  if (!held)
    return "no reference " + reference.string() + " (TARNIVEX_UPDATE_SNAPSHOTS=1 ./scripts/update-snapshots stores it)";
  if (held->getWidth() != shown.getWidth() || held->getHeight() != shown.getHeight())
    return "the reference " + reference.string() + " is " + std::to_string(held->getWidth()) + " x " +
           std::to_string(held->getHeight()) + ", the frame " + std::to_string(shown.getWidth()) + " x " +
           std::to_string(shown.getHeight());
  const int columns = (shown.getWidth() + kSquare - 1) / kSquare;
  std::vector<int> inSquare(static_cast<size_t>(columns * ((shown.getHeight() + kSquare - 1) / kSquare)), 0);
  long differing = 0;
  for (int y = 0; y < shown.getHeight(); ++y)
    for (int x = 0; x < shown.getWidth(); ++x) {
      const LICE_pixel a = LICE_GetPixel(&shown, x, y), b = LICE_GetPixel(held.get(), x, y);
      if (std::abs(int(LICE_GETR(a)) - int(LICE_GETR(b))) > kChannelTolerance ||
          std::abs(int(LICE_GETG(a)) - int(LICE_GETG(b))) > kChannelTolerance ||
          std::abs(int(LICE_GETB(a)) - int(LICE_GETB(b))) > kChannelTolerance) {
        ++differing;
        ++inSquare[static_cast<size_t>(y / kSquare * columns + x / kSquare)];
      }
    }
  const std::string compared = ": compare " + out.string() + " with " + reference.string();
  const long allowed = static_cast<long>(kPixelTolerance * shown.getWidth() * shown.getHeight());
  if (differing > allowed)
    return std::to_string(differing) + " pixels differ (at most " + std::to_string(allowed) + ")" + compared;
  const auto worst = std::max_element(inSquare.begin(), inSquare.end());
  if (*worst <= kSquareTolerance) return "";
  const int square = static_cast<int>(worst - inSquare.begin());
  return std::to_string(*worst) + " pixels differ in the square at " + std::to_string(square % columns * kSquare) +
         "," + std::to_string(square / columns * kSquare) + " (at most " + std::to_string(kSquareTolerance) + ")" +
         compared;
}

std::string compareList(const std::vector<std::string>& lines, const std::string& name, const std::string& references) {
  const std::filesystem::path out = std::filesystem::path(TARNIVEX_SNAPSHOT_DIR) / name;
  const std::filesystem::path reference = std::filesystem::path(references) / name;
  std::filesystem::create_directories(out.parent_path());
  {
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) file << line << "\n";
    if (!file) return "cannot write " + out.string();
  }
  stored(out, reference);
  std::ifstream file(reference, std::ios::binary);
  if (!file)
    return "no reference " + reference.string() + " (TARNIVEX_UPDATE_SNAPSHOTS=1 ./scripts/update-snapshots stores it)";
  std::multiset<std::string> added(lines.begin(), lines.end()), gone;
  for (std::string line; std::getline(file, line);)
    if (const auto it = added.find(line); it != added.end()) added.erase(it);
    else gone.insert(line);
  std::vector<std::string> changes;
  // What kept its place has been renamed; then what kept its key has moved.
  for (bool byKey : {false, true})
    for (auto was = gone.begin(); was != gone.end();) {
      const auto [key, value] = split(*was);
      auto now = added.begin();
      for (; now != added.end(); ++now) {
        const auto [nowKey, nowValue] = split(*now);
        if (byKey ? nowKey == key : (nowValue == value && nowKey.substr(0, nowKey.find(' ')) == key.substr(0, key.find(' '))))
          break;
      }
      if (now == added.end()) {
        ++was;
        continue;
      }
      const auto [nowKey, nowValue] = split(*now);
      changes.push_back(byKey ? key + ": " + nowValue + ", was " + value : value + ": " + nowKey + ", was " + key);
      added.erase(now);
      was = gone.erase(was);
    }
  for (const std::string& line : gone) changes.push_back(split(line).first + " at " + split(line).second + " is gone");
  for (const std::string& line : added) changes.push_back(split(line).first + " at " + split(line).second + " is new");
  if (changes.empty()) return "";
  std::string report = std::to_string(changes.size()) + " changes from " + reference.string() + ":";
  for (size_t i = 0; i < changes.size() && i < 40; ++i) report += "\n  " + changes[i];
  return report;
}
}  // namespace snapshots
