// The image table: registers every bitmap under its key in the graphics
// context's process-wide cache, under the ids of the UI scale; the pixels are
// decoded when an editor first draws them.
#include <sys/stat.h>

#include <cmath>
#include <map>
#include <mutex>
#include <string>

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

void UIConfigManager::initImages(IGraphics* graphicsContext) {
  log("CONFIG READER: Started to read image resources...");
  for (const ImageRow& row : kCommonImages)
    preloadImage(graphicsContext, sizedImageId(row.id, uiScale), row.key,
                 (std::string("resources/img/") + row.file).c_str(), row.frames,
                 imageFramesHorizontal(row.key, row.frames));
  if (uiStyle >= 0 && uiStyle < kUIStyleCount)
    for (const StyleImageRow& row : kStyleImages)
      preloadImage(graphicsContext, sizedImageId(row.id[uiStyle], uiScale), row.key,
                   (std::string("resources/img/") + row.file[uiStyle]).c_str(), row.frames,
                   imageFramesHorizontal(row.key, row.frames));
  if (!clearingImageCache && graphicsContext) mImagesHeld = true;
  log("CONFIG READER: Completed!");
}

void UIConfigManager::preloadImage(IGraphics* graphicsContext, int id, const char* key, const char* path, int frames,
                                   bool framesHorizontal) {
  if (!graphicsContext) return;
  mImageHandles.clear();
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
      graphicsContext->ReleaseImageById(id);
      holding.file.clear();
    }
  }
  // Only the size is read now; the pixels are decoded when an editor first draws them.
  const IBitmap bitmap = graphicsContext->DeclareIBitmap(id, source.path.c_str(), source.scale, frames, false);
  if (holding.file.empty() && bitmap.W > 0) {
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

IBitmap UIConfigManager::getImageHandleByName(IGraphics* graphicsContext, const std::string& key) {
  // The factories ask for the same hundred images thousands of times; a
  // handle stays good while this instance holds the table's images.
  const bool own = graphicsContext && graphicsContext == graphics && mImagesHeld;
  if (own)
    if (const auto kept = mImageHandles.find(key); kept != mImageHandles.end()) return kept->second;
  const auto it = imageMap.find(key);
  if (it != imageMap.end() && graphicsContext) {
    const ImageInfo& info = it->second;
    IBitmap bitmap = graphicsContext->DeclareIBitmap(info.id, nullptr, uiScale, info.frames, info.framesHorizontal);
    if (bitmap.W > 0) {
      if (own) mImageHandles.emplace(key, bitmap);
      return bitmap;
    }
    // Not declared (its file could not be read): as the cache has it.
    return graphicsContext->getImageById(info.id, info.frames, info.framesHorizontal);
  }
  log("CONFIG READER: Image " + key + " MISSING!");
  return IBitmap(nullptr, 0, 0, 1, false);
}
