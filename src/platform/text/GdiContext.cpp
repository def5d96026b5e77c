#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "GdiRecords.h"
#include "MappedMemory.h"

namespace {
constexpr int kMaxPooledContexts = 100;
// Large frame buffers are mapped straight from the system (MappedMemory.h):
// their pages cost memory only once drawn on, so an instance whose editor
// never opens keeps none of its frame, and a closed one gives it all back.
constexpr int kMaxPooledObjects = 200;

struct Pools {
  std::recursive_mutex mutex;
  HDC__* contexts = nullptr;
  int nContexts = 0;
  HGDIOBJ__* objects = nullptr;
  int nObjects = 0;
  ~Pools() {
    while (contexts) delete std::exchange(contexts, contexts->poolNext);
    while (objects) delete std::exchange(objects, objects->poolNext);
  }
};
Pools& ThePools() {
  static Pools pools;
  return pools;
}

HGDIOBJ__ gStockPen = [] {
  HGDIOBJ__ o;
  o.type = HGDIOBJ__::kPen;
  o.width = -1;
  return o;
}();
HGDIOBJ__ gStockBrush = [] {
  HGDIOBJ__ o;
  o.type = HGDIOBJ__::kBrush;
  o.width = -1;
  return o;
}();

HDC__* NewContext() {
  Pools& pools = ThePools();
  std::lock_guard<std::recursive_mutex> lock(pools.mutex);
  if (HDC__* ctx = pools.contexts) {
    pools.contexts = ctx->poolNext;
    --pools.nContexts;
    *ctx = HDC__();
    return ctx;
  }
  return new HDC__();
}

void ReleaseContext(HDC__* ctx) {
  if (ctx->mappedBytes)
    MappedMemory::give(ctx->block, ctx->mappedBytes);
  else
    std::free(ctx->block);
  *ctx = HDC__();
  ctx->pooled = true;
  Pools& pools = ThePools();
  std::lock_guard<std::recursive_mutex> lock(pools.mutex);
  if (pools.nContexts >= kMaxPooledContexts) {
    delete ctx;
    return;
  }
  ctx->poolNext = pools.contexts;
  pools.contexts = ctx;
  ++pools.nContexts;
}
}  // namespace

HGDIOBJ__* NewObject(int type) {
  Pools& pools = ThePools();
  HGDIOBJ__* obj = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(pools.mutex);
    if ((obj = pools.objects)) {
      pools.objects = obj->poolNext;
      --pools.nObjects;
      *obj = HGDIOBJ__();
    }
  }
  if (!obj) obj = new HGDIOBJ__();
  obj->type = type;
  return obj;
}

void SWELL_GdiInit() {
  ThePools();
  FontLibraryInit();
}

HDC SWELL_CreateMemContext(HDC, int w, int h) {
  if (w <= 0 || h <= 0) return nullptr;
  const int64_t bytes = int64_t(w) * h * 4;
  if (bytes > INT32_MAX) return nullptr;
  unsigned char* block = nullptr;
  size_t mapped = 0;
  if (size_t(bytes) >= MappedMemory::kThresholdBytes) {
    block = static_cast<unsigned char*>(MappedMemory::take(size_t(bytes)));
    if (!block) return nullptr;
    mapped = size_t(bytes);
  } else {
    block = static_cast<unsigned char*>(std::calloc(size_t(bytes) + 63, 1));
    if (!block) return nullptr;
  }
  HDC__* ctx = NewContext();
  ctx->block = block;
  ctx->mappedBytes = mapped;
  ctx->pixels = block + ((64 - (reinterpret_cast<uintptr_t>(block) & 63)) & 63);
  ctx->width = w;
  ctx->height = h;
  ctx->clip = {0, 0, w, h};
  ctx->textColorSet = true;
  return ctx;
}

HDC SWELL_CreateGfxContext(void* target) {
  HDC__* ctx = NewContext();
  ctx->gc = target;
  return ctx;
}

void SWELL_DeleteGfxContext(HDC ctx) {
  if (ValidContext(ctx)) ReleaseContext(ctx);
}

void* SWELL_GetCtxFrameBuffer(HDC ctx) { return ValidContext(ctx) ? ctx->pixels : nullptr; }
void* SWELL_GetCtxGC(HDC ctx) { return ValidContext(ctx) ? (ctx->gc ? ctx->gc : ctx->pixels) : nullptr; }
int SWELL_GetCtxWidth(HDC ctx) { return ValidContext(ctx) ? ctx->width : 0; }
int SWELL_GetCtxHeight(HDC ctx) { return ValidContext(ctx) ? ctx->height : 0; }

void SetTextColor(HDC ctx, int color) {
  if (!ValidContext(ctx)) return;
  ctx->textColor = color;
  ctx->textColorSet = true;
}
int GetTextColor(HDC ctx) { return ValidContext(ctx) ? ctx->textColor : -1; }
bool SWELL_GetCtxTextColor(HDC ctx, int* color) {
  if (!ValidContext(ctx) || !ctx->textColorSet) return false;
  if (color) *color = ctx->textColor;
  return true;
}
void SetBkColor(HDC ctx, int color) {
  if (ValidContext(ctx)) ctx->bkColor = color;
}
void SetBkMode(HDC ctx, int mode) {
  if (ValidContext(ctx)) ctx->bkMode = mode;
}

HGDIOBJ CreatePenAlpha(int, int width, int color, float alpha) {
  HGDIOBJ__* pen = NewObject(HGDIOBJ__::kPen);
  pen->width = width < 0 ? 0 : width;
  pen->color = color;
  pen->alpha = alpha;
  return pen;
}
HGDIOBJ CreatePen(int style, int width, int color) { return CreatePenAlpha(style, width, color, 1.0f); }

HBRUSH CreateSolidBrushAlpha(int color, float alpha) {
  HGDIOBJ__* brush = NewObject(HGDIOBJ__::kBrush);
  brush->color = color;
  brush->alpha = alpha;
  return brush;
}
HBRUSH CreateSolidBrush(int color) { return CreateSolidBrushAlpha(color, 1.0f); }

HGDIOBJ GetStockObject(int which) {
  if (which == WHITE_PEN_STOCK) return &gStockPen;
  if (which == BLACK_BRUSH_STOCK) return &gStockBrush;
  return nullptr;
}

HGDIOBJ SelectObject(HDC ctx, HGDIOBJ obj) {
  if (!ValidContext(ctx)) return nullptr;
  const auto value = reinterpret_cast<uintptr_t>(obj);
  if (value >= 1 && value <= 3) {
    HGDIOBJ__** slot = value == 1 ? &ctx->pen : value == 2 ? &ctx->brush : &ctx->font;
    HGDIOBJ__* old = std::exchange(*slot, nullptr);
    return old && old->type == int(value) ? old : obj;
  }
  if (value < 5 || obj->pooled || obj->type < 1 || obj->type > 3) return nullptr;
  HGDIOBJ__** slot = obj->type == 1 ? &ctx->pen : obj->type == 2 ? &ctx->brush : &ctx->font;
  HGDIOBJ__* old = std::exchange(*slot, obj);
  if (!old) return reinterpret_cast<HGDIOBJ>(uintptr_t(obj->type));
  return old->type == obj->type ? old : obj;
}

void DeleteObject(HGDIOBJ obj) {
  if (reinterpret_cast<uintptr_t>(obj) < 5 || obj == &gStockPen || obj == &gStockBrush || obj->pooled) return;
  if (obj->extraRefs > 0) {
    --obj->extraRefs;
    return;
  }
  if (obj->type < 1 || obj->type > 4) return;
  if ((obj->type == HGDIOBJ__::kPen || obj->type == HGDIOBJ__::kBrush) && obj->width < 0) return;
  *obj = HGDIOBJ__();
  obj->pooled = true;
  Pools& pools = ThePools();
  std::lock_guard<std::recursive_mutex> lock(pools.mutex);
  if (pools.nObjects >= kMaxPooledObjects) {
    delete obj;
    return;
  }
  obj->poolNext = pools.objects;
  pools.objects = obj;
  ++pools.nObjects;
}

HGDIOBJ SWELL_CloneGDIObject(HGDIOBJ obj) {
  if (reinterpret_cast<uintptr_t>(obj) < 5 || obj->pooled) return nullptr;
  ++obj->extraRefs;
  return obj;
}

int SWELL_PooledContextCount() {
  std::lock_guard<std::recursive_mutex> lock(ThePools().mutex);
  return ThePools().nContexts;
}
int SWELL_PooledObjectCount() {
  std::lock_guard<std::recursive_mutex> lock(ThePools().mutex);
  return ThePools().nObjects;
}
