// The player's pixels and geometry. Knows nothing of the movie format.
#pragma once

#include "raster/composite.h"
#include "raster/fill.h"
#include "raster/filter.h"
#include "raster/geometry.h"
#include "raster/image.h"
#include "raster/paint.h"
#include "raster/png.h"
#include "raster/stroke.h"
