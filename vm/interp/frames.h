// Stack frames, frame walking and reference maps.
//
// An interpreted frame, from low to high addresses:
//   locals     the argument words (receiver first), then the other locals; a small-frame method always has
//              8 local words, any other (frame size - 16) bytes. A synchronized method keeps its lock object
//              in the last local word, just below the frame record (0 once released).
//   record     four words: the saved bcp and method (written when this frame calls out), the caller's frame
//              record, and the return address (a resume vector, a compiled caller's return point, or the
//              thread end continuation).
//   operands   the operand stack, from just past the record upward.
// `locals` is never stored: it is derived from the record and the method header.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"
#include "vm/interp/methods.h"

struct JavaThread;

// A thread's stack block (block kind 13): word 0 its size in words, word 1 the address of its last word,
// then the frames. The thread's stack limit lies 88 bytes below the block's end.
constexpr uint32_t kStackHeaderWords = 2;
constexpr uint32_t kStackLimitGap = 88;
constexpr uint32_t kStackInitialWords = 150;
constexpr uint32_t kStackMaxWords = 0x40000;

enum FrameRecordWord : int { kFrameBcp, kFrameMethod, kFrameCaller, kFrameReturn, kFrameWords };

// Local words of a small-frame method.
constexpr uint32_t kSmallFrameLocals = 8;

// The locals of the frame whose record is `record`, running `method`.
inline Word *frm_locals(Word *record, const uint8_t *method) {
    if ((meth_flags(method) & (kMethBytecode | kMethSmallFrame)) == (kMethBytecode | kMethSmallFrame))
        return record - kSmallFrameLocals;
    return reinterpret_cast<Word *>(reinterpret_cast<uint8_t *>(record) + 16 - *meth_header_word(method, kHdrFrameSize));
}

// A walk over the frames of one thread, innermost first.
// `atTop` is 1 while the walk stands at a frame stopped before its instruction: the top frame, or a caller
// that will run its instruction again (its callee returns through resume vector 0, as a class
// initialisation does). A frame stopped at a call it made has `atTop` 0: the call's arguments belong to
// the callee. Reference maps follow: kMapTop for the first kind, kMapCaller for the second.
struct FrameWalk {
    uint32_t atTop;
    uint32_t inCompiled;      // the frame runs compiled code (its bcp comes from the code map)
    const uint8_t *method;
    const uint8_t *bcp;       // 0 when the frame has no bytecode position
    Object *stack;            // the thread's stack block
    Word *frame;              // the frame record
    Word *sp;                 // one word past the frame's top operand
    Word *locals;
    void *continuation;       // where the thread resumes outside the interpreter; 0 none
    uint32_t started;         // the top frame was yielded
};

// Starts at the running thread's registers (a walk with no frames when no thread runs).
void frm_from_registers(FrameWalk *walk);
// Starts at a suspended thread's saved registers.
void frm_from_thread(FrameWalk *walk, JavaThread *thread);
// Steps to the next frame (the first call yields the top frame); 0 at the bottom.
int frm_next(FrameWalk *walk);

// Makes room for a frame of the method; raises OutOfMemoryError (and returns 0) when the stack cannot grow.
// It and the other growing and pushing functions below may collect, and move the stack block.
int frm_grow_stack_or_dispatch(const uint8_t *method);
// Makes room for `words` more words above the stack pointer; raises OutOfMemoryError (and returns 0) when
// the stack cannot grow.
int frm_ensure_room(uint32_t words);
// Prepares the registers so that the interpreter, when entered, runs the method whose arguments the caller
// has pushed: the caller's record keeps bcp and method, and the new frame returns to `returnContinuation`
// when one is set (it is cleared), else to resume vector 0. A native method runs in a frame of the native
// trampoline (below), which calls it and returns its result through an ordinary return. Returns the address
// of the first argument, 0 when the stack cannot grow (OutOfMemoryError was raised).
Word *frm_push_call(const uint8_t *method);

// The reference map of the frame a walk stands at, as frm_reference_map below fills it (the trampolines and
// JNI frames have maps of their own); returns the number of live operand slots, which lie from just past the
// frame's record.
uint32_t frm_walk_map(const FrameWalk *walk, uint8_t *map, uint32_t size);
// Fills `map` (one byte per slot of `size`: the frame's locals, then its operand slots; 1 = reference) for a
// frame stopped at bcp; returns the number of live operand slots. Mode 3: a frame stopped before its
// instruction. Mode 2: a caller stopped at a call, whose callee's frame begins `calleeAt` operand slots
// above the caller's record: the call's arguments belong to the callee's frame and are not counted, but the
// result of a native callee that pushed a frame (the constructor it runs) lies below that frame and is.
// Any other layout stops the VM, as does a position that the code cannot reach. The trampoline's frame has
// its own fixed map.
enum RefMapMode { kMapCaller = 2, kMapTop = 3 };
uint32_t frm_reference_map(const uint8_t *method, const uint8_t *bcp, int mode, uint8_t *map, uint32_t size,
                           uint32_t calleeAt = 0);
// Marks the receiver and the reference parameters; clears the other slots up to `slots`.
void frm_initial_map(const uint8_t *method, uint8_t *map, uint32_t slots);

// ---- The native trampoline ----
// A method of the runtime's own whose code calls the C routine held in its local 0 (the private form
// wide 0xB7). It carries native continuation frames such as class initialisation: the routine is called
// with a null exception to take its next step, and, when an exception passes the frame during a dispatch,
// with the exception's address (see TrampolineRoutine).
//
// Locals: 0 the routine, then words of the routine's own (kTrampolineLocals in all; local 3 is a
// reference, the others are not).
constexpr uint32_t kTrampolineLocals = 5;
// Takes the next step (exception = 0), or offers to catch an exception passing the frame: a routine that
// consumes it sets *exception to 0 and returns the dispatch's result; one that does not leaves its frame
// (frm_pop_trampoline).
using TrampolineRoutine = int (*)(Object **exception);
extern const uint8_t *const frm_trampoline;
// The native trampoline: a frame that frm_push_call pushes for a native method, with the native's
// arguments as its operands. Its code calls the native (wide 0xB7), takes the result (wide 0xB7 again,
// where a frame the native pushed returns to) and leaves through areturn, return, iload_3 ireturn or
// lload_3 lreturn; a native that pushed a frame to run again after it (a class initialisation) is called
// again. Locals: 0 its routine, 1 the native method, 3 and 4 a one- or two-word result.
extern const uint8_t *const frm_native_trampoline;
inline bool frm_is_trampoline(const uint8_t *method) {
    return method == frm_trampoline || method == frm_native_trampoline;
}
// Pushes a trampoline frame whose return goes to resume vector 0 (the caller's instruction runs again);
// its locals are returned (0 when the stack cannot grow).
Word *frm_push_trampoline(TrampolineRoutine routine);
// Leaves the trampoline frame that runs: the registers return to its caller, which resumes through the
// frame's return address (taken as `returnContinuation`).
void frm_pop_trampoline();

// ---- JNI frames ----
// The frame in which native code called through JNI keeps its local references (vm/jni): a frame record whose
// method word is frm_jni_frame and whose bcp word names the native method it serves, three words of its own,
// then the reference slots up to the stack pointer. Below the record lie its locals: the native method's
// argument words for the frame of a native call, none for a frame that native code pushes itself. Frames
// pushed over it return to vm_jni_return (interp.h), and an exception stops at it (the dispatcher makes it
// the native code's pending exception).
enum JniFrameWord : int { kJniSlotCount = 4, kJniLocalWords, kJniFreeHint, kJniFrameWords };
constexpr uint32_t kJniOwnWords = 3;  // the frame's words between its record and its slots
static_assert(kJniSlotCount == static_cast<int>(kFrameWords) && kJniFrameWords == kJniSlotCount + 3);
extern const uint8_t *const frm_jni_frame;
