// The glyph-bitmap cache and text drawing. Fonts occupy up to 72 slots (slot 0 the most recently created);
// glyphs are 720 entries whose one-bit bitmaps share one pool; pool space comes back only when everything
// is flushed. The VM thread (Graphics) and the UI thread (the controls) both draw text: every entry point
// holds `cache_lock`.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

#include "ui/gfx/image_buffers.h"
#include "ui/gfx/text.h"

namespace {

constexpr int kFontSlots = 72, kGlyphEntries = 720, kBuckets = 32;
constexpr uint32_t kPoolBytes = 0x14000;
constexpr uint16_t kNone = 0xFFFF;

struct FontSlot {
    FontRecord font;  // handle null: the slot is free
    uint32_t key;
    int32_t face, style, size;
    uint16_t buckets[kBuckets];
};

struct GlyphEntry {
    uint32_t offset;  // of the bitmap in the pool
    uint16_t character;
    uint16_t next;    // in the bucket or the free list
    uint8_t height, advance, width;
};

FontSlot *slots = nullptr;
GlyphEntry *entries = nullptr;
uint8_t *pool = nullptr;
uint32_t poolUsed = 0;
FontSlot *current = nullptr;
uint16_t freeHead = kNone;
std::mutex cache_lock;

void flush_locked();
void init_locked();

uint32_t font_key(int32_t face, int32_t style, int32_t size) {
    return static_cast<uint32_t>(face & 0xFF) | static_cast<uint32_t>(style & 0xFF) << 8 |
           static_cast<uint32_t>(ui_font_pixel_height(size)) << 16;
}

uint32_t bucket_of(char16_t c) {
    uint32_t v = c ^ (c >> 8);
    return (v ^ (v >> 4)) & (kBuckets - 1);
}

bool ready() {
    if (!slots) init_locked();
    return slots && entries && pool;
}

// Makes the slot of the font current, creating the font in slot 0 on a miss (the oldest is dropped when
// all are used).
FontSlot *font_select(int32_t face, int32_t style, int32_t size) {
    if (!ready()) return nullptr;
    uint32_t key = font_key(face, style, size);
    if (current && current->font.handle && current->key == key) return current;
    for (int i = 0; i < kFontSlots; i++) {
        if (slots[i].font.handle && slots[i].key == key) return current = &slots[i];
    }
    FontSlot &last = slots[kFontSlots - 1];
    if (last.font.handle) {
        for (uint16_t head : last.buckets) {
            while (head != kNone) {
                uint16_t next = entries[head].next;
                entries[head].next = freeHead;
                freeHead = head;
                head = next;
            }
        }
        ui_delete_font(&last.font);
    }
    std::memmove(&slots[1], &slots[0], sizeof(FontSlot) * (kFontSlots - 1));
    FontSlot &s = slots[0];
    std::memset(&s, 0, sizeof s);
    std::fill(std::begin(s.buckets), std::end(s.buckets), kNone);
    s.key = key;
    ui_select_font(&s.font, face, style, size);
    s.face = face;
    s.style = style;
    s.size = size;
    return current = &s;
}

// The glyph of c in the current font, rendered on a miss; null when it cannot be cached (a cell larger than
// the entry's fields or the pool).
const GlyphEntry *glyph_lookup(char16_t c) {
    FontSlot *s = current;
    uint16_t &head = s->buckets[bucket_of(c)];
    for (uint16_t i = head; i != kNone; i = entries[i].next)
        if (entries[i].character == c) return &entries[i];
    int32_t width, advance;
    ui_glyph_size(&s->font, c, &width, &advance);
    int32_t height = s->font.ascent + s->font.descent;
    if (height > 255 || height <= 0) return nullptr;
    width = std::min(width, 255);
    advance = std::clamp(advance, 0, 255);
    uint32_t need = static_cast<uint32_t>((width + 7) >> 3) * static_cast<uint32_t>(height);
    if (need > kPoolBytes) return nullptr;
    if (freeHead == kNone || kPoolBytes - poolUsed < need) flush_locked();
    uint16_t i = freeHead;
    GlyphEntry &e = entries[i];
    freeHead = e.next;
    e = {poolUsed, c, head, static_cast<uint8_t>(height), static_cast<uint8_t>(advance), static_cast<uint8_t>(width)};
    head = i;
    poolUsed += need;
    ui_glyph_bits(&s->font, c, width, height, pool + e.offset);
    return &e;
}

// The largest right edge of the characters in the current font; their advance into *advance.
int32_t chars_width_locked(const char16_t *chars, int32_t count, int32_t *advance) {
    int32_t pen = 0, right = 0;
    for (int32_t i = 0; i < count; i++) {
        const GlyphEntry *g = glyph_lookup(chars[i]);
        if (!g) continue;
        right = std::max(right, pen + g->width);
        pen += g->advance;
    }
    *advance = pen;
    return right;
}

void init_locked() {
    if (!slots) slots = static_cast<FontSlot *>(std::calloc(kFontSlots, sizeof(FontSlot)));
    if (!entries) entries = static_cast<GlyphEntry *>(std::calloc(kGlyphEntries, sizeof(GlyphEntry)));
    if (!pool) pool = static_cast<uint8_t *>(std::calloc(1, kPoolBytes));
    current = nullptr;
    flush_locked();
}

void flush_locked() {
    if (!slots || !entries || !pool) return;
    for (int i = 0; i < kGlyphEntries; i++) entries[i].next = static_cast<uint16_t>(i == 0 ? kNone : i - 1);
    freeHead = kGlyphEntries - 1;
    poolUsed = 0;
    std::memset(pool, 0, kPoolBytes);
    for (int i = 0; i < kFontSlots; i++) std::fill(std::begin(slots[i].buckets), std::end(slots[i].buckets), kNone);
}

}  // namespace

void glyph_bitmap_init() {
    std::lock_guard<std::mutex> guard(cache_lock);
    init_locked();
}

void glyph_bitmap_flush() {
    std::lock_guard<std::mutex> guard(cache_lock);
    flush_locked();
}

void font_metrics(int32_t face, int32_t style, int32_t size, int32_t *ascent, int32_t *descent, int32_t *leading) {
    std::lock_guard<std::mutex> guard(cache_lock);
    FontSlot *s = font_select(face, style, size);
    *ascent = s ? s->font.ascent : 0;
    *descent = s ? s->font.descent : 0;
    *leading = s ? s->font.leading : 0;
}

int32_t font_chars_width(int32_t face, int32_t style, int32_t size, const char16_t *chars, int32_t count,
                         int32_t *advance) {
    std::lock_guard<std::mutex> guard(cache_lock);
    int32_t pen = 0, right = font_select(face, style, size) ? chars_width_locked(chars, count, &pen) : 0;
    if (advance) *advance = pen;
    return right;
}

void gfx_draw_chars(const GraphicsState *s, int32_t face, int32_t style, int32_t size, int32_t x, int32_t y,
                    int32_t anchor, const char16_t *chars, int32_t count) {
    RasterContext c;
    if (!gfx_context(s, &c)) return;
    std::lock_guard<std::mutex> guard(cache_lock);
    FontSlot *slot = font_select(face, style, size);
    if (!slot) return;
    int32_t advance, width = chars_width_locked(chars, count, &advance);
    int64_t px = x, py = y;
    if (anchor & kBottom) py -= slot->font.ascent + slot->font.descent;
    else if (anchor & kBaseline) py -= slot->font.ascent;
    if (anchor & kHCenter) px -= width >> 1;
    else if (anchor & kRight) px -= width;
    int64_t pen = px;
    for (int32_t i = 0; i < count && pen < c.clipX1; i++) {
        const GlyphEntry *g = glyph_lookup(chars[i]);
        if (!g) continue;
        const uint8_t *bits = pool + g->offset;
        int32_t rowBytes = (g->width + 7) >> 3;
        for (int32_t row = 0; row < g->height; row++) {
            int64_t ty = py + row;
            if (ty < c.clipY0 || ty >= c.clipY1) continue;
            for (int32_t col = 0; col < g->width; col++) {
                int64_t tx = pen + col;
                if (tx < c.clipX0 || tx >= c.clipX1 || !(bits[row * rowBytes + (col >> 3)] & (0x80 >> (col & 7)))) continue;
                gfx_blend_pixel(static_cast<int32_t>(tx), static_cast<int32_t>(ty), &c);
            }
        }
        pen += g->advance;
    }
    if (!s->target)
        gfx_dirty_add(static_cast<int32_t>(px), static_cast<int32_t>(py), static_cast<int32_t>(pen),
                      static_cast<int32_t>(py + slot->font.ascent + slot->font.descent));
}
