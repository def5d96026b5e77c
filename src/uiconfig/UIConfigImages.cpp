// The image table: registers every bitmap under its key and loads it into
// the graphics context's process-wide cache at the UI scale.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BundlePaths.h"
#include "IGraphics.h"
#include "ImageTable.h"
#include "UIConfigManager.h"

namespace {
// The bitmap cache is shared by every instance in the process. An image is
// never freed while an instance holds it (closing one editor must not free
// bitmaps another still draws), and it stays decoded after the last one lets
// go, for the next instance a host opens, as long as its file is unchanged.
struct Holding {
  int holders = 0;
  std::string file;  // as loaded
  long long size = -1, mtime = -1;
  double scale = 0.0;  // as loaded
};
std::mutex gHoldingsMutex;
std::map<int, Holding> gHoldings;  // by bitmap id

// The image generator draws every image at each of the editor's three sizes,
// the small and large ones in folders of their own, so their labels stay
// crisp: such a file is loaded as it is. Any other size factor, or a bundle
// without the folder, scales the normal file.
struct ImageSource {
  std::string path;
  double scale;
};
ImageSource sizedImage(const std::string& path, double uiScale) {
  const std::string folder = "resources/img/";
  const char* size = std::abs(uiScale - 0.85) < 1e-6 ? "small/" : std::abs(uiScale - 1.15) < 1e-6 ? "large/" : nullptr;
  if (size && path.rfind(folder, 0) == 0) {
    std::string sized = folder + size + path.substr(folder.size());
    struct stat st {};
    if (stat(BundleResourcePath(sized.c_str()).c_str(), &st) == 0) return {std::move(sized), 1.0};
  }
  return {path, uiScale};
}

void fileStamp(const std::string& file, long long& size, long long& mtime) {
  struct stat st {};
  if (file.empty() || stat(file.c_str(), &st) != 0) {
    size = mtime = -1;
    return;
  }
  size = st.st_size;
  mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}
}  // namespace

// Decoding the table's images is most of what the first instance in a process
// costs. The files are independent, so those not cached yet are decoded side
// by side, largest first, before the rows are registered in table order; each
// row then finds its bitmap in the cache.
static void decodeAhead(IGraphics* graphics, int uiStyle, double uiScale) {
  struct Pending {
    int id;
    ImageSource source;
    long long size;
  };
  std::vector<Pending> pending;
  std::set<int> seen;
  auto want = [&](int id, const char* file) {
    if (!seen.insert(id).second || graphics->getImageById(id).mData) return;
    ImageSource source = sizedImage(std::string("resources/img/") + file, uiScale);
    long long size = -1, mtime = -1;
    fileStamp(BundleResourcePath(source.path.c_str()), size, mtime);
    if (size >= 0) pending.push_back({id, std::move(source), size});
  };
  for (const ImageRow& row : kCommonImages) want(row.id, row.file);
  if (uiStyle >= 0 && uiStyle < kUIStyleCount)
    for (const StyleImageRow& row : kStyleImages) want(row.id[uiStyle], row.file[uiStyle]);
  if (pending.size() < 2) return;
  std::sort(pending.begin(), pending.end(), [](const Pending& a, const Pending& b) { return a.size > b.size; });
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next++) < pending.size();)
      graphics->LoadIBitmap(pending[i].id, pending[i].source.path.c_str(), pending[i].source.scale, 1, false);
  };
  const unsigned helpers = std::clamp(std::thread::hardware_concurrency(), 1u, 8u) - 1;
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < helpers; ++i) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
}

void UIConfigManager::initImages(IGraphics* graphicsContext) {
  log("CONFIG READER: Started to read image resources...");
  if (graphicsContext && !clearingImageCache) decodeAhead(graphicsContext, uiStyle, uiScale);
  for (const ImageRow& row : kCommonImages)
    preloadImage(graphicsContext, row.id, row.key, (std::string("resources/img/") + row.file).c_str(), row.frames,
                 imageFramesHorizontal(row.key, row.frames));
  if (uiStyle >= 0 && uiStyle < kUIStyleCount)
    for (const StyleImageRow& row : kStyleImages)
      preloadImage(graphicsContext, row.id[uiStyle], row.key,
                   (std::string("resources/img/") + row.file[uiStyle]).c_str(), row.frames,
                   imageFramesHorizontal(row.key, row.frames));
  if (!clearingImageCache && graphicsContext) mImagesHeld = true;
  log("CONFIG READER: Completed!");
}

void UIConfigManager::preloadImage(IGraphics* graphicsContext, int id, const char* key, const char* path, int frames,
                                   bool framesHorizontal) {
  if (!graphicsContext) return;
  std::lock_guard<std::mutex> lock(gHoldingsMutex);
  Holding& holding = gHoldings[id];
  if (clearingImageCache) {
    // Given back by lookup: nothing is loaded while clearing.
    if (holding.holders > 0) --holding.holders;
    return;
  }
  const ImageSource source = sizedImage(path, uiScale);
  if (holding.holders == 0 && !holding.file.empty()) {
    // Nobody draws it now: an image whose file changed is decoded afresh.
    long long size = -1, mtime = -1;
    const std::string file = BundleResourcePath(source.path.c_str());
    fileStamp(file, size, mtime);
    // So is one loaded at another size.
    if (file != holding.file || size != holding.size || mtime != holding.mtime || holding.scale != uiScale) {
      IBitmap stale = graphicsContext->getImageById(id, frames, false);
      graphicsContext->ReleaseBitmap(&stale);
      holding.file.clear();
    }
  }
  const IBitmap bitmap = graphicsContext->LoadIBitmap(id, source.path.c_str(), source.scale, frames, false);
  if (holding.file.empty() && bitmap.mData) {
    holding.file = BundleResourcePath(source.path.c_str());
    fileStamp(holding.file, holding.size, holding.mtime);
    holding.scale = uiScale;
  }
  ++holding.holders;
  imageMap[key] = {id, frames, framesHorizontal};
}

void UIConfigManager::ClearImageCache() {
  if (clearingImageCache || !mImagesHeld) return;
  clearingImageCache = true;
  initImages(graphics);
  clearingImageCache = false;
  mImagesHeld = false;
}

IBitmap UIConfigManager::getImageByName(IGraphics* graphicsContext, std::string key) {
  const auto it = imageMap.find(key);
  if (it != imageMap.end() && graphicsContext)
    return graphicsContext->getImageById(it->second.id, it->second.frames, it->second.framesHorizontal);
  log("CONFIG READER: Image " + key + " MISSING!");
  return IBitmap(nullptr, 0, 0, 1, false);
}
