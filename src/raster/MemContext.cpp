#include "MemContext.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
}  // namespace

struct HDC__ {
  std::unique_ptr<unsigned char, FreeDeleter> block;
  unsigned char* pixels = nullptr;
  int width = 0, height = 0;
  int textColor = 0;  // opaque black, 0xRRGGBB
};

HDC__* SWELL_CreateMemContext(HDC__*, int w, int h)
{
  if (w <= 0 || h <= 0) return nullptr;
  const int64_t bytes = int64_t(w) * h * 4;
  if (bytes > INT32_MAX) return nullptr;
  auto ctx = std::make_unique<HDC__>();
  ctx->block.reset(static_cast<unsigned char*>(std::calloc(size_t(bytes) + 63, 1)));
  if (!ctx->block) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(ctx->block.get());
  ctx->pixels = ctx->block.get() + ((64 - (start & 63)) & 63);
  ctx->width = w;
  ctx->height = h;
  return ctx.release();
}

void* SWELL_GetCtxFrameBuffer(HDC__* ctx)
{
  return ctx ? ctx->pixels : nullptr;
}

void SWELL_DeleteGfxContext(HDC__* ctx)
{
  std::unique_ptr<HDC__> owned(ctx);
}
