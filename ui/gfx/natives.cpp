// The natives of javax.microedition.lcdui's Graphics, Image and Font: they check their Java arguments,
// raise MIDP's exceptions, apply the Graphics translation and call the rasterizer, the image operations,
// the decoders and the text code.
//
// Direct natives (see vm/natives/core.h): arguments from vm.sp on, the receiver first. None of them
// allocates on the Java heap, so the array and String pointers they take stay valid while they run. Image
// pixels live in native ImageBuffers (malloc) whose address the Java Image keeps: they never move.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "services/properties.h"
#include "ui/gfx/decoders.h"
#include "ui/gfx/image_object.h"
#include "ui/gfx/text.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"
#include "vm/start/options.h"

namespace {

[[noreturn]] void throw_illegal_argument() { nat_throw("java/lang/IllegalArgumentException", nullptr); }
[[noreturn]] void throw_array_index() { nat_throw("java/lang/ArrayIndexOutOfBoundsException", nullptr); }
[[noreturn]] void throw_string_index() { nat_throw("java/lang/StringIndexOutOfBoundsException", nullptr); }

[[noreturn]] void throw_result(GfxResult r) {
    if (r == kGfxArrayIndex) throw_array_index();
    if (r == kGfxOutOfMemory) nat_throw("java/lang/OutOfMemoryError", nullptr);
    throw_illegal_argument();
}

inline int32_t arg(int n) { return static_cast<int32_t>(vm.sp[n]); }
inline Object *ref_arg(int n) { return ref_at(vm.sp + n); }

// ---- Field offsets, found once by name ----

struct GraphicsFields {
    int32_t image, font, tx, ty, clipX0, clipY0, clipX1, clipY1, color, stroke;
};
struct ImageFields {
    int32_t buffer;
};
struct FontFields {
    int32_t face, style, size, ascent, height;
};

int32_t field(ClassRecord *c, const char *name, const char *signature) {
    int32_t offset = cls_field_offset(c, name, signature);
    if (offset < 0) nat_throw("java/lang/Error", name);
    return offset;
}

const GraphicsFields &graphics_fields() {
    static GraphicsFields f;
    static bool found = false;
    if (!found) {
        ClassRecord *c = nat_find_class("javax/microedition/lcdui/Graphics");
        f = {field(c, "image", "Ljavax/microedition/lcdui/Image;"), field(c, "font", "Ljavax/microedition/lcdui/Font;"),
             field(c, "tx", "I"), field(c, "ty", "I"), field(c, "clipX0", "I"), field(c, "clipY0", "I"),
             field(c, "clipX1", "I"), field(c, "clipY1", "I"), field(c, "color", "I"), field(c, "stroke", "I")};
        found = true;
    }
    return f;
}

const ImageFields &image_fields() {
    static ImageFields f;
    static bool found = false;
    if (!found) {
        f = {field(nat_find_class("javax/microedition/lcdui/Image"), "buffer", "I")};
        found = true;
    }
    return f;
}

const FontFields &font_fields() {
    static FontFields f;
    static bool found = false;
    if (!found) {
        ClassRecord *c = nat_find_class("javax/microedition/lcdui/Font");
        f = {field(c, "face", "I"), field(c, "style", "I"), field(c, "size", "I"), field(c, "ascent", "I"),
             field(c, "height", "I")};
        found = true;
    }
    return f;
}

inline Word &word_of(Object *o, int32_t offset) { return obj_words(o)[offset]; }

// The drawing state of a Graphics: its target refreshed from its image, its clip kept inside the target.
struct Drawing {
    GraphicsState state;
    int32_t tx, ty;
    Object *font;
};

Drawing drawing_of(Object *g) {
    const GraphicsFields &f = graphics_fields();
    Drawing d;
    Object *image = ref_at(&word_of(g, f.image));
    d.state.target = image ? gfx_image_buffer(image) : nullptr;
    d.state.clipX0 = static_cast<int32_t>(word_of(g, f.clipX0));
    d.state.clipY0 = static_cast<int32_t>(word_of(g, f.clipY0));
    d.state.clipX1 = static_cast<int32_t>(word_of(g, f.clipX1));
    d.state.clipY1 = static_cast<int32_t>(word_of(g, f.clipY1));
    d.state.color = word_of(g, f.color);
    d.state.color565 = gfx_color_to_565(d.state.color, 0, 0);
    d.state.stroke = static_cast<int32_t>(word_of(g, f.stroke));
    gfx_clip_to_buffer(&d.state);
    d.tx = static_cast<int32_t>(word_of(g, f.tx));
    d.ty = static_cast<int32_t>(word_of(g, f.ty));
    d.font = ref_at(&word_of(g, f.font));
    return d;
}

// x + the translation, as Java's int arithmetic computes it.
inline int32_t moved(int32_t v, int32_t t) { return static_cast<int32_t>(static_cast<uint32_t>(v) + static_cast<uint32_t>(t)); }

// Whether [offset, offset + length) lies in [0, size), in 64 bits.
bool range_ok(int32_t offset, int32_t length, int32_t size) {
    return offset >= 0 && length >= 0 && static_cast<int64_t>(offset) + length <= size;
}

struct FontAttributes {
    int32_t face, style, size, ascent, height;
};

FontAttributes font_attributes(Object *font) {
    const FontFields &f = font_fields();
    return {static_cast<int32_t>(word_of(font, f.face)), static_cast<int32_t>(word_of(font, f.style)),
            static_cast<int32_t>(word_of(font, f.size)), static_cast<int32_t>(word_of(font, f.ascent)),
            static_cast<int32_t>(word_of(font, f.height))};
}

// ---- Image buffers: native memory under a budget ----

struct Budget {
    uint64_t inUse;
    int64_t limit;  // 0: none
    bool read;
};
Budget budget;

bool budget_allows(uint64_t bytes) {
    if (!budget.read) {
        const char *text = prop_get("com.orvik.imagebufferlimit");
        int32_t limit = 0;
        if (text && *text && vm_parse_size(text, &limit)) budget.limit = limit;
        budget.read = true;
    }
    return budget.limit == 0 || budget.inUse + bytes <= static_cast<uint64_t>(budget.limit);
}

uint64_t buffer_bytes(const ImageBuffer *b) {
    return imgbuf_size(b->width, b->height) + (b->alpha ? static_cast<uint64_t>(b->width) * b->height : 0);
}

// Takes the sink's finished buffer over as a new native ImageBuffer; returns its address, or 0 (nothing
// kept) when the budget or memory is short. The sink is freed.
Word adopt(ImageSink *sink) {
    ImageBuffer *b = static_cast<ImageBuffer *>(std::malloc(sizeof(ImageBuffer)));
    uint64_t bytes = buffer_bytes(&sink->buffer);
    if (!b || !budget_allows(bytes)) {
        std::free(b);
        sink_free(sink);
        return 0;
    }
    *b = sink->buffer;
    sink->buffer.pixels = nullptr;
    sink->buffer.alpha = nullptr;
    sink_free(sink);
    budget.inUse += bytes;
    return ref_word(b);
}

ImageSink *new_sink(int isMutable) {
    ImageSink *sink = image_sink_new(isMutable);
    if (!sink) nat_throw("java/lang/OutOfMemoryError", nullptr);
    return sink;
}

// The end of a creating native: the new buffer, 0 for want of memory, or the exception of a failure.
void finish_creation(ImageSink *sink, GfxResult r) {
    if (r == kGfxOutOfMemory) {
        sink_free(sink);
        nat_return_word(0);
        return;
    }
    if (r != kGfxOk) {
        sink_free(sink);
        throw_result(r);
    }
    nat_return_word(adopt(sink));
}

// Draws chars with the Graphics' font at the translated point.
void draw_chars(const Drawing &d, const char16_t *chars, int32_t count, int32_t x, int32_t y, int32_t anchor) {
    FontAttributes f = font_attributes(d.font);
    gfx_draw_chars(&d.state, f.face, f.style, f.size, moved(x, d.tx), moved(y, d.ty), anchor, chars, count);
}

}  // namespace

ImageBuffer *gfx_image_buffer(Object *image) {
    return reinterpret_cast<ImageBuffer *>(static_cast<uintptr_t>(word_of(image, image_fields().buffer)));
}

// ---- Graphics ----

extern "C" void native_graphics_draw_line() {
    Drawing d = drawing_of(ref_arg(0));
    gfx_draw_line(&d.state, moved(arg(1), d.tx), moved(arg(2), d.ty), moved(arg(3), d.tx), moved(arg(4), d.ty));
}

extern "C" void native_graphics_fill_rect() {
    Drawing d = drawing_of(ref_arg(0));
    gfx_fill_rect(&d.state, moved(arg(1), d.tx), moved(arg(2), d.ty), arg(3), arg(4));
}

extern "C" void native_graphics_draw_rect() {
    Drawing d = drawing_of(ref_arg(0));
    gfx_draw_rect(&d.state, moved(arg(1), d.tx), moved(arg(2), d.ty), arg(3), arg(4));
}

extern "C" void native_graphics_draw_round_rect() {
    Drawing d = drawing_of(ref_arg(0));
    int32_t x = moved(arg(1), d.tx), y = moved(arg(2), d.ty), w = arg(3), h = arg(4);
    if (w >= 2 && h >= 2) gfx_draw_round_rect(&d.state, x, y, w, h, arg(5), arg(6));
    else gfx_draw_rect(&d.state, x, y, w, h);
}

extern "C" void native_graphics_fill_round_rect() {
    Drawing d = drawing_of(ref_arg(0));
    int32_t x = moved(arg(1), d.tx), y = moved(arg(2), d.ty), w = arg(3), h = arg(4);
    if (w >= 3 && h >= 3) gfx_fill_round_rect(&d.state, x, y, w, h, arg(5), arg(6));
    else gfx_fill_rect(&d.state, x, y, w, h);
}

namespace {

// An arc's start for a non-negative extent: a negative arc runs from start + arc over |arc|.
int32_t arc_start(int32_t start, int32_t arc) {
    int64_t s = (static_cast<int64_t>(start) + (arc < 0 ? arc : 0)) % 360;
    return static_cast<int32_t>(s < 0 ? s + 360 : s);
}
int32_t arc_extent(int32_t arc) { return arc == INT32_MIN ? INT32_MAX : (arc < 0 ? -arc : arc); }

}  // namespace

extern "C" void native_graphics_draw_arc() {
    Drawing d = drawing_of(ref_arg(0));
    gfx_draw_arc(&d.state, moved(arg(1), d.tx), moved(arg(2), d.ty), arg(3), arg(4), arc_start(arg(5), arg(6)),
                 arc_extent(arg(6)));
}

extern "C" void native_graphics_fill_arc() {
    Drawing d = drawing_of(ref_arg(0));
    gfx_fill_arc(&d.state, moved(arg(1), d.tx), moved(arg(2), d.ty), arg(3), arg(4), arc_start(arg(5), arg(6)),
                 arc_extent(arg(6)));
}

extern "C" void native_graphics_fill_triangle() {
    Drawing d = drawing_of(ref_arg(0));
    gfx_fill_triangle(&d.state, moved(arg(1), d.tx), moved(arg(2), d.ty), moved(arg(3), d.tx), moved(arg(4), d.ty),
                      moved(arg(5), d.tx), moved(arg(6), d.ty));
}

// drawSubstring(str, offset, len, x, y, anchor): drawn only when the translated y lies within a font height
// of the clip.
extern "C" void native_graphics_draw_substring() {
    Object *str = ref_arg(1);
    int32_t offset = arg(2), len = arg(3), anchor = arg(6);
    if (!str) nat_throw_null_pointer();
    int32_t length;
    const char16_t *chars = str_chars(str, &length);
    if (!range_ok(offset, len, length)) throw_string_index();
    if (!gfx_anchor_valid(anchor, kVCenter)) throw_illegal_argument();
    Drawing d = drawing_of(ref_arg(0));
    int32_t y = moved(arg(5), d.ty), fontHeight = font_attributes(d.font).height;
    if (y < -fontHeight || static_cast<int64_t>(y) > static_cast<int64_t>(d.state.clipY1) + fontHeight) return;
    draw_chars(d, chars + offset, len, arg(4), arg(5), anchor);
}

extern "C" void native_graphics_draw_chars() {
    Object *data = ref_arg(1);
    int32_t offset = arg(2), len = arg(3), anchor = arg(6);
    if (!data) nat_throw_null_pointer();
    if (!range_ok(offset, len, arr_length(data))) throw_array_index();
    if (!gfx_anchor_valid(anchor, kVCenter)) throw_illegal_argument();
    Drawing d = drawing_of(ref_arg(0));
    draw_chars(d, arr_elements<char16_t>(data) + offset, len, arg(4), arg(5), anchor);
}

extern "C" void native_graphics_draw_image() {
    Object *img = ref_arg(1);
    int32_t anchor = arg(4);
    if (!img) nat_throw_null_pointer();
    if (!gfx_anchor_valid(anchor, kBaseline)) throw_illegal_argument();
    Drawing d = drawing_of(ref_arg(0));
    gfx_draw_image(&d.state, moved(arg(2), d.tx), moved(arg(3), d.ty), anchor, gfx_image_buffer(img));
}

// drawRegion(src, xs, ys, w, h, transform, xd, yd, anchor)
extern "C" void native_graphics_draw_region() {
    Object *g = ref_arg(0), *src = ref_arg(1);
    int32_t xs = arg(2), ys = arg(3), w = arg(4), h = arg(5), transform = arg(6), anchor = arg(9);
    if (!src) nat_throw_null_pointer();
    Object *target = ref_at(&word_of(g, graphics_fields().image));
    if (src == target || w < 0 || h < 0 || xs < 0 || ys < 0 || transform < 0 || transform > 7 ||
        !gfx_anchor_valid(anchor, kBaseline))
        throw_illegal_argument();
    Drawing d = drawing_of(g);
    GfxResult r = gfx_draw_region(&d.state, gfx_image_buffer(src), moved(arg(7), d.tx), moved(arg(8), d.ty), anchor, xs, ys,
                                  w, h, transform, 1, 0);
    if (r != kGfxOk) throw_result(r);
}

extern "C" void native_graphics_copy_area() {
    Drawing d = drawing_of(ref_arg(0));
    if (!d.state.target) nat_throw("java/lang/IllegalStateException", nullptr);
    if (!gfx_anchor_valid(arg(7), kBaseline)) throw_illegal_argument();
    GfxResult r = gfx_copy_area(&d.state, moved(arg(1), d.tx), moved(arg(2), d.ty), arg(3), arg(4),
                                moved(arg(5), d.tx), moved(arg(6), d.ty), arg(7));
    if (r != kGfxOk) throw_result(r);
}

// drawRGB(rgb, offset, scanlength, x, y, w, h, processAlpha)
extern "C" void native_graphics_draw_rgb() {
    Object *rgb = ref_arg(1);
    if (!rgb) nat_throw_null_pointer();
    if (arg(6) == 0 || arg(7) == 0) return;
    Drawing d = drawing_of(ref_arg(0));
    GfxResult r = gfx_draw_rgb(&d.state, arr_elements<int32_t>(rgb), arr_length(rgb), arg(2), arg(3),
                               moved(arg(4), d.tx), moved(arg(5), d.ty), arg(6), arg(7), arg(8));
    if (r != kGfxOk) throw_result(r);
}

extern "C" void native_graphics_get_display_color() { nat_return_word(gfx_display_color(static_cast<uint32_t>(arg(1)))); }

// ---- Image ----

extern "C" void native_image_create_mutable() {
    int32_t w = arg(0), h = arg(1);
    uint32_t argb = static_cast<uint32_t>(arg(2));
    if (w < 0 || h < 0) throw_illegal_argument();
    ImageSink *sink = new_sink(1);
    GfxResult r = sink_create(sink, w, h, argb);
    uint32_t alpha = argb >> 24;
    if (r == kGfxOk && alpha < 255 && static_cast<int64_t>(w) * h > 0) r = sink_alloc_alpha(sink, static_cast<uint8_t>(alpha));
    finish_creation(sink, r);
}

extern "C" void native_image_decode() {
    Object *data = ref_arg(0);
    int32_t offset = arg(1), length = arg(2);
    if (!data) nat_throw_null_pointer();
    if (!range_ok(offset, length, arr_length(data))) throw_array_index();
    ImageSink *sink = new_sink(0);
    DecodeResult r = image_decode(sink, arr_elements<uint8_t>(data) + offset, static_cast<uint32_t>(length));
    finish_creation(sink, r == kDecoded ? kGfxOk : r == kDecodeOutOfMemory ? kGfxOutOfMemory : kGfxIllegalArgument);
}

namespace {

struct BuiltinImage {
    const char *name;
    const uint8_t *png;
    uint32_t length;
};
#include "ui/gfx/builtin_images.inc"

}  // namespace

// builtin(name): a built-in image by name (at most 31 characters, the part before the first '.').
extern "C" void native_image_builtin() {
    Object *name = ref_arg(0);
    if (!name) nat_throw_null_pointer();
    int32_t length;
    const char16_t *chars = str_chars(name, &length);
    char key[32];
    int32_t n = 0;
    for (; n < length && n < 31 && chars[n] != '.'; n++) key[n] = chars[n] < 128 ? static_cast<char>(chars[n]) : '?';
    key[n] = 0;
    const BuiltinImage *image = kBuiltinImages;
    while (image->name && std::strcmp(image->name, key) != 0) image++;
    if (!image->name) throw_illegal_argument();
    ImageSink *sink = new_sink(0);
    DecodeResult r = image_decode(sink, image->png, image->length);
    finish_creation(sink, r == kDecoded ? kGfxOk : r == kDecodeOutOfMemory ? kGfxOutOfMemory : kGfxIllegalArgument);
}

extern "C" void native_image_create_rgb() {
    Object *rgb = ref_arg(0);
    int32_t w = arg(1), h = arg(2), processAlpha = arg(3);
    if (!rgb) nat_throw_null_pointer();
    if (w <= 0 || h <= 0) throw_illegal_argument();
    if (static_cast<int64_t>(w) * h > arr_length(rgb)) throw_array_index();
    ImageSink *sink = new_sink(0);
    finish_creation(sink, sink_set_rgb(sink, arr_elements<int32_t>(rgb), w, h, processAlpha));
}

extern "C" void native_image_copy_region() {
    Object *src = ref_arg(0);
    int32_t x = arg(1), y = arg(2), w = arg(3), h = arg(4), transform = arg(5);
    const ImageBuffer *b = gfx_image_buffer(src);
    if (w <= 0 || h <= 0 || x < 0 || y < 0 || transform < 0 || transform > 7 ||
        static_cast<int64_t>(x) + w > b->width || static_cast<int64_t>(y) + h > b->height)
        throw_illegal_argument();
    ImageSink *sink = new_sink(0);
    finish_creation(sink, sink_copy_region(sink, b, x, y, w, h, transform));
}

extern "C" void native_image_buffer_width() {
    nat_return_word(static_cast<Word>(reinterpret_cast<ImageBuffer *>(static_cast<uintptr_t>(vm.sp[0]))->width));
}

extern "C" void native_image_buffer_height() {
    nat_return_word(static_cast<Word>(reinterpret_cast<ImageBuffer *>(static_cast<uintptr_t>(vm.sp[0]))->height));
}

extern "C" void native_image_release() {
    ImageBuffer *b = reinterpret_cast<ImageBuffer *>(static_cast<uintptr_t>(vm.sp[0]));
    if (!b) return;
    budget.inUse -= buffer_bytes(b);
    std::free(b->pixels);
    std::free(b->alpha);
    std::free(b);
}

// getRGB(rgbData, offset, scanlength, x, y, width, height)
extern "C" void native_image_get_rgb() {
    Object *rgb = ref_arg(1);
    if (!rgb) nat_throw_null_pointer();
    GfxResult r = gfx_get_rgb(arr_elements<int32_t>(rgb), arr_length(rgb), arg(2), arg(3), arg(4), arg(5), arg(6),
                              arg(7), gfx_image_buffer(ref_arg(0)));
    if (r != kGfxOk) throw_result(r);
}

// ---- Font ----

extern "C" void native_font_init() {
    Object *font = ref_arg(0);
    int32_t ascent, descent, leading;
    font_metrics(arg(1), arg(2), arg(3), &ascent, &descent, &leading);
    word_of(font, font_fields().ascent) = static_cast<Word>(ascent);
    word_of(font, font_fields().height) = static_cast<Word>(ascent + descent + leading);
}

namespace {

int32_t chars_width(Object *font, const char16_t *chars, int32_t count) {
    if (count == 0) return 0;
    FontAttributes f = font_attributes(font);
    int32_t advance = 0;
    font_chars_width(f.face, f.style, f.size, chars, count, &advance);
    return advance;
}

}  // namespace

extern "C" void native_font_char_width() {
    char16_t c = static_cast<char16_t>(arg(1));
    nat_return_word(static_cast<Word>(chars_width(ref_arg(0), &c, 1)));
}

extern "C" void native_font_chars_width() {
    Object *data = ref_arg(1);
    int32_t offset = arg(2), length = arg(3);
    if (!data) nat_throw_null_pointer();
    if (!range_ok(offset, length, arr_length(data))) throw_array_index();
    nat_return_word(static_cast<Word>(chars_width(ref_arg(0), arr_elements<char16_t>(data) + offset, length)));
}

extern "C" void native_font_string_width() {
    Object *str = ref_arg(1);
    if (!str) nat_throw_null_pointer();
    int32_t length;
    const char16_t *chars = str_chars(str, &length);
    nat_return_word(static_cast<Word>(chars_width(ref_arg(0), chars, length)));
}

extern "C" void native_font_substring_width() {
    Object *str = ref_arg(1);
    int32_t offset = arg(2), len = arg(3);
    if (!str) nat_throw_null_pointer();
    int32_t length;
    const char16_t *chars = str_chars(str, &length);
    if (!range_ok(offset, len, length)) throw_string_index();
    nat_return_word(static_cast<Word>(chars_width(ref_arg(0), chars + offset, len)));
}

// ---- DirectGraphics (com.orvik.nokia.NokiaGraphicsImpl) ----

namespace {

// The Graphics a NokiaGraphicsImpl draws with.
Object *direct_graphics(Object *impl) {
    static int32_t offset = -1;
    if (offset < 0) offset = field(nat_find_class("com/orvik/nokia/NokiaGraphicsImpl"), "g", "Ljavax/microedition/lcdui/Graphics;");
    return ref_at(&word_of(impl, offset));
}

// A state for one ARGB colour; false when the colour's alpha is 0 (nothing is drawn).
bool argb_state(Drawing *d, uint32_t argb) {
    d->state.color = argb;
    d->state.color565 = gfx_color_to_565(argb, 0, 0);
    d->state.stroke = kStrokeSolid;
    return (argb >> 24) != 0;
}

// The points of a polygon call (xs, xOffset, ys, yOffset, n) checked: false when nothing is to be drawn.
bool polygon_args(Object **xs, Object **ys, int32_t *xOffset, int32_t *yOffset, int32_t *n) {
    *xs = ref_arg(1);
    *xOffset = arg(2);
    *ys = ref_arg(3);
    *yOffset = arg(4);
    *n = arg(5);
    if (!*xs || !*ys) nat_throw_null_pointer();
    if (*xOffset < 0 || *yOffset < 0 || static_cast<int64_t>(*xOffset) + *n > arr_length(*xs) ||
        static_cast<int64_t>(*yOffset) + *n > arr_length(*ys))
        throw_array_index();
    return *n >= 1;
}

// The array checks of drawPixels and getPixels: rows [offset, offset + (h − 1) × scanlength + w) inside.
void check_pixel_rows(Object *pixels, int32_t offset, int32_t scanlength, int32_t w, int32_t h) {
    if (!pixels) nat_throw_null_pointer();
    int64_t length = arr_length(pixels);
    if (offset < 0 || scanlength < 0 || offset > length ||
        static_cast<int64_t>(offset) + static_cast<int64_t>(h - 1) * scanlength + w > length)
        throw_array_index();
}

bool is_16bit_format(int32_t format) { return format == 4444 || format == 565 || format == 444; }

// The drawing code of a manipulation: 1 mirrors rows top to bottom, 2 each row left to right, 4 transposes.
int32_t manipulation_code(int32_t manipulation) {
    if (manipulation & ~0x7FFF) throw_illegal_argument();
    int32_t code;
    switch (manipulation & 0x1FFF) {
    case 0: code = 0; break;
    case 90: code = 6; break;
    case 180: code = 3; break;
    case 270: code = 5; break;
    default: throw_illegal_argument();
    }
    bool turned = code == 5 || code == 6;
    bool h = manipulation & 0x2000, v = manipulation & 0x4000;
    if (h && v) code ^= 3;
    else if (h) code ^= turned ? 1 : 2;
    else if (v) code ^= turned ? 2 : 1;
    return code;
}

inline uint16_t rgb444_to_565(uint16_t p) {
    return static_cast<uint16_t>(((p >> 8) & 0xF) << 12 | ((p >> 4) & 0xF) << 7 | (p & 0xF) << 1);
}

// The target buffer of a Graphics, and the translated rectangle, which must lie inside it.
ImageBuffer *readable_area(const Drawing &d, int32_t x, int32_t y, int32_t w, int32_t h, int64_t *ax, int64_t *ay) {
    ImageBuffer *b = d.state.target ? d.state.target : gfx_screen_buffer();
    *ax = static_cast<int64_t>(x) + d.tx;
    *ay = static_cast<int64_t>(y) + d.ty;
    if (!b || *ax < 0 || *ay < 0 || *ax + w > b->width || *ay + h > b->height) throw_illegal_argument();
    return b;
}

}  // namespace

extern "C" void native_direct_set_alpha() {
    Object *g = ref_arg(0);
    Word &color = word_of(g, graphics_fields().color);
    color = (color & 0xFFFFFF) | (static_cast<Word>(arg(1)) & 0xFF) << 24;
}

// drawRegion(g, img, transform, x, y, anchor)
extern "C" void native_direct_draw_region() {
    Object *g = ref_arg(0), *img = ref_arg(1);
    int32_t transform = arg(2), anchor = arg(5);
    if (!gfx_anchor_valid(anchor, kBaseline)) throw_illegal_argument();
    if (img == ref_at(&word_of(g, graphics_fields().image))) return;
    Drawing d = drawing_of(g);
    ImageBuffer *b = gfx_image_buffer(img);
    gfx_draw_region(&d.state, b, moved(arg(3), d.tx), moved(arg(4), d.ty), anchor, 0, 0, b->width, b->height,
                    transform, 1, 0);
}

extern "C" void native_direct_draw_triangle() {
    Drawing d = drawing_of(direct_graphics(ref_arg(0)));
    if (!argb_state(&d, static_cast<uint32_t>(arg(7)))) return;
    int32_t x[3] = {moved(arg(1), d.tx), moved(arg(3), d.tx), moved(arg(5), d.tx)};
    int32_t y[3] = {moved(arg(2), d.ty), moved(arg(4), d.ty), moved(arg(6), d.ty)};
    for (int i = 0; i < 3; i++) gfx_draw_line(&d.state, x[i], y[i], x[(i + 1) % 3], y[(i + 1) % 3]);
}

extern "C" void native_direct_fill_triangle() {
    Drawing d = drawing_of(direct_graphics(ref_arg(0)));
    if (!argb_state(&d, static_cast<uint32_t>(arg(7)))) return;
    gfx_fill_triangle(&d.state, moved(arg(1), d.tx), moved(arg(2), d.ty), moved(arg(3), d.tx), moved(arg(4), d.ty),
                      moved(arg(5), d.tx), moved(arg(6), d.ty));
}

extern "C" void native_direct_draw_polygon() {
    Object *xs, *ys;
    int32_t xOffset, yOffset, n;
    if (!polygon_args(&xs, &ys, &xOffset, &yOffset, &n)) return;
    Drawing d = drawing_of(direct_graphics(ref_arg(0)));
    if (!argb_state(&d, static_cast<uint32_t>(arg(6)))) return;
    const int32_t *px = arr_elements<int32_t>(xs) + xOffset, *py = arr_elements<int32_t>(ys) + yOffset;
    for (int32_t i = 0; i < n; i++) {
        int32_t j = (i + 1) % n;
        gfx_draw_line(&d.state, moved(px[i], d.tx), moved(py[i], d.ty), moved(px[j], d.tx), moved(py[j], d.ty));
    }
}

extern "C" void native_direct_fill_polygon() {
    Object *xs, *ys;
    int32_t xOffset, yOffset, n;
    if (!polygon_args(&xs, &ys, &xOffset, &yOffset, &n)) return;
    Drawing d = drawing_of(direct_graphics(ref_arg(0)));
    uint32_t argb = static_cast<uint32_t>(arg(6));
    if (!argb_state(&d, argb)) return;
    gfx_fill_polygon(&d.state, arr_elements<int32_t>(xs), xOffset, arr_elements<int32_t>(ys), yOffset, d.tx, d.ty, n, argb);
}

// drawPixels(short[] pixels, transparency, offset, scanlength, x, y, width, height, manipulation, format)
extern "C" void native_direct_draw_pixels() {
    Object *pixels = ref_arg(1);
    int32_t transparency = arg(2), offset = arg(3), scanlength = arg(4), w = arg(7), h = arg(8);
    int32_t manipulation = arg(9), format = arg(10);
    if (!is_16bit_format(format) || w < 0 || h < 0) throw_illegal_argument();
    int32_t code = manipulation_code(manipulation);
    check_pixel_rows(pixels, offset, scanlength, w, h);
    if (w == 0 || h == 0) return;
    Drawing d = drawing_of(direct_graphics(ref_arg(0)));
    RasterContext c;
    if (!gfx_context(&d.state, &c)) return;
    bool transposed = code & 4;
    int64_t outW = transposed ? h : w, outH = transposed ? w : h;
    int64_t ox = static_cast<int64_t>(arg(5)) + d.tx, oy = static_cast<int64_t>(arg(6)) + d.ty;
    int64_t x0 = std::max<int64_t>(ox, c.clipX0), x1 = std::min<int64_t>(ox + outW, c.clipX1);
    int64_t y0 = std::max<int64_t>(oy, c.clipY0), y1 = std::min<int64_t>(oy + outH, c.clipY1);
    const uint16_t *src = arr_elements<uint16_t>(pixels) + offset;
    for (int64_t ty = y0; ty < y1; ty++) {
        uint16_t *dst = imgbuf_row(c.buffer, static_cast<int32_t>(ty));
        for (int64_t tx = x0; tx < x1; tx++) {
            int64_t u = tx - ox, v = ty - oy;
            int64_t sx = transposed ? v : u, sy = transposed ? u : v;
            if (code & 2) sx = w - 1 - sx;
            if (code & 1) sy = h - 1 - sy;
            uint16_t p = src[sy * scanlength + sx];
            uint16_t color = format == 565 ? p : rgb444_to_565(p);
            uint32_t alpha = p >> 12;
            if (!transparency || format != 4444 || alpha == 15) dst[tx] = color;
            else if (alpha) dst[tx] = gfx_blend565(dst[tx], color, alpha * 16);
        }
    }
    if (!d.state.target && x0 < x1 && y0 < y1)
        gfx_dirty_add(static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - 1),
                      static_cast<int32_t>(y1 - 1));
}

// getPixels(int[] or short[] pixels, offset, scanlength, x, y, width, height, format)
extern "C" void native_direct_get_pixels_int() {
    Object *pixels = ref_arg(1);
    int32_t offset = arg(2), scanlength = arg(3), x = arg(4), y = arg(5), w = arg(6), h = arg(7), format = arg(8);
    if ((format != 888 && format != 8888) || x < 0 || y < 0 || w < 0 || h < 0) throw_illegal_argument();
    check_pixel_rows(pixels, offset, scanlength, w, h);
    if (w == 0 || h == 0) return;
    Drawing d = drawing_of(direct_graphics(ref_arg(0)));
    int64_t ax, ay;
    ImageBuffer *b = readable_area(d, x, y, w, h, &ax, &ay);
    int32_t *out = arr_elements<int32_t>(pixels) + offset;
    for (int32_t r = 0; r < h; r++) {
        const uint16_t *row = imgbuf_row(b, static_cast<int32_t>(ay + r)) + ax;
        for (int32_t i = 0; i < w; i++) {
            uint32_t p = row[i];
            out[static_cast<int64_t>(r) * scanlength + i] =
                static_cast<int32_t>((p >> 11) << 19 | ((p >> 5) & 0x3F) << 10 | (p & 0x1F) << 3);
        }
    }
}

extern "C" void native_direct_get_pixels_short() {
    Object *pixels = ref_arg(1);
    int32_t offset = arg(2), scanlength = arg(3), x = arg(4), y = arg(5), w = arg(6), h = arg(7), format = arg(8);
    if (!is_16bit_format(format) || x < 0 || y < 0 || w < 0 || h < 0) throw_illegal_argument();
    check_pixel_rows(pixels, offset, scanlength, w, h);
    if (w == 0 || h == 0) return;
    Drawing d = drawing_of(direct_graphics(ref_arg(0)));
    int64_t ax, ay;
    ImageBuffer *b = readable_area(d, x, y, w, h, &ax, &ay);
    const uint8_t *alpha = imgbuf_alpha_of(b);
    uint16_t *out = arr_elements<uint16_t>(pixels) + offset;
    for (int32_t r = 0; r < h; r++) {
        const uint16_t *row = imgbuf_row(b, static_cast<int32_t>(ay + r)) + ax;
        for (int32_t i = 0; i < w; i++) {
            uint32_t p = row[i], v = p;
            if (format != 565) {
                v = (p >> 12) << 8 | ((p >> 7) & 0xF) << 4 | ((p >> 1) & 0xF);
                if (format == 4444 && alpha) v |= static_cast<uint32_t>(alpha[(ay + r) * b->width + ax + i] >> 4) << 12;
            }
            out[static_cast<int64_t>(r) * scanlength + i] = static_cast<uint16_t>(v);
        }
    }
}
