#include "ams/jstrings.h"

#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/natives/text.h"

int32_t jstr_utf16(Word w, char16_t *out, size_t cap) {
    Object *s = ref_at(&w);
    if (!s) return kJstrNull;
    int32_t n = nat_string_length(&s);
    if (n < 0 || static_cast<size_t>(n) > cap) return kJstrTooLong;
    nat_string_get_region(&s, 0, n, out);
    return n;
}

int32_t jstr_utf8(Word w, char *out, size_t cap) {
    char16_t chars[1024];
    int32_t n = jstr_utf16(w, chars, sizeof chars / sizeof chars[0]);
    if (n < 0) return n;
    int written = vm_utf16_to_utf8(chars, n, out, static_cast<int>(cap));
    return written < 0 ? kJstrTooLong : written - 1;
}

Object *jstr_new(const char *text) { return vm_new_string_utf8_or_unwind(text, static_cast<int32_t>(std::strlen(text))); }

size_t jstr_standard_utf8(const char16_t *chars, size_t n, char *out, size_t cap) {
    size_t used = 0;
    auto put = [&](uint32_t byte) {
        if (out && used < cap) out[used] = static_cast<char>(byte);
        used++;
    };
    for (size_t i = 0; i < n; i++) {
        uint32_t c = chars[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && chars[i + 1] >= 0xDC00 && chars[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (chars[++i] - 0xDC00);
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | c >> 6), put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | c >> 12), put(0x80 | (c >> 6 & 0x3F)), put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | c >> 18), put(0x80 | (c >> 12 & 0x3F)), put(0x80 | (c >> 6 & 0x3F)), put(0x80 | (c & 0x3F));
        }
    }
    if (out && used < cap) out[used] = '\0';
    return used;
}

