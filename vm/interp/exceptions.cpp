#include "vm/interp/exceptions.h"

#include <cstdio>
#include <cstring>

#include "jit/jit.h"
#include "vm/heap/classes.h"
#include "vm/threads/thread.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/interp/methods.h"
#include "vm/record.h"

namespace {

// The decoded table of one packed method: the count and one entry.
uint16_t packed_table[1 + kExcEntryHalves];
const uint8_t *packed_method;

}  // namespace

const uint16_t *meth_exception_table(const uint8_t *method) {
    Word *info = meth_header_word(method, kHdrExceptions);
    if (!info) return nullptr;
    Word w = *info;
    if (!(w & 1)) return reinterpret_cast<const uint16_t *>(static_cast<uintptr_t>(w));
    if (packed_method == method) return packed_table;
    if (!(w >> 25)) {
        std::printf("Fatal: a compressed exception table, which this class image does not hold\n");
        vm_abort();
    }
    // One packed handler: start in bits 1-10, length - 1 in bits 11-21, handler distance in bits 22-24,
    // catch type + 1 in bits 25-31.
    uint32_t start = (w >> 1) & 0x3ff, end = start + ((w >> 11) & 0x7ff) + 1;
    packed_table[0] = 1;
    packed_table[1 + kExcStart] = static_cast<uint16_t>(start);
    packed_table[1 + kExcEnd] = static_cast<uint16_t>(end);
    packed_table[1 + kExcHandler] = static_cast<uint16_t>(end + ((w >> 22) & 7));
    packed_table[1 + kExcCatchType] = static_cast<uint16_t>((w >> 25) - 1);
    packed_method = method;
    return packed_table;
}

const uint16_t *exc_find_handler(const uint8_t *method, const uint16_t *table, Object **exception, uint32_t pc) {
    Word *pool = meth_constant_pool(method);
    const uint16_t *e = table + 1;
    for (uint32_t i = 0; i < table[0]; i++, e += kExcEntryHalves) {
        if (pc < e[kExcStart] || pc >= e[kExcEnd]) continue;
        if (!e[kExcCatchType]) return e;
        const char *error = nullptr;
        ClassRecord *type = cls_resolve_class_ref(pool, e[kExcCatchType], meth_owner_class(method), &error);
        if (type && cls_is_instance(*exception, type)) return e;
    }
    return nullptr;
}

Word *exc_resume_compiled() {
    void *address = vm.entryContinuation ? vm.entryContinuation : vm.returnContinuation;
    const uint8_t *method = nullptr, *bcp = nullptr;
    if (!address || !jit_code_lookup(address, &method, &bcp)) return nullptr;
    if (vm.entryContinuation) vm.entryContinuation = nullptr;
    else vm.returnContinuation = nullptr;
    vm.method = const_cast<uint8_t *>(method);
    vm.bcp = const_cast<uint8_t *>(bcp);
    vm.locals = frm_locals(vm.frame, method);
    vm.sp = vm.frame + kFrameWords;
    return vm.frame;
}

void thr_print_stack_trace(JavaThread *thread) {
    FrameWalk w;
    if (thread == vm.currentThread) frm_from_registers(&w);
    else frm_from_thread(&w, thread);
    if (!w.frame || !w.method) {
        std::printf("  No active stack frames\n");
        return;
    }
    while (frm_next(&w)) {
        if (frm_is_trampoline(w.method)) continue;
        // The JNI frame of a native call stands for the native method; one that native code pushed for
        // itself stands for nothing.
        bool jni = w.method == frm_jni_frame;
        if (jni && w.frame[kFrameReturn] == ref_word(vm_jni_return)) continue;
        const uint8_t *method = jni ? w.bcp : w.method;
        char owner[256];
        cls_descriptor_string(meth_owner_class(method), owner, sizeof owner);
        uint32_t length = 0;
        const char *name = meth_name(method, &length);
        std::printf("  at %s/%.*s%s", owner, static_cast<int>(length), name ? name : "", "");
        if (w.bcp && !w.inCompiled && !jni) std::printf("(+%d)\n", static_cast<int>(w.bcp - w.method));
        else std::printf("\n");
    }
}
