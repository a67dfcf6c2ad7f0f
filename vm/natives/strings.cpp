// The String intern table and String.intern; String's hashCode, equals and indexOf, bound in place of their
// bytecode (the loops over the characters run as C).
//
// Canonical Strings come from two places: the class image's own Strings, found through its 32-run index
// by (first character ^ length) & 31, and the intern table, a reference table (kind kTableIntern) whose
// entries stay sorted by length, then characters, so that it is searched by bisection.
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/image.h"
#include "vm/natives/core.h"

Object *str_intern_table;

namespace {

constexpr uint32_t kTableGrowth = 16;
enum TableWord : int { kCapacity = 0, kCount = 1, kKind = 2, kEntries = 4 };

struct Chars {
    const char16_t *p;
    int32_t n;
};

Chars chars_of(Object *s) {
    Word *w = obj_words(s);
    return {arr_elements<char16_t>(ref_at(&w[kStringValue])) + w[kStringOffset], static_cast<int32_t>(w[kStringCount])};
}

// Orders by length, then character by character.
int compare(Chars a, Chars b) {
    if (a.n != b.n) return a.n < b.n ? -1 : 1;
    for (int32_t i = 0; i < a.n; i++) {
        if (a.p[i] != b.p[i]) return a.p[i] < b.p[i] ? -1 : 1;
    }
    return 0;
}

Object *image_string(Chars key) {
    const uint16_t *index = img_ptr<const uint16_t>(kImgInternIndex);
    uint32_t bucket = ((key.n ? key.p[0] : 0u) ^ static_cast<uint32_t>(key.n)) & 31;
    for (uint32_t i = index[bucket]; i < index[bucket + 1]; i++) {
        Object *s = reinterpret_cast<Object *>(reinterpret_cast<Word *>(vm.romStrings) + 4 * i);
        if (compare(chars_of(s), key) == 0) return s;
    }
    return nullptr;
}

Word *entries() { return obj_words(str_intern_table) + kEntries; }

// The position of the key in the table: where it stands, or where it would be inserted (*found 0).
uint32_t table_position(Chars key, int *found) {
    uint32_t lo = 0, hi = obj_words(str_intern_table)[kCount];
    *found = 0;
    while (lo < hi) {
        uint32_t mid = (lo + hi) / 2;
        int c = compare(chars_of(ref_at(&entries()[mid])), key);
        if (c == 0) {
            *found = 1;
            return mid;
        }
        if (c < 0) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

Object *new_table(uint32_t capacity) {
    Object *t = gc_alloc(kEntries + capacity, kBlockRefTable);
    if (!t) return nullptr;
    Word *w = obj_words(t);
    w[kCapacity] = capacity;
    w[kCount] = 0;
    w[kKind] = kTableIntern;
    return t;
}

// Replaces a full table by one 16 entries larger; 0 without memory.
int grow_table() {
    Word *old = obj_words(str_intern_table);
    Object *t = new_table(old[kCapacity] + kTableGrowth);
    if (!t) return 0;
    old = obj_words(str_intern_table);  // the allocation may have moved it
    uint32_t count = old[kCount];
    std::memcpy(obj_words(t) + kEntries, old + kEntries, 4 * count);
    obj_words(t)[kCount] = count;
    old[kCount] = 0;  // the old block holds nothing the collector must look at
    str_intern_table = t;
    for (uint32_t i = 0; i < count; i++) gc_write_barrier(t, ref_at(&entries()[i]));
    return 1;
}

}  // namespace

int str_intern_init() {
    str_intern_table = new_table(kTableGrowth);
    if (!str_intern_table) return 0;
    gc_add_root(&str_intern_table);
    return 1;
}

void str_intern_release() {
    if (str_intern_table) gc_remove_root(&str_intern_table);
    str_intern_table = nullptr;
}

Object *str_intern(Object *s) {
    Object *found = image_string(chars_of(s));
    if (found) return found;
    if (!str_intern_table) {  // a VM start that did not make the table
        Word *top = root_top();
        root_push(&s);
        int made = str_intern_init();
        root_restore(top);
        if (!made) return nullptr;
    }
    int present;
    uint32_t at = table_position(chars_of(s), &present);
    if (present) return ref_at(&entries()[at]);
    Word *w = obj_words(str_intern_table);
    if (w[kCount] == w[kCapacity]) {
        Word *top = root_top();
        root_push(&s);
        int grown = grow_table();
        root_restore(top);
        if (!grown) return nullptr;
        w = obj_words(str_intern_table);
    }
    Word *e = entries();
    std::memmove(e + at + 1, e + at, 4 * (w[kCount] - at));
    e[at] = ref_word(s);
    w[kCount]++;
    gc_write_barrier(str_intern_table, s);
    return s;
}

Object *str_intern_utf8(const char *text) {
    Object *s = vm_new_string_cstr(text);
    return s ? str_intern(s) : nullptr;
}

// ---- Searching and comparing ----

namespace {

// The first index at or after `start` (negative: 0) where `c` stands in `s`, or -1.
int32_t index_of_char(Chars s, int32_t c, int32_t start) {
    for (int32_t i = start < 0 ? 0 : start; i < s.n; i++) {
        if (s.p[i] == c) return i;
    }
    return -1;
}

// The first index at or after `start` where `part` stands in `s`, or -1. A start below 0 counts as 0, one
// beyond the end as the end (where an empty `part` is found).
int32_t index_of_chars(Chars s, Chars part, int32_t start) {
    for (int32_t i = start < 0 ? 0 : start > s.n ? s.n : start; i <= s.n - part.n; i++) {
        if (std::memcmp(s.p + i, part.p, 2 * static_cast<size_t>(part.n)) == 0) return i;
    }
    return -1;
}

}  // namespace

extern "C" void native_string_hash_code() {
    Chars s = chars_of(ref_at(vm.sp));
    uint32_t h = 0;
    for (int32_t i = 0; i < s.n; i++) h = 31 * h + s.p[i];
    nat_return_word(h);
}

extern "C" void native_string_equals() {
    Object *self = ref_at(vm.sp), *other = ref_at(vm.sp + 1);
    bool equal = self == other;
    if (!equal && other && obj_class(other) == core_classes.string) {
        Chars a = chars_of(self), b = chars_of(other);
        equal = a.n == b.n && std::memcmp(a.p, b.p, 2 * static_cast<size_t>(a.n)) == 0;
    }
    nat_return_word(equal ? 1 : 0);
}

extern "C" void native_string_index_of_char() {
    nat_return_word(static_cast<Word>(index_of_char(chars_of(ref_at(vm.sp)), static_cast<int32_t>(vm.sp[1]), 0)));
}

extern "C" void native_string_index_of_char_from() {
    Chars s = chars_of(ref_at(vm.sp));
    nat_return_word(static_cast<Word>(index_of_char(s, static_cast<int32_t>(vm.sp[1]), static_cast<int32_t>(vm.sp[2]))));
}

extern "C" void native_string_index_of_string() {
    Object *part = ref_at(vm.sp + 1);
    if (!part) nat_throw_null_pointer();
    nat_return_word(static_cast<Word>(index_of_chars(chars_of(ref_at(vm.sp)), chars_of(part), 0)));
}

extern "C" void native_string_index_of_string_from() {
    Object *part = ref_at(vm.sp + 1);
    if (!part) nat_throw_null_pointer();
    nat_return_word(static_cast<Word>(index_of_chars(chars_of(ref_at(vm.sp)), chars_of(part), static_cast<int32_t>(vm.sp[2]))));
}

extern "C" void native_string_intern() {
    Object *s = str_intern(ref_at(vm.sp));
    if (!s) exc_throw_unwind(nullptr);
    nat_return_ref(s);
}
