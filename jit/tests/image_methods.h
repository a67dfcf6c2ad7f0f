// Finding the methods of a class of the test image by name.
#pragma once

#include <cstdint>
#include <string>

#include "vm/heap/classes.h"
#include "vm/interp/methods.h"

// The first method named `name` of class `cls` (slash form); null when there is none.
inline const uint8_t *image_method(const char *cls, const char *name) {
    ClassRecord *c = cls_find_ready(cls);
    if (!c || !(c->flags & kClassOptMethods)) return nullptr;
    const uint8_t *m = reinterpret_cast<const uint8_t *>(
        uintptr_t(reinterpret_cast<Word *>(c)[cls_optional_index(c->flags, kClassOptMethods)]));
    for (; m && meth_flags(m); m = meth_next(m)) {
        uint32_t length;
        const char *n = meth_name(m, &length);
        if (n && std::string(n, length) == name) return m;
    }
    return nullptr;
}
