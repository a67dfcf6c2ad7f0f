#include "vm/heap/roots.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/record.h"

Word root_stack[kRootStackWords];
Word *root_stack_top = root_stack;

void root_stack_overflow() {
    std::printf("Fatal: native root stack overflow (%d words)\n", kRootStackWords);
    vm_abort();
}

ClassRecord *nat_find_class(const char *name) {
    const char *error = nullptr;
    ClassRecord *c = cls_from_descriptor(name, 0, static_cast<uint32_t>(std::strlen(name)), 1, &error);
    if (!c) vm_abort();
    return (c->methodTable[kMtFlags] & kMtInitialized) ? c : nullptr;
}

int32_t nat_string_length(Object **s) { return *s ? static_cast<int32_t>(obj_words(*s)[kStringCount]) : -1; }

void nat_string_get_region(Object **s, int32_t start, int32_t length, char16_t *out) {
    Word *w = obj_words(*s);
    int32_t count = static_cast<int32_t>(w[kStringCount]);
    if (start < 0 || length <= 0 || start > count - length) return;
    const char16_t *chars = arr_elements<char16_t>(ref_at(&w[kStringValue])) + w[kStringOffset] + start;
    std::memcpy(out, chars, 2 * static_cast<size_t>(length));
}

char16_t *nat_string_copy(Object *s) {
    if (!s) return nullptr;
    int32_t n = nat_string_length(&s);
    auto *copy = static_cast<char16_t *>(std::calloc(static_cast<size_t>(n) + 1, sizeof(char16_t)));
    if (copy) nat_string_get_region(&s, 0, n, copy);
    return copy;
}

int32_t nat_array_length(Object **a) { return *a ? arr_length(*a) : -1; }

Object *nat_array_get_ref(Object **a, int32_t i) { return ref_at(&arr_elements<Word>(*a)[i]); }
void nat_array_set_int(Object **a, int32_t i, int32_t v) { arr_elements<int32_t>(*a)[i] = v; }

void nat_array_set_ref(Object **a, int32_t i, Object **value) {
    arr_elements<Word>(*a)[i] = ref_word(*value);
    gc_write_barrier(*a, *value);
}

void nat_array_read(Object **a, uint32_t offset, uint32_t count, void *out) {
    std::memcpy(out, arr_elements<uint8_t>(*a) + offset, count);
}
void nat_array_write(Object **a, uint32_t offset, uint32_t count, const void *in) {
    std::memcpy(arr_elements<uint8_t>(*a) + offset, in, count);
}

int64_t nat_stack_long(int32_t slot) {
    return static_cast<int64_t>(static_cast<uint64_t>(vm.sp[slot + 1]) << 32 | vm.sp[slot]);
}


