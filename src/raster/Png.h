#pragma once
// PNG decoding into A,R,G,B bitmaps. Each returns the bitmap given (resized to
// the image) or a new LICE_MemBitmap owned by the caller; null on any failure.

#include "Bitmap.h"

LICE_IBitmap* LICE_LoadPNG(const char* filename, LICE_IBitmap* bmp = nullptr);
LICE_IBitmap* LICE_LoadPNGFromMemory(const void* data, int len, LICE_IBitmap* bmp = nullptr);
// A file named relative to the plug-in's resources folder.
LICE_IBitmap* LICE_LoadPNGFromNamedResource(const char* name, LICE_IBitmap* bmp = nullptr);
// Linked resources do not exist on this platform: always null.
LICE_IBitmap* LICE_LoadPNGFromResource(void* hInst, int resid, LICE_IBitmap* bmp = nullptr);

// The resources folder used by LICE_LoadPNGFromNamedResource. By default the
// folder "resources" beside the binary that holds this library; a non-null
// folder replaces it (null restores the default).
void LICE_SetNamedResourceFolder(const char* folder);

// The process-wide list of image loaders; the PNG loader registers itself.
struct _LICE_ImageLoader_rec {
  LICE_IBitmap* (*loadfunc)(const char* filename, bool checkFileName, LICE_IBitmap* bmpbase);
  const char* (*get_extlist)();
  _LICE_ImageLoader_rec* _next;
};
extern _LICE_ImageLoader_rec* LICE_ImageLoader_list;

struct LICE_PNGLoader {
  static LICE_IBitmap* loadfunc(const char* filename, bool checkFileName, LICE_IBitmap* bmpbase);
  static const char* get_extlist();
};
