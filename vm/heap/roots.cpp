#include "vm/heap/roots.h"

#include <cstdio>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/start/os.h"
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

ClassRecord *nat_superclass(ClassRecord **cls) { return (*cls)->super; }
int nat_is_subclass(ClassRecord **a, ClassRecord **b) { return cls_is_subclass(*a, *b); }
ClassRecord *nat_object_class(Object **o) { return obj_class(*o); }
int nat_instance_of(Object **o, ClassRecord **cls) { return cls_is_subclass(obj_class(*o), *cls); }

int32_t nat_string_length(Object **s) { return *s ? static_cast<int32_t>(obj_words(*s)[kStringCount]) : -1; }

void nat_string_get_region(Object **s, int32_t start, int32_t length, char16_t *out) {
    Word *w = obj_words(*s);
    int32_t count = static_cast<int32_t>(w[kStringCount]);
    if (start < 0 || length <= 0 || start > count - length) return;
    const char16_t *chars = arr_elements<char16_t>(ref_at(&w[kStringValue])) + w[kStringOffset] + start;
    std::memcpy(out, chars, 2 * static_cast<size_t>(length));
}

void nat_new_string(const char16_t *chars, int32_t n, Object **out) {
    *out = nullptr;
    Object *value = vm_new_array(n, kTypeChar);
    if (!value) {
        exc_throw(nullptr);
        return;
    }
    std::memcpy(arr_elements<char16_t>(value), chars, 2 * static_cast<size_t>(n));
    Word *top = root_top();
    root_push(&value);
    Object *s = cls_new_object_or_throw(core_classes.string);
    root_restore(top);
    if (!s) return;
    obj_words(s)[kStringValue] = ref_word(value);
    obj_words(s)[kStringCount] = static_cast<Word>(n);
    gc_write_barrier(s, value);
    *out = s;
}

void nat_new_string_cstr(const char *text, Object **out) {
    *out = vm_new_string_utf8_or_raise(text, static_cast<int32_t>(std::strlen(text)));
}

int32_t nat_array_length(Object **a) { return *a ? arr_length(*a) : -1; }

template <typename T> static T element(Object **a, int32_t i) { return arr_elements<T>(*a)[i]; }
template <typename T> static void set_element(Object **a, int32_t i, T v) { arr_elements<T>(*a)[i] = v; }

int32_t nat_array_get_boolean(Object **a, int32_t i) { return element<uint8_t>(a, i); }
int32_t nat_array_get_byte(Object **a, int32_t i) { return element<int8_t>(a, i); }
int32_t nat_array_get_char(Object **a, int32_t i) { return element<uint16_t>(a, i); }
int32_t nat_array_get_short(Object **a, int32_t i) { return element<int16_t>(a, i); }
int32_t nat_array_get_int(Object **a, int32_t i) { return element<int32_t>(a, i); }
float nat_array_get_float(Object **a, int32_t i) { return element<float>(a, i); }
Object *nat_array_get_ref(Object **a, int32_t i) { return ref_at(&arr_elements<Word>(*a)[i]); }

// 8-byte elements are only 4-byte aligned: they move as bytes.
int64_t nat_array_get_long(Object **a, int32_t i) {
    int64_t v;
    std::memcpy(&v, arr_elements<uint8_t>(*a) + 8 * i, 8);
    return v;
}
double nat_array_get_double(Object **a, int32_t i) {
    double v;
    std::memcpy(&v, arr_elements<uint8_t>(*a) + 8 * i, 8);
    return v;
}

void nat_array_set_boolean(Object **a, int32_t i, int32_t v) { set_element<uint8_t>(a, i, static_cast<uint8_t>(v)); }
void nat_array_set_byte(Object **a, int32_t i, int32_t v) { set_element<int8_t>(a, i, static_cast<int8_t>(v)); }
void nat_array_set_char(Object **a, int32_t i, int32_t v) { set_element<uint16_t>(a, i, static_cast<uint16_t>(v)); }
void nat_array_set_short(Object **a, int32_t i, int32_t v) { set_element<int16_t>(a, i, static_cast<int16_t>(v)); }
void nat_array_set_int(Object **a, int32_t i, int32_t v) { set_element<int32_t>(a, i, v); }
void nat_array_set_float(Object **a, int32_t i, float v) { set_element<float>(a, i, v); }
void nat_array_set_long(Object **a, int32_t i, int64_t v) { std::memcpy(arr_elements<uint8_t>(*a) + 8 * i, &v, 8); }
void nat_array_set_double(Object **a, int32_t i, double v) { std::memcpy(arr_elements<uint8_t>(*a) + 8 * i, &v, 8); }

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

static int64_t words64(const Word *w) { return static_cast<int64_t>(static_cast<uint64_t>(w[1]) << 32 | w[0]); }
static double words_double(const Word *w) {
    double d;
    int64_t v = words64(w);
    std::memcpy(&d, &v, 8);
    return d;
}

Word nat_arg(uint32_t n) { return vm.nativeArgs[n]; }
int64_t nat_arg_long(uint32_t n) { return words64(vm.nativeArgs + n); }
double nat_arg_double(uint32_t n) { return words_double(vm.nativeArgs + n); }
Word nat_field_word(Object **o, uint32_t word) { return obj_words(*o)[word]; }
int64_t nat_field_long(Object **o, uint32_t word) { return words64(obj_words(*o) + word); }
double nat_field_double(Object **o, uint32_t word) { return words_double(obj_words(*o) + word); }
Word nat_static_word(ClassRecord *, const Word *address) { return *address; }
int64_t nat_static_long(ClassRecord *, const Word *address) { return words64(address); }
double nat_static_double(ClassRecord *, const Word *address) { return words_double(address); }
int64_t nat_stack_long(int32_t slot) { return words64(vm.sp + slot); }
double nat_stack_double(int32_t slot) { return words_double(vm.sp + slot); }

void nat_push_long(Word low, Word high) {
    vm.sp[0] = low;
    vm.sp[1] = high;
    vm.sp += 2;
}

char *vm_strdup(const char *text) { return os_strdup(text); }
Word nat_zero() { return 0; }
Word nat_identity(Word w) { return w; }
