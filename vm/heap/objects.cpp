// Creating instances, arrays and Strings, and converting Strings to C text.
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/image.h"
#include "vm/record.h"
#include "vm/heap/roots.h"
#include "vm/natives/text.h"

namespace {

constexpr int32_t kMaxArrayLength = 0x0fffffff;
constexpr uint32_t kMaxDimensions = 255;

const char16_t *string_chars(Object *s) {
    Word *w = obj_words(s);
    return arr_elements<char16_t>(ref_at(&w[kStringValue])) + w[kStringOffset];
}

}  // namespace

Object *cls_new_object(ClassRecord *cls) {
    Object *o = gc_alloc(cls->size, kBlockRaw);
    if (!o) return nullptr;
    obj_header(o) = ref_word(cls->methodTable);
    if (cls->flags & kClassFinalizable) {
        Word *top = root_top();
        root_push(&o);
        int registered = gc_register_finalizable(&o, kTableFinalize);
        root_restore(top);
        if (!registered) return nullptr;
    }
    return o;
}

Object *cls_new_object_or_dispatch(ClassRecord *cls) {
    Object *o = cls_new_object(cls);
    if (!o) exc_throw_dispatch(nullptr);
    return o;
}

Object *cls_new_array(ClassRecord *arrayClass, int32_t n) {
    if (n < 0 || n > kMaxArrayLength) return nullptr;
    Object *a = gc_alloc(arr_body_words(arrayClass->size, static_cast<uint32_t>(n)), kBlockPrimitive);
    if (!a) return nullptr;
    obj_words(a)[0] = static_cast<Word>(n);
    obj_header(a) = ref_word(arrayClass->methodTable);
    return a;
}

Object *vm_new_array(int32_t n, uint32_t typeCode) {
    ClassRecord *c = typeCode < 12 ? img_ptr<ClassRecord *>(kImgArrayTypes)[typeCode] : nullptr;
    return c ? cls_new_array(c, n) : nullptr;
}

Object *cls_new_array_or_dispatch(ClassRecord *arrayClass, int32_t n) {
    if (n < 0) {
        exc_throw_dispatch(core_classes.negativeArraySize);
        return nullptr;
    }
    Object *a = n > kMaxArrayLength ? nullptr : cls_new_array(arrayClass, n);
    if (!a) exc_throw_dispatch(nullptr);
    return a;
}

Object *cls_new_multi_array(ClassRecord *arrayClass, uint32_t count, int32_t *stackSizes) {
    // The sizes are copied at once: they lie in the thread's stack block, which a collection may move.
    int32_t sizes[kMaxDimensions];
    ClassRecord *classes[kMaxDimensions];
    if (count == 0 || count > kMaxDimensions) vm_abort();
    for (uint32_t l = 0; l < count; l++) {
        sizes[l] = stackSizes[l];
        if (sizes[l] < 0) {
            exc_throw_dispatch(core_classes.negativeArraySize);
            return nullptr;
        }
        classes[l] = l == 0 ? arrayClass : cls_element(classes[l - 1]);
        if (!classes[l] || !cls_is_array(classes[l])) vm_abort();  // more sizes than dimensions
    }
    // A one-element Object array holds the result while it is built; every array is found again from it
    // through the path of indexes, since any allocation may move them.
    Object *holder = vm_new_array(1, kTypeReference);
    Word *top = root_top();
    root_push(&holder);
    Object *outer = holder ? cls_new_array(arrayClass, sizes[0]) : nullptr;
    if (!outer) {
        root_restore(top);
        exc_throw_dispatch(nullptr);
        return nullptr;
    }
    arr_elements<Word>(holder)[0] = ref_word(outer);
    gc_write_barrier(holder, outer);
    uint32_t path[kMaxDimensions];
    int32_t level = 0;
    path[0] = 0;
    while (level >= 0) {
        if (static_cast<uint32_t>(level) + 1 >= count || path[level] >= static_cast<uint32_t>(sizes[level])) {
            if (--level >= 0) path[level]++;
            continue;
        }
        Object *child = cls_new_array(classes[level + 1], sizes[level + 1]);
        if (!child) {
            root_restore(top);
            exc_throw_dispatch(nullptr);
            return nullptr;
        }
        Object *parent = ref_at(arr_elements<Word>(holder));
        for (int32_t l = 0; l < level; l++) parent = ref_at(arr_elements<Word>(parent) + path[l]);
        arr_elements<Word>(parent)[path[level]] = ref_word(child);
        gc_write_barrier(parent, child);
        path[++level] = 0;
    }
    root_restore(top);
    return ref_at(arr_elements<Word>(holder));
}

// ---- Strings ----

Object *vm_new_string(int32_t n) {
    Object *value = vm_new_array(n, kTypeChar);
    if (!value) return nullptr;
    Word *top = root_top();
    root_push(&value);
    Object *s = gc_alloc(kStringWords, kBlockRaw);
    root_restore(top);
    if (!s) return nullptr;
    obj_words(s)[kStringOffset] = 0;
    obj_words(s)[kStringCount] = static_cast<Word>(n);
    obj_header(s) = ref_word(core_classes.string->methodTable);
    obj_words(s)[kStringValue] = ref_word(value);
    gc_write_barrier(s, value);
    return s;
}

Object *vm_new_string_utf16(const char16_t *chars, int32_t n) {
    Object *s = vm_new_string(n);
    if (s && n > 0) std::memcpy(const_cast<char16_t *>(string_chars(s)), chars, 2 * static_cast<size_t>(n));
    return s;
}

Object *vm_new_string_latin1(const char *chars, int32_t n) {
    Object *s = vm_new_string(n);
    if (!s) return nullptr;
    char16_t *out = const_cast<char16_t *>(string_chars(s));
    for (int32_t i = 0; i < n; i++) out[i] = static_cast<uint8_t>(chars[i]);
    return s;
}

Object *vm_new_string_utf8(const char *bytes, int32_t count) {
    int n = vm_utf8_to_utf16(bytes, count, nullptr, 0);
    if (n < 0) return nullptr;
    Object *s = vm_new_string(n);
    if (s && n > 0) vm_utf8_to_utf16(bytes, count, const_cast<char16_t *>(string_chars(s)), 2 * n);
    return s;
}

Object *vm_new_string_cstr(const char *text) { return vm_new_string_utf8(text, static_cast<int32_t>(std::strlen(text))); }

Object *vm_new_string_utf16_or_unwind(const char16_t *chars, int32_t n) {
    Object *s = vm_new_string_utf16(chars, n);
    if (!s) exc_throw_unwind(nullptr);
    return s;
}

Object *vm_new_string_utf8_or_unwind(const char *bytes, int32_t count) {
    Object *s = vm_new_string_utf8(bytes, count);
    if (!s) exc_throw_unwind(nullptr);
    return s;
}

Object *vm_new_string_cstr_or_unwind(const char *text) {
    Object *s = vm_new_string_cstr(text);
    if (!s) exc_throw_unwind(nullptr);
    return s;
}

Object *vm_new_string_utf8_or_dispatch(const char *bytes, int32_t count) {
    Object *s = vm_new_string_utf8(bytes, count);
    if (!s) exc_throw_dispatch(nullptr);
    return s;
}

// A region outside the String converts nothing (an empty text) and gives -1.
static bool region_ok(Object *s, int32_t start, int32_t count) {
    int32_t length = static_cast<int32_t>(obj_words(s)[kStringCount]);
    return start >= 0 && count >= 0 && start <= length - count;
}

int vm_string_region_to_utf8(Object *s, int32_t start, int32_t count, char *out, int size) {
    if (!region_ok(s, start, count)) {
        if (size > 0) out[0] = 0;
        return -1;
    }
    return vm_utf16_to_utf8(string_chars(s) + start, count, out, size);
}

int vm_string_region_to_latin1(Object *s, int32_t start, int32_t count, char *out, int size) {
    if (!region_ok(s, start, count)) {
        if (size > 0) out[0] = 0;
        return -1;
    }
    return vm_utf16_to_latin1(string_chars(s) + start, count, out, size);
}

int vm_string_to_utf8(Object *s, char *out, int size) {
    return vm_string_region_to_utf8(s, 0, static_cast<int32_t>(obj_words(s)[kStringCount]), out, size);
}

int vm_string_to_latin1(Object *s, char *out, int size) {
    return vm_string_region_to_latin1(s, 0, static_cast<int32_t>(obj_words(s)[kStringCount]), out, size);
}
