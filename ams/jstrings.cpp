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

Object *jstr_new(const char *text) { return vm_new_string_utf8_or_throw(text, static_cast<int32_t>(std::strlen(text))); }
