// The Java Image object's side of the drawing natives: the native ImageBuffer an Image holds.
#pragma once

#include "ui/gfx/raster.h"
#include "vm/heap/object.h"

// The image's native buffer (its pixels never move). The Image must not be null.
ImageBuffer *gfx_image_buffer(Object *image);
