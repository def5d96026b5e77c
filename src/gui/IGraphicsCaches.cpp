#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "Blit.h"
#include "CachedFont.h"
#include "GraphicsCaches.h"
#include "IControls.h"
#include "IGraphics.h"
#include "SwellGdi.h"

// The caches free bitmaps and fonts at exit: what those need is made first,
// so it is torn down after them.
BitmapStorage::BitmapStorage() { SWELL_GdiInit(); }
FontStorage::FontStorage() {
  SWELL_GdiInit();
  LICE_CachedFont warmUp;
}

BitmapStorage s_bitmapCache;
FontStorage s_fontCache;

LICE_IBitmap* BitmapStorage::Find(int id) {
  WDL_MutexLock lock(&mMutex);
  for (const Entry& e : mEntries)
    if (e.id == id) return e.bitmap.get();
  return nullptr;
}

void BitmapStorage::Add(int id, std::unique_ptr<LICE_IBitmap> bitmap) {
  WDL_MutexLock lock(&mMutex);
  mEntries.push_back({id, std::move(bitmap)});
}

bool BitmapStorage::Remove(LICE_IBitmap* bitmap) {
  WDL_MutexLock lock(&mMutex);
  for (auto it = mEntries.begin(); it != mEntries.end(); ++it)
    if (it->bitmap.get() == bitmap) {
      mEntries.erase(it);
      return true;
    }
  return false;
}

int BitmapStorage::Count() {
  WDL_MutexLock lock(&mMutex);
  return int(mEntries.size());
}

void BitmapStorage::Clear() {
  WDL_MutexLock lock(&mMutex);
  mEntries.clear();
}

LICE_IFont* FontStorage::Find(const Key& key) {
  WDL_MutexLock lock(&mMutex);
  for (const Entry& e : mEntries)
    if (e.key.size == key.size && e.key.orientation == key.orientation && e.key.style == key.style &&
        std::strcmp(e.key.name, key.name) == 0)
      return e.font.get();
  return nullptr;
}

void FontStorage::Add(const Key& key, std::unique_ptr<LICE_IFont> font) {
  WDL_MutexLock lock(&mMutex);
  mEntries.push_back({key, std::move(font)});
}

int FontStorage::Count() {
  WDL_MutexLock lock(&mMutex);
  return int(mEntries.size());
}

void FontStorage::Clear() {
  WDL_MutexLock lock(&mMutex);
  mEntries.clear();
}

namespace {
// Images declared but perhaps not decoded yet: what the first declaration
// gave, and the size the pixels will have.
struct DeclaredImage {
  std::string name;
  double scale = 1.0;
  int width = 0, height = 0;
  bool opaque = false;
  bool failed = false;  // decoding did not give the image: not tried again
};
std::mutex gDeclaredMutex;
std::map<int, DeclaredImage> gDeclared;
// The ids being decoded: a second asker of one waits for its pixels rather
// than decoding it again; different images decode side by side.
std::mutex gDecodingMutex;
std::condition_variable gDecoded;
std::set<int> gDecoding;
std::atomic<int> gDecodes{0};

std::function<void(int)> gDecodeObserver;

IBitmap Handle(LICE_IBitmap* bitmap, int w, int h, int nStates, bool horizontal, int id, bool opaque = false) {
  IBitmap handle(bitmap, w, h, nStates, horizontal);
  handle.mId = id;
  handle.mOpaque = opaque;
  return handle;
}

bool DeclaredOpaque(int id) {
  std::lock_guard<std::mutex> lock(gDeclaredMutex);
  const auto found = gDeclared.find(id);
  return found != gDeclared.end() && found->second.opaque;
}
}  // namespace

IBitmap IGraphics::LoadIBitmap(int id, const char* name, double scale, int nStates, bool framesAreHorizontal) {
  return LoadWith([this](int resourceId, const char* fileName) { return OSLoadBitmap(resourceId, fileName); }, id,
                  name, scale, nStates, framesAreHorizontal);
}

IBitmap IGraphics::LoadWith(const BitmapLoader& load, int id, const char* name, double scale, int nStates,
                            bool framesAreHorizontal) {
  LICE_IBitmap* bitmap = s_bitmapCache.Find(id);
  if (!bitmap) {
    std::unique_ptr<LICE_IBitmap> image = load(id, name);
    ++gDecodes;
    if (gDecodeObserver) gDecodeObserver(id);
    const int w = image ? int(image->getWidth() * scale) : 0, h = image ? int(image->getHeight() * scale) : 0;
    if (!image || w <= 0 || h <= 0) {
      // A missing or unreadable image leaves an empty handle; drawing skips it.
      std::fprintf(stderr, "Config error: image %d \"%s\" could not be loaded\n", id, name ? name : "");
      return IBitmap(nullptr, 0, 0, nStates, framesAreHorizontal);
    }
    if (w == image->getWidth() && h == image->getHeight()) {
      // At its own size the decoded image is the one drawn: no scaled copy.
      bitmap = image.get();
      s_bitmapCache.Add(id, std::move(image));
    } else {
      auto scaled = std::make_unique<LICE_MemBitmap>(w, h, 4);
      LICE_ScaledBlit(scaled.get(), image.get(), 0, 0, w, h, 0.0f, 0.0f, float(image->getWidth()),
                      float(image->getHeight()), 1.0f, 0x100);
      bitmap = scaled.get();
      s_bitmapCache.Add(id, std::move(scaled));
    }
  }
  return Handle(bitmap, bitmap->getWidth(), bitmap->getHeight(), nStates, framesAreHorizontal, id, DeclaredOpaque(id));
}

IBitmap IGraphics::DeclareIBitmap(int id, const char* name, double scale, int nStates, bool framesAreHorizontal) {
  if (LICE_IBitmap* bitmap = s_bitmapCache.Find(id))
    return Handle(bitmap, bitmap->getWidth(), bitmap->getHeight(), nStates, framesAreHorizontal, id, DeclaredOpaque(id));
  std::lock_guard<std::mutex> lock(gDeclaredMutex);
  auto found = gDeclared.find(id);
  if (found == gDeclared.end() && !name) return IBitmap(nullptr, 0, 0, nStates, framesAreHorizontal);
  if (found == gDeclared.end()) {
    int w = 0, h = 0;
    bool opaque = false;
    if (OSBitmapSize(id, name, &w, &h, &opaque)) {
      w = int(w * scale);
      h = int(h * scale);
    }
    if (w <= 0 || h <= 0) {
      std::fprintf(stderr, "Config error: image %d \"%s\" could not be loaded\n", id, name ? name : "");
      return IBitmap(nullptr, 0, 0, nStates, framesAreHorizontal);
    }
    found = gDeclared.emplace(id, DeclaredImage{name ? name : "", scale, w, h, opaque}).first;
  }
  return Handle(nullptr, found->second.width, found->second.height, nStates, framesAreHorizontal, id,
                found->second.opaque);
}

bool IGraphics::OSBitmapSize(int resourceId, const char* fileName, int* width, int* height, bool* opaque) {
  const std::unique_ptr<LICE_IBitmap> image = OSLoadBitmap(resourceId, fileName);
  ++gDecodes;
  if (!image) return false;
  *width = image->getWidth();
  *height = image->getHeight();
  *opaque = false;
  return true;
}

void IGraphics::SetDecodeObserver(std::function<void(int id)> observer) { gDecodeObserver = std::move(observer); }

IBitmap IGraphics::getImageById(int id, int nStates, bool framesAreHorizontal) {
  return ImageById([this](int resourceId, const char* fileName) { return OSLoadBitmap(resourceId, fileName); }, id,
                   nStates, framesAreHorizontal);
}

IBitmap IGraphics::ImageById(const BitmapLoader& load, int id, int nStates, bool framesAreHorizontal) {
  LICE_IBitmap* bitmap = s_bitmapCache.Find(id);
  if (!bitmap) {
    DeclaredImage declared;
    {
      std::lock_guard<std::mutex> lock(gDeclaredMutex);
      const auto found = gDeclared.find(id);
      if (found == gDeclared.end() || found->second.failed)
        return IBitmap(nullptr, 0, 0, nStates, framesAreHorizontal);
      declared = found->second;
    }
    {
      std::unique_lock<std::mutex> decoding(gDecodingMutex);
      gDecoded.wait(decoding, [id] { return !gDecoding.count(id); });
      bitmap = s_bitmapCache.Find(id);
      if (!bitmap) gDecoding.insert(id);
    }
    if (!bitmap) {
      bitmap = LoadWith(load, id, declared.name.c_str(), declared.scale, nStates, framesAreHorizontal).mData;
      {
        std::lock_guard<std::mutex> decoding(gDecodingMutex);
        gDecoding.erase(id);
      }
      gDecoded.notify_all();
    }
    if (!bitmap) {
      std::lock_guard<std::mutex> lock(gDeclaredMutex);
      if (const auto found = gDeclared.find(id); found != gDeclared.end()) found->second.failed = true;
      return IBitmap(nullptr, 0, 0, nStates, framesAreHorizontal);
    }
  }
  return Handle(bitmap, bitmap->getWidth(), bitmap->getHeight(), nStates, framesAreHorizontal, id);
}

LICE_IBitmap* IGraphics::BitmapPixels(IBitmap* bitmap) {
  if (!bitmap) return nullptr;
  if (!bitmap->mData && bitmap->mId >= 0) bitmap->mData = getImageById(bitmap->mId).mData;
  return bitmap->mData;
}

void IGraphics::ReleaseImageById(int id) {
  {
    std::lock_guard<std::mutex> lock(gDeclaredMutex);
    gDeclared.erase(id);
  }
  if (LICE_IBitmap* bitmap = s_bitmapCache.Find(id)) s_bitmapCache.Remove(bitmap);
}

int IGraphics::DecodedImageCount() { return gDecodes.load(); }

void IGraphics::RetainBitmap(IBitmap* bitmap) {
  if (bitmap && bitmap->mData) s_bitmapCache.Add(-1, std::unique_ptr<LICE_IBitmap>(bitmap->mData));
}

void IGraphics::ReleaseBitmap(IBitmap* bitmap) {
  if (bitmap && bitmap->mData) s_bitmapCache.Remove(bitmap->mData);
}

void IGraphics::AttachBackground(int id, const char* name, double scale) {
  // Decoded when the editor first draws it.
  IBitmap bitmap = DeclareIBitmap(id, name, scale, 1, false);
  auto background = std::make_unique<IBitmapControl>(mPlug, 0, 0, -1, &bitmap, IChannelBlend::kBlendClobber);
  mControls.insert(mControls.begin(), std::move(background));
}

namespace {
HGDIOBJ__* MakeSystemFont(const IText* text, int height) {
  const int quality = text->mQuality <= 0 ? 0 : text->mQuality == 1 ? 3 : text->mQuality <= 3 ? 4 : 3;
  return CreateFont(height, 0, text->mOrientation * 10, text->mOrientation * 10,
                    text->mStyle == IText::kStyleBold ? 700 : 400, text->mStyle == IText::kStyleItalic, 0, 0, 0, 0,
                    0, char(quality), 0, text->mFont);
}
}  // namespace

LICE_IFont* IGraphics::CacheFont(IText* text) {
  if (!text) return nullptr;
  LICE_IFont* font = SharedFont(*text);
  if (font) text->mCached = font;
  return font;
}

namespace {
FontStorage::Key FontKey(const IText& text) {
  FontStorage::Key key{text.mSize, text.mOrientation, text.mStyle, {}};
  std::memcpy(key.name, text.mFont, sizeof(key.name));
  key.name[sizeof(key.name) - 1] = 0;
  return key;
}
}  // namespace

bool IGraphics::ImageDecoded(int id) { return s_bitmapCache.Find(id) != nullptr; }

bool IGraphics::FontMade(const IText& style) { return s_fontCache.Find(FontKey(style)) != nullptr; }

LICE_IFont* IGraphics::SharedFont(const IText& style) {
  const FontStorage::Key key = FontKey(style);
  if (LICE_IFont* font = s_fontCache.Find(key)) return font;
  // Made with no lock held: a thread drawing with another font never waits
  // for this one.
  const int h = std::max(style.mSize, 2);
  auto made = std::make_unique<LICE_CachedFont>();
  HGDIOBJ__* system = MakeSystemFont(&style, h);
  if (!system) return nullptr;
  made->SetFromHFont(system, LICE_FONT_FLAG_OWNS_HFONT | LICE_FONT_FLAG_FORCE_NATIVE);
  const int lineHeight = made->GetLineHeight();
  if (lineHeight != h && lineHeight > 0) {
    const int corrected = int(double(h) * h / lineHeight + 0.5);
    HGDIOBJ__* second = MakeSystemFont(&style, corrected);
    if (!second) return nullptr;
    made->SetFromHFont(second, LICE_FONT_FLAG_OWNS_HFONT | LICE_FONT_FLAG_FORCE_NATIVE);
  }
  // One key keeps one font: a thread that made it meanwhile wins.
  WDL_MutexLock lock(&s_fontCache.Mutex());
  if (LICE_IFont* font = s_fontCache.Find(key)) return font;
  LICE_IFont* font = made.get();
  s_fontCache.Add(key, std::move(made));
  return font;
}

void IGraphics::PrepareFontLookup(const IText& style) {
  SWELL_PrepareFontLookup(style.mFont, style.mStyle == IText::kStyleBold, style.mStyle == IText::kStyleItalic);
}

bool IGraphics::DrawIText(IText* text, const char* str, IRECT* r, bool measure) {
  if (!str || !*str) return true;
  if (!text || !r) return false;
  LICE_IFont* font = text->mCached ? text->mCached : CacheFont(text);
  if (!font) return false;
  const IColor& c = text->mColor;
  font->SetTextColor(LICE_RGBA(unsigned(c.R), unsigned(c.G), unsigned(c.B), unsigned(c.A)));
  unsigned flags = text->mAlign == IText::kAlignNear     ? DT_NOCLIP
                   : text->mAlign == IText::kAlignCenter ? DT_NOCLIP | DT_CENTER
                                                         : DT_NOCLIP | DT_RIGHT;
  if (c.A < 255) flags |= LICE_DT_USEFGALPHA;
  if (text->mVAlign == 1) flags |= DT_BOTTOM;
  else if (text->mVAlign != 0) flags |= DT_VCENTER;
  if (!measure) {
    RECT rect{r->L, r->T, r->R, r->B};
    // Text may reach past its box; it never reaches past the pass, where
    // nothing is drawn under it again.
    auto* cached = dynamic_cast<LICE_CachedFont*>(font);
    const RECT pass{mDrawRECT.L, mDrawRECT.T, mDrawRECT.R, mDrawRECT.B};
    if (cached && !mDrawRECT.Empty()) cached->SetPassClip(&pass);
    font->DrawText(mDrawBitmap.get(), str, -1, &rect, flags);
    if (cached) cached->SetPassClip(nullptr);
    return true;
  }
  RECT rect{0, 0, 0, 0};
  font->DrawText(mDrawBitmap.get(), str, -1, &rect, flags | DT_CALCRECT);
  const int w = rect.right, h = rect.bottom;
  if (text->mAlign == IText::kAlignCenter) {
    r->L = int((r->L + r->R) * 0.5) - w / 2;
    r->R = r->L + w;
  } else if (text->mAlign == IText::kAlignFar) {
    r->L = r->R - w;
  } else {
    r->R = r->L + w;
  }
  r->B = r->T + h;
  return true;
}
