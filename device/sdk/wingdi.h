// Graphics: device contexts, bitmaps, DIB sections, brushes, regions, blits, alpha blending, text.
#pragma once

#include "windef.h"
#include "winerror.h"
