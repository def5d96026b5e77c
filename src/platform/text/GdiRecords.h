// The records behind drawing-context and GDI object handles, and their pools.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "FontFace.h"
#include "SwellGdi.h"

struct HGDIOBJ__ {
  enum Type { kPen = 1, kBrush = 2, kFont = 3, kImage = 4 };
  int type = 0;
  int extraRefs = 0;
  int color = 0;  // 0xRRGGBB
  float alpha = 1.0f;
  int width = 0;  // pens; negative draws nothing; images: 1 when the object owns its image
  float rotation = 0.0f;
  bool pooled = false;
  HGDIOBJ__* poolNext = nullptr;
  std::shared_ptr<FontFace> face;
  int antialias = 0;  // 0 unchanged, 3 off, 4 on
  std::shared_ptr<std::vector<uint32_t>> image;
  int imageW = 0, imageH = 0;
};

struct HDC__ {
  void* gc = nullptr;  // the paint target a wrapping context stands for
  unsigned char* pixels = nullptr;  // aligned start; null for a wrapping context
  HGDIOBJ__* pen = nullptr;
  HGDIOBJ__* brush = nullptr;
  HGDIOBJ__* font = nullptr;
  int textColor = 0;
  bool textColorSet = false;  // a memory context starts with black; a wrapping one with none
  int bkColor = 0;
  int bkMode = 0;
  float curX = 0.0f, curY = 0.0f;
  bool pooled = false;
  HDC__* poolNext = nullptr;
  // Own fields: the buffer behind a memory context and the clip stack.
  unsigned char* block = nullptr;  // owned
  size_t mappedBytes = 0;          // the block is mapped pages of this size, not from the heap
  int width = 0, height = 0;
  RECT clip{0, 0, 0, 0};
  std::vector<RECT> clipStack;
};

// A usable context: not null and not waiting in the pool.
inline bool ValidContext(HDC ctx) { return ctx && !ctx->pooled; }
// A real, unpooled object of the type.
inline bool ValidObject(HGDIOBJ obj, int type) {
  return reinterpret_cast<uintptr_t>(obj) >= 5 && !obj->pooled && obj->type == type;
}
HGDIOBJ__* NewObject(int type);
