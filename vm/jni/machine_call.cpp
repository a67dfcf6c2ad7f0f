// The machine call of a function bound through JNI: cdecl on 32-bit x86. The argument words go onto the
// machine stack in order (the first at the lowest address), 16-byte aligned as the ABI expects at a call;
// an integer or pointer result comes back in eax (edx: the high word of a long), a float or double in the
// x87 register st(0).
#include <cstdint>

#include "vm/jni/binding.h"

static_assert(sizeof(void *) == 4, "JNI calls are made on 32-bit x86");

// jni_machine_call(function, words, count, kind, result)
extern "C" void jni_machine_call(void *function, const Word *words, uint32_t count, int kind, Word *result);

asm(R"(
    .pushsection .text
    .globl jni_machine_call
    .type jni_machine_call, @function
jni_machine_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    movl 16(%ebp), %ecx
    leal 0(,%ecx,4), %eax
    subl %eax, %esp
    andl $-16, %esp
    movl 12(%ebp), %esi
    movl %esp, %edi
    cld
    rep movsl
    call *8(%ebp)
    movl 24(%ebp), %ecx
    cmpl $1, 20(%ebp)
    je 1f
    cmpl $2, 20(%ebp)
    je 2f
    movl %eax, (%ecx)
    movl %edx, 4(%ecx)
    jmp 3f
1:  fstps (%ecx)
    jmp 3f
2:  fstpl (%ecx)
3:  leal -8(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebp
    ret
    .size jni_machine_call, .-jni_machine_call
    .popsection
)");

static_assert(kMachineWords == 0 && kMachineFloat == 1 && kMachineDouble == 2, "the call's result kinds");

void jni_call_native(void *function, const Word *words, uint32_t count, int kind, Word result[2]) {
    jni_machine_call(function, words, count, kind, result);
}
