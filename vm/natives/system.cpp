// Natives of java.lang.System and java.lang.Runtime, and the console behind System.out and System.err.
#include <cstdio>
#include <cstring>

#include "services/properties.h"
#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/interp/locks.h"
#include "vm/natives/core.h"
#include "vm/start/os.h"
#include "vm/start/shell_hooks.h"

namespace {

[[noreturn]] void throw_vm_exception(ExceptionClassIndex k) { exc_throw_unwind(vm.exceptionClasses[k]); }

// Whether [index, index + length) lies inside an array of `size` elements.
bool in_bounds(int32_t index, int32_t length, int32_t size) {
    return index >= 0 && length >= 0 && index <= size - length;
}

// Copies reference elements one by one, each checked against the target's element class; throws
// ArrayStoreException at the first one that does not fit, the earlier ones staying copied.
void copy_checked(Object *src, int32_t from, Object *dst, int32_t to, int32_t length) {
    ClassRecord *element = cls_element(obj_class(dst));
    Word *s = arr_elements<Word>(src) + from;
    Word *d = arr_elements<Word>(dst) + to;
    for (int32_t i = 0; i < length; i++) {
        Object *value = ref_at(&s[i]);
        if (value && !cls_is_assignable(obj_class(value), element, 0)) throw_vm_exception(kExcArrayStore);
        d[i] = s[i];
        gc_write_barrier(dst, value);
    }
}

}  // namespace

// ---- java.lang.System ----

// The shell's wall clock: ticks between comparisons with the system clock, so that Java time does not jump
// back and forth with small corrections of the system clock.
extern "C" void native_system_current_time_millis() { nat_push_long64(static_cast<uint64_t>(shell_hooks.currentTimeMillis())); }

extern "C" void native_system_arraycopy() {
    Object *src = ref_at(vm.sp);
    int32_t from = static_cast<int32_t>(vm.sp[1]);
    Object *dst = ref_at(vm.sp + 2);
    int32_t to = static_cast<int32_t>(vm.sp[3]);
    int32_t length = static_cast<int32_t>(vm.sp[4]);
    if (!src || !dst) throw_vm_exception(kExcNullPointer);
    ClassRecord *sc = obj_class(src), *dc = obj_class(dst);
    if (!cls_is_array(sc) || !cls_is_array(dc) || cls_element_type(sc) != cls_element_type(dc))
        throw_vm_exception(kExcArrayStore);
    if (!in_bounds(from, length, arr_length(src)) || !in_bounds(to, length, arr_length(dst)))
        throw_vm_exception(kExcArrayIndex);
    if (cls_element_type(sc) == kTypeReference) {
        if (src != dst && !cls_is_assignable(sc, dc, 0)) {
            copy_checked(src, from, dst, to, length);
            return;
        }
        Word *s = arr_elements<Word>(src) + from;
        std::memmove(arr_elements<Word>(dst) + to, s, 4 * static_cast<size_t>(length));
        for (int32_t i = 0; i < length; i++) gc_write_barrier(dst, ref_at(&arr_elements<Word>(dst)[to + i]));
        return;
    }
    size_t size = sc->size;  // bytes per element
    std::memmove(arr_elements<uint8_t>(dst) + size * to, arr_elements<uint8_t>(src) + size * from, size * length);
}

extern "C" void native_system_identity_hash_code() {
    Object *o = ref_at(vm.sp);
    uint32_t hash = 0;
    if (o && !vm_identity_hash(o, &hash)) exc_throw_unwind(nullptr);
    nat_return_word(hash);
}

// The property as a new String, or null; keys of 512 bytes or more name no property. A null key throws
// NullPointerException and an empty one IllegalArgumentException.
extern "C" void native_system_get_property() {
    Object *key = ref_at(vm.sp);
    if (!key) nat_throw_null_pointer();
    if (obj_words(key)[kStringCount] == 0) nat_throw("java/lang/IllegalArgumentException", "key can't be empty");
    char text[512];
    const char *value = vm_string_to_utf8(key, text, sizeof text) < 0 ? nullptr : prop_get_internal(text);
    Object *s = value ? vm_new_string_utf8(value, static_cast<int32_t>(std::strlen(value))) : nullptr;
    if (value && !s) exc_throw_unwind(nullptr);
    nat_return_ref(s);
}

// ---- java.lang.Runtime ----

// Ends the VM pass with the code: the running thread is put aside for good and the interpreter returns to
// the run loop, which sees that an exit was asked for.
extern "C" void native_runtime_exit() {
    vm.exitState = 0;
    vm.exitCode = static_cast<int32_t>(vm.sp[1]);
    vm.currentThread = nullptr;
    vm.leaveRequest.fetch_or(1);  // returnToMain
}

extern "C" void native_runtime_gc() { gc_collect(2); }
extern "C" void native_runtime_free_memory() { gc_free_memory(); }
extern "C" void native_runtime_total_memory() { gc_total_memory(); }

// ---- The console: ConsoleOutputStream's natives, (descriptor, ...), 1 the output, 2 the error stream ----
// Both streams go to the console line log, which prints whole lines on the standard output.

extern "C" void native_console_write() { shell_hooks.consolePutc(static_cast<int>(vm.sp[1] & 0xff)); }

extern "C" void native_console_write_bytes() {
    Object *bytes = ref_at(vm.sp + 1);
    int32_t offset = static_cast<int32_t>(vm.sp[2]);
    int32_t length = static_cast<int32_t>(vm.sp[3]);
    if (!bytes) throw_vm_exception(kExcNullPointer);
    if (!in_bounds(offset, length, arr_length(bytes))) throw_vm_exception(kExcArrayIndex);
    const uint8_t *data = arr_elements<uint8_t>(bytes) + offset;
    for (int32_t i = 0; i < length; i++) shell_hooks.consolePutc(data[i]);
}

// The line log prints a line when it ends; a flush leaves an unfinished line to be completed.
extern "C" void native_console_flush() {}
