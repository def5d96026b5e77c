#pragma once
// The memory drawing context that holds a LICE_SysBitmap's pixels. Only the
// buffer side lives here; text drawing into it belongs to the text backend.

struct HDC__;

// A zeroed w x h buffer of 4-byte pixels, rows of w * 4 bytes, start aligned to
// 64 bytes. Null when w or h is not positive or the buffer cannot be had.
HDC__* SWELL_CreateMemContext(HDC__* reference, int w, int h);
// Aligned start of the context's pixels; null for a null context.
void* SWELL_GetCtxFrameBuffer(HDC__* ctx);
// Frees the context and its buffer; null is ignored.
void SWELL_DeleteGfxContext(HDC__* ctx);
