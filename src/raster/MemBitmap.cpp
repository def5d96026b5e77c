#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>

#include "Bitmap.h"
#include "MappedMemory.h"

void LICE_BufferDeleter::operator()(void* p) const
{
  if (mappedBytes)
    MappedMemory::give(p, mappedBytes);
  else
    std::free(p);
}

LICE_MemBitmap::LICE_MemBitmap(int w, int h, unsigned int rowAlignment)
{
  if (rowAlignment >= 2) {
    unsigned lowest = rowAlignment & (~rowAlignment + 1);
    if (lowest > 16) lowest = 16;  // wider alignments are never asked for
    m_rowAlignMask = lowest - 1;
  }
  if (w || h) resize(w, h);
}

LICE_MemBitmap::LICE_MemBitmap(LICE_MemBitmap&& other) noexcept
{
  *this = std::move(other);
}

LICE_MemBitmap& LICE_MemBitmap::operator=(LICE_MemBitmap&& other) noexcept
{
  if (this != &other) {
    m_buffer = std::move(other.m_buffer);
    m_width = std::exchange(other.m_width, 0);
    m_height = std::exchange(other.m_height, 0);
    m_allocated = std::exchange(other.m_allocated, 0);
    m_rowAlignMask = other.m_rowAlignMask;
  }
  return *this;
}

LICE_pixel* LICE_MemBitmap::getBits()
{
  if (!m_buffer) return nullptr;
  const auto p = reinterpret_cast<uintptr_t>(m_buffer.get());
  return reinterpret_cast<LICE_pixel*>((p + 63) & ~uintptr_t(63));
}

bool LICE_MemBitmap::resize(int w, int h)
{
  if (w == m_width && h == m_height) return false;
  m_width = w;
  m_height = h;
  // 64-bit so that a hostile size cannot wrap to a small allocation.
  const int64_t span = (int64_t(w) + m_rowAlignMask) & ~int64_t(m_rowAlignMask);
  const int64_t bytes = (w <= 0 || h <= 0) ? 0 : span * h * 4;
  if (bytes <= 0 || bytes > INT_MAX - 64) {
    m_buffer.reset();
    m_allocated = 0;
    m_width = m_height = 0;
    return true;
  }
  if (m_buffer && bytes <= m_allocated) return true;
  if (m_buffer) {
    const int64_t grown = std::min<int64_t>(bytes + bytes / 4, INT_MAX - 64);
    const size_t mapped = m_buffer.get_deleter().mappedBytes;
    void* moved = nullptr;
    if (mapped)
      moved = MappedMemory::resize(m_buffer.get(), mapped, size_t(grown) + 63);
    else if (size_t(grown) + 63 < MappedMemory::kThresholdBytes)
      moved = std::realloc(m_buffer.get(), size_t(grown) + 63);
    if (moved) {
      (void)m_buffer.release();
      m_buffer = std::unique_ptr<unsigned char, FreeDeleter>(static_cast<unsigned char*>(moved),
                                                             FreeDeleter{mapped ? size_t(grown) + 63 : 0});
      m_allocated = int(grown);
      return true;
    }
    m_buffer.reset();
  }
  m_allocated = int(bytes);
  const size_t total = size_t(bytes) + 63;
  if (total >= MappedMemory::kThresholdBytes)
    m_buffer = std::unique_ptr<unsigned char, FreeDeleter>(static_cast<unsigned char*>(MappedMemory::take(total)),
                                                           FreeDeleter{total});
  else
    m_buffer = std::unique_ptr<unsigned char, FreeDeleter>(static_cast<unsigned char*>(std::malloc(total)),
                                                           FreeDeleter{});
  if (!m_buffer) {
    m_allocated = 0;
    m_width = m_height = 0;
  }
  return true;
}
