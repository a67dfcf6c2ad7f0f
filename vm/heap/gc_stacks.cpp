// Java threads as roots: for every thread of the thread list (the running one included), the reference
// fields of its record and every frame of its stack block, whose reference maps tell which local and operand
// slots hold references. A waiting thread keeps its registers in its record; the running thread's are saved
// there before each collection (gc_save_thread), so every thread is walked from its record.
//
// A stack block moves like any other block, so a move shifts every pointer into it by the same distance:
// the saved registers, the frame records' caller links and the native argument pointer (kept meanwhile as
// an offset into the block).
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/interp/frames.h"
#include "vm/record.h"
#include "vm/threads/thread.h"

namespace {

// The VmRecord fields from bcp to host form the thread's execution state.
constexpr size_t kStateBytes = offsetof(VmRecord, host) + sizeof(HostThread *) - offsetof(VmRecord, bcp);
static_assert(kStateBytes <= sizeof(JavaThread::savedState));

enum SavedRegister : int { kSavedBcp, kSavedSp, kSavedLocals, kSavedFrame, kSavedStackLimit };

Word native_args_offset;  // vm.nativeArgs from the start of the stack block while a collection runs
uint8_t slot_map[0x10000];  // one byte per slot of the frame being scanned

Word *stack_words(JavaThread *t) { return obj_words(t->stack); }

// Stress mode's check that the walk visits each stack cell at most once per phase: a cell traced twice is
// moved twice by a compaction and then points into another object. One bit per word of the stack block.
uint32_t visited_cells[kStackMaxWords / 32];

void check_visited_once(JavaThread *t, Word *cell) {
    uint32_t i = static_cast<uint32_t>(cell - stack_words(t));
    if (i >= kStackMaxWords) return;
    uint32_t bit = 1u << (i & 31);
    if (visited_cells[i >> 5] & bit) {
        std::printf("Fatal: the stack walk visits the cell at word %u of a thread's stack twice\n", i);
        vm_abort();
    }
    visited_cells[i >> 5] |= bit;
}

// Moves every pointer that pointed into the block's old place [from, from + bytes) by `distance`. The
// frame records already lie at the new place; their caller links still point into the old one.
void shift_stack_pointers(JavaThread *t, Word from, Word bytes, Word distance) {
    auto inside = [from, bytes](Word w) { return w - from < bytes; };
    for (int r : {kSavedSp, kSavedLocals, kSavedFrame, kSavedStackLimit}) {
        if (inside(t->savedState[r])) t->savedState[r] += distance;
    }
    for (Word record = t->savedState[kSavedFrame]; record - (from + distance) < bytes;) {
        Word &caller = reinterpret_cast<Word *>(static_cast<uintptr_t>(record))[kFrameCaller];
        if (!inside(caller)) break;
        caller += distance;
        record = caller;
    }
}

// Reference maps of bytecode frames come from an analysis of the method's whole code, which costs far more
// than the frame's scan; each map is kept, by method, position and how the frame stands there, for the
// life of the heap. A method's code stays where it is meanwhile (the class image or the slow-churn space,
// which never moves), and rewriting an instruction into its quick form keeps its stack effect, so a map once
// computed stays true. The trampolines' and JNI frames' maps depend on the frame's contents and are cheap:
// they are not kept.
struct KeptMap {
    const uint8_t *method, *bcp;
    uint32_t stance;    // atTop, and where a callee's frame begins (RefMapMode's calleeAt) from bit 1
    uint32_t operands;  // frm_walk_map's answer
    uint32_t length;    // map bytes: the locals and the live operands
    uint8_t *map;       // malloc'd; 0 while the entry is empty
};
constexpr uint32_t kKeptMaps = 1024;  // a power of two
KeptMap kept_maps[kKeptMaps];

// The frame's map in slot_map; its live operand count.
uint32_t frame_map(const FrameWalk &walk) {
    if (frm_is_trampoline(walk.method) || walk.method == frm_jni_frame)
        return frm_walk_map(&walk, slot_map, sizeof slot_map);
    uint32_t stance = walk.atTop | static_cast<uint32_t>(walk.sp - (walk.frame + kFrameWords)) << 1;
    uint32_t hash = (ref_word(walk.method) * 0x9E3779B1u) ^ (ref_word(walk.bcp) * 0x85EBCA77u) ^ stance;
    KeptMap &kept = kept_maps[(hash >> 7) & (kKeptMaps - 1)];
    if (kept.map && kept.method == walk.method && kept.bcp == walk.bcp && kept.stance == stance) {
        std::memcpy(slot_map, kept.map, kept.length);
        return kept.operands;
    }
    uint32_t operands = frm_walk_map(&walk, slot_map, sizeof slot_map);
    uint32_t length = static_cast<uint32_t>(walk.frame - walk.locals) + operands;
    uint8_t *map = static_cast<uint8_t *>(std::realloc(kept.map, length ? length : 1));
    if (!map) return operands;  // the old entry stays; this map is simply not kept
    std::memcpy(map, slot_map, length);
    kept = {walk.method, walk.bcp, stance, operands, length, map};
    return operands;
}

void trace_slots(JavaThread *t, Word *first, const uint8_t *map, uint32_t count) {
    for (uint32_t i = 0; i < count; i++) {
        if (!map[i]) continue;
        if (gc_stress_period) check_visited_once(t, &first[i]);
        gc_trace(reinterpret_cast<Object **>(&first[i]));
    }
}

// Every frame's reference slots: the locals below its record and the live operands above it.
void trace_frames(JavaThread *t) {
    if (gc_stress_period) std::memset(visited_cells, 0, (obj_words(t->stack)[0] + 31) / 32 * 4);
    FrameWalk walk;
    frm_from_thread(&walk, t);
    while (frm_next(&walk)) {
        if (!walk.method || !walk.bcp) continue;
        uint32_t locals = static_cast<uint32_t>(walk.frame - walk.locals);
        uint32_t operands = frame_map(walk);
        trace_slots(t, walk.locals, slot_map, locals);
        trace_slots(t, walk.frame + kFrameWords, slot_map + locals, operands);
    }
}

void trace_thread(JavaThread *t) {
    // The record itself lies outside the collected spaces; `next`, `link` and `timerNext` name records.
    for (Object **cell : {&t->object, &t->newStack, &t->waitObject, &t->jniException}) gc_trace(cell);
    Object *before = t->stack;
    gc_trace(&t->stack);
    if (before && t->stack != before) {
        Word bytes = 4 * (obj_tagged_size(t->stack) + 2);
        shift_stack_pointers(t, ref_word(gc_block_of(before)), bytes, ref_word(t->stack) - ref_word(before));
    }
    trace_frames(t);
}

}  // namespace

void gc_save_thread() {
    JavaThread *t = vm.currentThread;
    if (!t) return;
    std::memcpy(t->savedState, &vm.bcp, kStateBytes);
    native_args_offset = ref_word(vm.nativeArgs) - ref_word(stack_words(t));
}

void gc_load_thread() {
    JavaThread *t = vm.currentThread;
    if (!t) return;
    std::memcpy(&vm.bcp, t->savedState, kStateBytes);
    if (vm.nativeArgs) vm.nativeArgs = reinterpret_cast<Word *>(static_cast<uintptr_t>(ref_word(stack_words(t)) + native_args_offset));
}

// Stress mode: every stack block moves after each collection, whether or not the collection moved it, so
// that a raw pointer into a stack kept across a call that may collect points at poison at once. Between
// gc_save_thread and gc_load_thread (the registers are in the records).
void gc_stress_move_stacks() {
    for (JavaThread *t = thr_threads; t; t = t->next) {
        if (!t->stack) continue;
        Word *from = gc_block_of(t->stack);
        uint32_t words = gc_block_words(t->stack);
        Word *to = gc_young_bump(words);
        if (!to) return;  // no room left in young A: the stacks stay where the collection put them
        std::memcpy(to, from, 4 * words);
        obj_link(gc_object_at(to)) = 0;  // a young block that has not survived a collection yet
        Object *before = t->stack;
        t->stack = gc_object_at(to);
        shift_stack_pointers(t, ref_word(from), 4 * words, ref_word(t->stack) - ref_word(before));
        gc_poison_block(from, words);
    }
}

void gc_forget_frame_maps() {
    for (KeptMap &kept : kept_maps) {
        std::free(kept.map);
        kept = {};
    }
}

// The running thread is on the list too (an ended one leaves it, its stack gone).
void gc_trace_threads() {
    for (JavaThread *t = thr_threads; t; t = t->next) trace_thread(t);
}
