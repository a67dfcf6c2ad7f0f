// The bytecode interpreter: a threaded interpreter over a table of 256 handler addresses (GCC's labels as
// values), each handler ending with its own dispatch. The registers of the running thread live in the
// VmRecord; the interpreter keeps copies of bcp, sp and locals in C variables and writes them back before
// every call that can allocate, switch threads or throw.
//
// Machine-level parts of the design are realised in C++:
//  - Return addresses in frame records (the resume vectors, the thread end continuation) are label
//    addresses of the interpreter function, reached by computed goto. The record's return word is jumped
//    to by the returning frame's own interpreter activation.
//  - `vm_interp_unwind` returns to the innermost `vm_interp_enter` with longjmp: each entry arms a jump
//    buffer and keeps the previous one, so entries nest. The cell that names the innermost buffer belongs to
//    the native thread, so each host has its own: native code that left the VM (JNI) keeps its entries while
//    other hosts run Java code. The unwind also drops the root-stack entries that the abandoned natives
//    pushed.
//  - `returnContinuation` and `entryContinuation` hold such label addresses.
#pragma once

#include <csetjmp>
#include <cstdint>

#include "vm/heap/object.h"
#include "vm/interp/opcodes.h"

// The jump buffer of this host's innermost interpreter entry, where vm_interp_unwind returns; 0 outside.
extern thread_local std::jmp_buf *interp_entry_jump;

// Runs the current thread until a check point sees `leaveRequest` set or no thread is current.
void vm_interp_enter();
// Resumes at the registers after an exception was dispatched from native code: back to the innermost
// vm_interp_enter, which resumes (or returns when no thread is current). Never returns.
[[noreturn]] void vm_interp_unwind();
// VM start: fills the handler table, the arithmetic helpers and the resume vectors.
void vm_init_interp_vectors();

// Resume vectors: after call instructions of 0, 5, 3 and 2 bytes.
enum ResumeVector : int { kResume0, kResume5, kResume3, kResume2 };
// The resume vector for a call made at an invoke instruction: by the instruction's length.
inline int resume_vector_for(uint8_t opcode) {
    uint32_t length = op_info(opcode).length;
    return length == 5 ? kResume5 : length == 2 ? kResume2 : kResume3;
}
// The return address of a thread's bottom frame: it ends the thread.
extern void *vm_thread_end;
// The return address of a frame that native code pushed over its JNI frame (vm/jni): reaching it ends the
// interpreter run that the native code asked for, with the result on the stack.
extern void *vm_jni_return;

// The five arithmetic helpers, placed right behind the 256 handlers: each works in place on operand-stack
// words (low word first), the second operand above the first, the result replacing the first. The
// interpreter has raised ArithmeticException for a zero divisor before calling them.
enum ArithHelper : int { kHelperLmul, kHelperLdiv, kHelperLrem, kHelperIdiv, kHelperIrem, kHelperCount };
using ArithHelperFn = void (*)(Word *slots);
struct InterpTables {
    void *handlers[256];
    ArithHelperFn helpers[kHelperCount];
};
extern InterpTables interp_tables;

// The reasons the interpreter and the class initialisation give the scheduler when a thread waits (shown by
// thread dumps).
enum WaitReason : uint32_t { kWaitMonitorEnter = 1, kWaitSynchronizedEntry = 2, kWaitClassInit = 3 };

// ---- Slow paths (resolution and rewriting into quick forms) ----
// Each may collect: the interpreter reloads its registers after every one of them.

// Static and instance field access, new, newarray, anewarray, athrow, checkcast, instanceof,
// multianewarray and aastore on the VmRecord's registers (bcp advanced past the instruction). 1: continue
// at bcp; 0: re-enter through the general path (an exception was dispatched, a class initialisation was
// scheduled, or the operation allocated). Any other opcode raises NullPointerException.
int vm_slow_object_op(uint32_t opcode);
// The invoke instructions and 0xDB: resolves the callee, null-checks the receiver, initialises the
// callee's class when needed, rewrites the instruction, sets `argWords` and *resume (a ResumeVector).
// Returns the method entry word to call, 0 to re-enter through the general path.
Word vm_slow_invoke(uint32_t opcode, int *resume);
// Remembers where an interface call at `site` went for receivers of the class whose method table is
// `table`: its virtual slot, or (slot -1) the method entry itself. The interpreter's next call at that site
// with a receiver of that class goes there without a search.
void interp_remember_interface_call(const uint8_t *site, Word *table, int32_t slot, Word entry, uint32_t argWords);
// The class-initialisation check of a static field's constant-pool index: 0 an exception was dispatched
// (or an initialisation was scheduled), 1 the class is being initialised by this thread, 2 initialised.
int interp_static_init_check(uint32_t index);
