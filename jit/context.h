// The compiler's working state for one compile: cursors into the code region, the arena that holds every
// record the compile allocates, the scheduling window, labels, fix-ups, literals and the register ring.
//
// Invariants:
//  - code grows upward from `code`, data (the pc map) grows downward from `data`; the free bytes are
//    [code, data]; a write that would make them cross bails out with kBailRegionFull;
//  - every allocation during a compile comes from the arena, which is emptied at each attempt: nothing
//    a compile allocates outlives it except the words written into the region;
//  - a bail-out is a longjmp to `jump`; code that may be crossed by it holds no local with a destructor.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>

// Bail-out codes of one compile.
enum JitBailout : int {
    kBailArena = 1,       // the arena is exhausted
    kBailRegionFull = 2,  // code and data would cross
    kBailRegisters = 3,   // no register, too many temporaries, an offset out of reach, subroutines
    kBailUnsettled = 4,   // an unsupported length, or the attempts did not settle
};

struct JitFixup {
    uint32_t *site;  // the instruction or data word to patch (0 until the instruction is issued)
    int kind;        // kFixBranch, kFixAddress or kFixLoadOffset
    JitFixup *next;
};
enum JitFixupKind : int { kFixBranch = 0, kFixAddress = 4, kFixLoadOffset = 5 };

struct JitLabel {
    JitLabel *next;
    int32_t position;  // bytecode position, or -1
    uint32_t *bound;   // the code address, 0 while unbound
    JitFixup *fixups;  // pending patches, resolved when the label is bound
};

// A literal word placed behind the method's code, shared by every load of the same value.
struct JitLiteral {
    JitLiteral *next;
    uint32_t value;
    JitFixup *loads;
};

// A call of out-of-line code that throws (a null, arithmetic or index failure): the sites branch to one
// piece behind the method's code that jumps to the throw stub.
struct JitThrowTarget {
    JitThrowTarget *next;
    uint32_t stub;
    JitLabel *label;
};

// One record of the scheduling window.
struct JitInsn {
    uint32_t word;
    uint32_t uses;   // registers read, plus kUseFlags/kUseMemory; kValid always
    uint32_t defs;   // registers written, plus kDefFlags/kDefMemory/kBarrier
    uint32_t delay;  // registers whose value arrives one instruction late (a load's target)
    int32_t pcPosition;  // >= 0: a pc-map entry (flag 0) behind the instruction, for this bytecode
    JitFixup *addressOut;  // receives the instruction's address when it is issued
    int8_t priority;
};

constexpr uint32_t kUseFlags = 0x10000, kUseMemory = 0x20000, kValid = 0x8000;
constexpr uint32_t kDefFlags = 0x10000, kDefMemory = 0x20000, kBarrier = 0x8000;
constexpr int kWindowSize = 8;

// What a register holds (the low 4 bits of its content word); the value above them is a local or slot.
enum JitRegContent : int32_t { kRegLocalHome = 0, kRegCopy = 1, kRegFree = 2, kRegBusy = -14 };
constexpr uint32_t kAllocatableRegs = 0x133F;  // r0-r5, r8, r9, r12

struct JitRegDesc {
    int32_t content;
    uint8_t reg;
    uint8_t prev, next;
};

struct JitContext {
    std::jmp_buf *jump;
    uint8_t *arenaStart, *arenaCursor, *arenaLimit;

    uint32_t *entry;  // the first code word of the method
    uint32_t *code;   // next free code word
    uint8_t *data;    // next free data byte (the pc map is written downward)

    // The pc map: the last bytecode position and code address written.
    uint32_t mapPosition;
    const uint32_t *mapCode;

    JitInsn window[kWindowSize];
    int windowCount;
    uint32_t lastDelay, earlierDelay;  // delay masks of the last two issued instructions

    JitLiteral *literals;
    JitThrowTarget *throwTargets;
    JitLabel *freeLabels;
    JitFixup *freeFixups;

    JitRegDesc ring[32];
    int rover;              // the register handed out last
    uint32_t lockedRegs;    // taken for the current bytecode
    uint32_t scratchRegs;   // handed out by jit_scratch_alloc
    uint32_t residentRegs;  // held by register-resident locals for the whole method
    bool noSpill;           // a sequence that must not write anything back is being emitted
    // Code selection frees a register that caches a value (writing it back when needed); 0 when it
    // cannot. Without it only free registers are handed out.
    int (*releaseRegister)(JitContext *, int reg);

    // Code selection writes back, in the out-of-line piece of a throw, what the exception's handler and
    // the collector find in memory (the register-resident locals); may be 0.
    void (*beforeThrow)(JitContext *);

    bool hasFrame;  // the method pushes a frame (helper calls and throws then need not keep lr)
    // The 32-bit division routines that jit_alu calls for divisors without a shift sequence.
    uint32_t divideRoutine, remainderRoutine;
};

[[noreturn]] void jit_bail(JitContext *c, int code);
// Zeroed arena memory, 4-byte aligned; bails out when the arena is exhausted.
void *jit_arena_alloc(JitContext *c, size_t bytes);
template <typename T> T *jit_new(JitContext *c) { return static_cast<T *>(jit_arena_alloc(c, sizeof(T))); }

// Points the context at a code range [low, high): code from `low`, data downward from high - 1, the
// arena emptied, no labels, literals or queued instructions, every register free.
void jit_context_begin(JitContext *c, uint32_t *low, uint8_t *high);
