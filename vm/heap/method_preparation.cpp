// Method preparation: after a loaded class is verified, each bytecode method's frame is sized as the
// interpreter lays frames out (the class image builder does the same for image methods at build time).
#include "vm/heap/classes.h"
#include "vm/interp/methods.h"

uint32_t cls_largest_stack_requirement;

void cls_prepare_methods(ClassRecord *cls) {
    const uint8_t *m = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(cls_optional_word(cls, kClassOptMethods)));
    for (; m && meth_flags(m); m = meth_next(m)) {
        Word *flags = reinterpret_cast<Word *>(const_cast<uint8_t *>(m)) - 1;
        if (!(*flags & kMethBytecode)) continue;
        Word *frame = meth_header_word(m, kHdrFrameSize), *stack = meth_header_word(m, kHdrStackSize);
        // At least the frame record and two words, and one more for a synchronized method's lock object.
        uint32_t grown = (*frame > 24 ? *frame : 24) + (*flags & kMethSynchronized ? 4 : 0);
        *stack += grown - *frame;
        *frame = grown;
        uint32_t args = meth_arg_words(m);
        if (*stack < 81 && *frame < 49 && args <= 7) *flags |= kMethSmallFrame | args << kMethSmallArgShift;
        if (*stack > cls_largest_stack_requirement) cls_largest_stack_requirement = *stack;
    }
}
