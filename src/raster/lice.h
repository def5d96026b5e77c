#pragma once
// The raster library: 32-bit bitmaps, combine modes, blits, fills, shapes and
// PNG loading.

#include "Bitmap.h"
#include "Blit.h"
#include "Combine.h"
#include "Fill.h"
#include "Png.h"
#include "Rect.h"
#include "Shapes.h"
