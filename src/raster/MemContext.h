#pragma once
// The memory drawing context that holds a LICE_SysBitmap's pixels, from the
// drawing-context backend.

#include "SwellGdi.h"
