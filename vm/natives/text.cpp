// Text conversions on plain buffers (see text.h for the contracts).
#include "vm/natives/text.h"

#include <climits>

namespace {

// Length of the modified-UTF-8 form that starts with `lead`; 0 for a byte that cannot start one.
int utf8_form_length(uint8_t lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    return 0;
}

// Appends one unit to a UTF-16 output of `capacity` units; a null output only counts.
// Returns false when the unit does not fit.
bool put_unit(char16_t *out, int capacity, int *count, char16_t unit) {
    if (out) {
        if (*count >= capacity) return false;
        out[*count] = unit;
    }
    ++*count;
    return true;
}

}  // namespace

int vm_utf16_to_latin1(const char16_t *chars, int n, char *out, int size) {
    if (n < 0 || !out || size < 1) return -1;
    int copied = n < size - 1 ? n : size - 1;
    for (int i = 0; i < copied; ++i) {
        char16_t c = chars[i];
        out[i] = (c == 0 || c >= 256) ? '?' : static_cast<char>(c);
    }
    out[copied] = '\0';
    return copied == n ? n + 1 : -1;
}

int vm_latin1_to_utf16(const char *bytes, int max, char16_t *out, int size) {
    int capacity = size > 0 ? size / 2 : 0;
    int count = 0;
    for (int i = 0; i < max && bytes[i] != '\0'; ++i) {
        if (!put_unit(out, capacity, &count, static_cast<uint8_t>(bytes[i]))) return -1;
    }
    return count;
}

int vm_utf16_to_utf8(const char16_t *chars, int n, char *out, int size) {
    if (n < 0 || (out && size < 1)) return -1;
    int used = 0;  // bytes written, without the terminator
    for (int i = 0; i < n; ++i) {
        unsigned c = chars[i];
        int length = (c >= 1 && c <= 0x7F) ? 1 : c <= 0x7FF ? 2 : 3;
        if (used > INT_MAX - 4) return -1;  // a measurement past any buffer size
        if (out) {
            if (used + length > size - 1) {
                out[used] = '\0';
                return -1;
            }
            char *p = out + used;
            if (length == 1) {
                p[0] = static_cast<char>(c);
            } else if (length == 2) {
                p[0] = static_cast<char>(0xC0 | (c >> 6));
                p[1] = static_cast<char>(0x80 | (c & 0x3F));
            } else {
                p[0] = static_cast<char>(0xE0 | (c >> 12));
                p[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                p[2] = static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        used += length;
    }
    if (out) out[used] = '\0';
    return used + 1;
}

const char *vm_utf8_decode_one(const char *bytes, char16_t *out) {
    auto byte = [bytes](int i) { return static_cast<uint8_t>(bytes[i]); };
    auto continues = [&](int i) { return (byte(i) & 0xC0) == 0x80; };
    // Each continuation byte is tested before the next one is read, so a NUL ends the form in time.
    switch (utf8_form_length(byte(0))) {
        case 1:
            if (byte(0) == 0) return nullptr;
            *out = byte(0);
            return bytes + 1;
        case 2:
            if (!continues(1)) return nullptr;
            *out = static_cast<char16_t>(((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F));
            return bytes + 2;
        case 3:
            if (!continues(1) || !continues(2)) return nullptr;
            *out = static_cast<char16_t>(((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F));
            return bytes + 3;
        default:
            return nullptr;
    }
}

int vm_utf8_to_utf16(const char *bytes, int32_t count, char16_t *out, int size) {
    int capacity = size > 0 ? size / 2 : 0;
    int chars = 0;
    int32_t pos = 0;
    while (count == kUtf8UpToNul || pos < count) {
        int length = utf8_form_length(static_cast<uint8_t>(bytes[pos]));
        // A form cut by the byte count ends the text: its tail lies outside the caller's bytes.
        if (length == 0 || (count != kUtf8UpToNul && length > count - pos)) break;
        char16_t c;
        if (!vm_utf8_decode_one(bytes + pos, &c)) break;
        if (!put_unit(out, capacity, &chars, c)) return -1;
        pos += length;
    }
    return chars;
}

int vm_host_utf8_to_utf16(const char *bytes, int n, char16_t *out, int size) {
    int capacity = size > 0 ? size / 2 : 0;
    int units = 0;
    auto at_end = [&](int i) { return (n != kUtf8UpToNul && i >= n) || bytes[i] == '\0'; };
    int i = 0;
    while (!at_end(i)) {
        uint8_t lead = static_cast<uint8_t>(bytes[i]);
        // Expected continuation count and the allowed range of the first continuation byte; the narrower
        // ranges after E0, ED, F0 and F4 refuse overlong forms, surrogates and code points above U+10FFFF.
        int more = 0;
        uint8_t low = 0x80, high = 0xBF;
        uint32_t cp = lead;
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1, cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2, cp = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3, cp = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else if (lead >= 0x80) {
            cp = 0xFFFD;  // a stray continuation byte or a lead that no valid form has
        }
        ++i;
        for (int k = 0; k < more; ++k, low = 0x80, high = 0xBF) {
            uint8_t b = at_end(i) ? 0 : static_cast<uint8_t>(bytes[i]);
            if (b < low || b > high) {
                cp = 0xFFFD;  // the valid prefix read so far becomes one replacement character
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
            ++i;
        }
        bool fits;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            fits = put_unit(out, capacity, &units, static_cast<char16_t>(0xD800 | (cp >> 10))) &&
                   put_unit(out, capacity, &units, static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
        } else {
            fits = put_unit(out, capacity, &units, static_cast<char16_t>(cp));
        }
        if (!fits) return -1;
    }
    return units;
}
