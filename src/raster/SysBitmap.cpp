#include "Bitmap.h"
#include "MemContext.h"

LICE_SysBitmap::LICE_SysBitmap(int w, int h)
{
  resize(w, h);
}

LICE_SysBitmap::~LICE_SysBitmap()
{
  if (m_dc) SWELL_DeleteGfxContext(m_dc);
}

bool LICE_SysBitmap::resize(int w, int h)
{
  if (w == m_width && h == m_height) return false;
  m_width = w;
  m_height = h;
  if (w && h && m_allocWidth >= w && m_allocHeight >= h && m_bits) {
    auto* fb = static_cast<LICE_pixel*>(SWELL_GetCtxFrameBuffer(m_dc));
    m_bits = isFlipped() ? fb + (m_allocHeight - h) * ptrdiff_t(m_allocWidth) : fb;
    return true;
  }
  const int64_t rounded = (int64_t(w) + 3) & ~int64_t(3);
  m_allocWidth = rounded > INT32_MAX ? 0 : int(rounded);
  m_allocHeight = h;
  if (m_dc) SWELL_DeleteGfxContext(m_dc);
  m_dc = nullptr;
  m_bits = nullptr;
  if (!h || !m_allocWidth) return false;
  m_dc = SWELL_CreateMemContext(nullptr, m_allocWidth, h);
  if (m_dc) {
    m_bits = static_cast<LICE_pixel*>(SWELL_GetCtxFrameBuffer(m_dc));
  } else {
    m_width = m_height = 0;
  }
  return true;
}
