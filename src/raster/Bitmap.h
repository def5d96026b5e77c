#pragma once
// 32-bit raster bitmaps: the abstract interface, a heap bitmap and a bitmap
// over a memory drawing context.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Pixel.h"

struct HDC__;

class LICE_IBitmap {
public:
  virtual ~LICE_IBitmap() = default;
  virtual LICE_pixel* getBits() = 0;
  virtual int getWidth() = 0;
  virtual int getHeight() = 0;
  virtual int getRowSpan() = 0;  // in pixels
  virtual bool isFlipped() { return false; }
  virtual bool resize(int w, int h) = 0;
  virtual HDC__* getDC() { return nullptr; }
  virtual intptr_t Extended(int, void*) { return 0; }
};

// A bitmap's pixel buffer: a large one is mapped pages of this many bytes
// (MappedMemory.h), given back whole when freed; a small one is from the heap.
struct LICE_BufferDeleter {
  size_t mappedBytes = 0;
  void operator()(void* p) const;
};

class LICE_MemBitmap : public LICE_IBitmap {
public:
  LICE_MemBitmap(int w = 0, int h = 0, unsigned int rowAlignment = 4);
  LICE_MemBitmap(const LICE_MemBitmap&) = delete;
  LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;
  LICE_MemBitmap(LICE_MemBitmap&& other) noexcept;
  LICE_MemBitmap& operator=(LICE_MemBitmap&& other) noexcept;

  LICE_pixel* getBits() override;
  int getWidth() override { return m_width; }
  int getHeight() override { return m_height; }
  int getRowSpan() override { return int((unsigned(m_width) + m_rowAlignMask) & ~m_rowAlignMask); }
  bool resize(int w, int h) override;

  // Bytes of pixel space the block holds, without the alignment slack.
  int allocatedBytes() const { return m_allocated; }

private:
  using FreeDeleter = LICE_BufferDeleter;
  std::unique_ptr<unsigned char, FreeDeleter> m_buffer;
  int m_width = 0, m_height = 0;
  int m_allocated = 0;
  unsigned int m_rowAlignMask = 0;
};

class LICE_SysBitmap : public LICE_IBitmap {
public:
  LICE_SysBitmap(int w = 0, int h = 0);
  ~LICE_SysBitmap() override;
  LICE_SysBitmap(const LICE_SysBitmap&) = delete;
  LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

  LICE_pixel* getBits() override { return m_bits; }
  int getWidth() override { return m_width; }
  int getHeight() override { return m_height; }
  int getRowSpan() override { return m_allocWidth; }
  bool resize(int w, int h) override;
  HDC__* getDC() override { return m_dc; }

private:
  int m_width = 0, m_height = 0;
  HDC__* m_dc = nullptr;  // owned
  LICE_pixel* m_bits = nullptr;
  int m_allocWidth = 0, m_allocHeight = 0;
};

// Image row 0 and the signed byte step between image rows, honouring flipped
// bitmaps, so that pixel (x, y) is origin + y * step + x * 4.
struct LICE_Rows {
  unsigned char* origin;
  ptrdiff_t step;
  unsigned char* row(int y) const { return origin + y * step; }
  unsigned char* at(int x, int y) const { return origin + y * step + ptrdiff_t(x) * 4; }
};

inline LICE_Rows LICE_GetRows(LICE_IBitmap* bm)
{
  auto* bits = reinterpret_cast<unsigned char*>(bm->getBits());
  const ptrdiff_t span = ptrdiff_t(bm->getRowSpan()) * 4;
  if (bm->isFlipped()) return {bits + (bm->getHeight() - 1) * span, -span};
  return {bits, span};
}
