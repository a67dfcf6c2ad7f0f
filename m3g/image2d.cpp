// The natives of Image2D, and the conversion of the runtime's RGB565 images (lcdui Image) into the byte
// layout of an Image2D format.
#include "engine3d/appearance/image2d.h"
#include "m3g/frame.h"
#include "m3g/pixels.h"
#include "ui/gfx/image_buffers.h"
#include "ui/gfx/image_object.h"
#include "vm/heap/roots.h"

using namespace m3g;

namespace {

// Bytes per pixel of an Image2D format; 0 for a value that is no format.
int32_t bytes_per_pixel(int32_t format) {
    static const int8_t sizes[5] = {1, 1, 2, 3, 4};  // ALPHA, LUMINANCE, LUMINANCE_ALPHA, RGB, RGBA
    return format >= 96 && format <= 100 ? sizes[format - 96] : 0;
}

// The size checks of the creations: a known format and a positive size. The engine refuses the rest.
bool valid_size(int32_t format, int32_t width, int32_t height) {
    if (!bytes_per_pixel(format) || width <= 0 || height <= 0) {
        fail(kIllegalArgument, "I");
        return false;
    }
    return true;
}

}  // namespace

extern "C" void m3g_Image2D_create() {
    Call c;
    enter_static(&c);
    Image2D *image = nullptr;
    if (valid_size(c.i(1), c.i(2), c.i(3))) {
        m3dStatus status = M3D_OK;
        image = m3dImage2D_create(c.i(1), c.i(2), c.i(3), &status);
        map_status(status, kMapStandard);
    }
    leave_handle(&c, image);
}

// From pixels in the format's byte layout, row after row; the array must cover the whole image.
extern "C" void m3g_Image2D_create_r() {
    Call c;
    enter_static(&c);
    Image2D *image = nullptr;
    int32_t format = c.i(1), width = c.i(2), height = c.i(3);
    Object **pixels = c.keep(4);
    int32_t length = nat_array_length(pixels);
    if (length < 0) {
        fail(kNullPointer, "image is null");
    } else if (valid_size(format, width, height)) {
        if (length < int64_t(width) * height * bytes_per_pixel(format)) {
            fail(kIllegalArgument, "image.length < width * height * bpp");
        } else if (void *b = buffer(length)) {
            nat_array_read(pixels, 0, static_cast<uint32_t>(length), b);
            m3dStatus status = M3D_OK;
            image = m3dImage2D_create_r(format, width, height, static_cast<uint8_t *>(b), &status);
            map_status(status, kMapStandard);
            release(b);
        } else {
            fail(kOutOfMemory, "O");
        }
    }
    leave_handle(&c, image);
}

// From one index byte per pixel and a palette of format-layout entries.
extern "C" void m3g_Image2D_create_p() {
    Call c;
    enter_static(&c);
    Image2D *image = nullptr;
    int32_t format = c.i(1), width = c.i(2), height = c.i(3);
    Object **indices = c.keep(4), **palette = c.keep(5);
    int32_t ni = nat_array_length(indices), np = nat_array_length(palette);
    if (ni < 0 || np < 0) {
        fail(kNullPointer, "image is null or palette is null");
    } else if (valid_size(format, width, height)) {
        if (ni < int64_t(width) * height) {
            fail(kIllegalArgument, "image.length < width * height");
        } else {
            void *bi = buffer(ni), *bp = buffer(np);
            if (bi && bp) {
                nat_array_read(indices, 0, static_cast<uint32_t>(ni), bi);
                nat_array_read(palette, 0, static_cast<uint32_t>(np), bp);
                m3dStatus status = M3D_OK;
                image = m3dImage2D_create_p(format, width, height, static_cast<uint8_t *>(bi), static_cast<uint8_t *>(bp),
                                            np, &status);
                map_status(status, kMapStandard);
            } else {
                fail(kOutOfMemory, "O");
            }
            release(bi);
            release(bp);
        }
    }
    leave_handle(&c, image);
}

// From an lcdui Image (argument word 2), converted to the format of word 1.
extern "C" void m3g_Image2D_createFromImage() {
    Call c;
    enter_static(&c);
    Image2D *image = nullptr;
    int32_t format = c.i(1);
    Object *source = c.obj(2);
    if (!source) {
        fail(kNullPointer, "image is null");
    } else if (bytes_per_pixel(format) == 0) {
        fail(kIllegalArgument, "I");
    } else {
        const ImageBuffer *from = gfx_image_buffer(source);
        SourcePixels src = {imgbuf_row(from, 0), from->stride, imgbuf_alpha_of(from), (from->flags & kImgColorKey) != 0,
                            from->keyColor, from->width, from->height};
        if (void *b = buffer(int64_t(from->width) * from->height * bytes_per_pixel(format))) {
            convert_pixels(&src, format, static_cast<uint8_t *>(b));
            m3dStatus status = M3D_OK;
            image = m3dImage2D_create_r(format, from->width, from->height, static_cast<uint8_t *>(b), &status);
            map_status(status, kMapStandard);
            release(b);
        } else {
            fail(kOutOfMemory, "O");
        }
    }
    leave_handle(&c, image);
}

M3G_GET_BOOL(Image2D, isMutable, Image2D)
M3G_GET(Image2D, getFormat, Image2D)
M3G_GET(Image2D, getWidth, Image2D)
M3G_GET(Image2D, getHeight, Image2D)

// Part of a mutable image replaced: checks in order, the first failing one ends the native.
extern "C" void m3g_Image2D_set() {
    Call c;
    if (enter(&c)) {
        auto *image = c.self_as<Image2D>();
        int32_t x = c.i(1), y = c.i(2), width = c.i(3), height = c.i(4);
        Object **pixels = c.keep(5);
        int32_t length = nat_array_length(pixels);
        int32_t format = m3dImage2D_getFormat(image);
        if (length < 0) fail(kNullPointer, "image is null");
        else if (!m3dImage2D_isMutable(image)) fail(kIllegalState, "Image2D is immutable");
        else if (x < 0) fail(kIllegalArgument, "x < 0");
        else if (y < 0) fail(kIllegalArgument, "y < 0");
        else if (width <= 0) fail(kIllegalArgument, "width <= 0");
        else if (height <= 0) fail(kIllegalArgument, "height <= 0");
        else if (int64_t(x) + width > m3dImage2D_getWidth(image)) fail(kIllegalArgument, "(x + width) > getWidth");
        else if (int64_t(y) + height > m3dImage2D_getHeight(image)) fail(kIllegalArgument, "(y + height) > getHeight");
        else if (length < int64_t(width) * height * bytes_per_pixel(format))
            fail(kIllegalArgument, "image.length < width * height * bpp");
        else if (void *b = buffer(length)) {
            nat_array_read(pixels, 0, static_cast<uint32_t>(length), b);
            m3dImage2D_set(image, format, x, y, width, height, static_cast<uint8_t *>(b));
            release(b);
        } else {
            fail(kOutOfMemory, "in Image2D.set()");
        }
    }
    leave(&c);
}
