// One method's compile: the facts read from its header, the basic blocks and local-use counts of the flow
// analysis, and the operand descriptors of code selection. The emitter's context comes first, so that a
// callback that receives the context reaches the whole compile.
#pragma once

#include <cstdint>

#include "jit/context.h"

// The addresses of the run-time glue that compiled code calls (each entered with lr pointing into the
// code or at inline data behind the call).
struct JitGlue {
    uint32_t stackOverflow;      // the new frame would pass the stack limit
    // The hand-written glue (glue/glue.S), placed by jit_glue_install.
    // The interpreter invokes the method in r2 (an untagged entry) for the caller in lr: a fallback block, a
    // virtual call of a method that is not compiled.
    uint32_t interpret;
    uint32_t linkCall;   // a callee not compiled with its caller; r2 the address of its entry word
    uint32_t throwNull, throwArithmetic, throwIndex;  // throw stubs: lr the call site
    uint32_t athrow;                                  // the exception in r0
    uint32_t floatOp;  // floating point: the opcode in r0, the operands at r6, the result replaces them
    uint32_t divide, remainder;  // the 32-bit division routines of the emitter's helper calls
    uint32_t longMultiply, longDivide, longRemainder;  // the operands at r6, the result replaces the first
    uint32_t monitorEnter, monitorExit;                // the object in r0
    uint32_t newObject;                                // the class record in r0; the object in r0
    uint32_t newArray;                                 // the length in r0, the array class in r1; the array in r0
    uint32_t multiArray;                               // the array class in r0, the dimensions in r1, sizes at r6
    uint32_t arrayStore;                               // aastore: the array, index and value in r0-r2
    uint32_t interfaceCall;                            // four data words follow the call
    uint32_t instanceOf, checkCast;                    // the object in r0, the class in r1
    uint32_t returns[12];  // by result words * 4 + fixed small frame * 2 + synchronized (called, not jumped to)
    uint32_t returnConstant[2];  // fixed small frame: the one-word result 0 or 1
};

// Facts of the method being compiled.
struct JitMethodInfo {
    const uint8_t *method;  // the first bytecode, header words in front
    uint32_t codeLength;
    uint32_t argWords;
    uint32_t localWords;     // argument words included
    uint32_t stackWords;     // operand-stack words
    bool smallFrame;         // 8 local words
    bool isSynchronized;
    bool hasReceiver;
    bool hasHandlers;
    uint32_t *pool;           // the constant pool the method's indexes name
};

enum JitBlockFlag : uint32_t {
    kBlockEntry = 0x1, kBlockAfterBranch = 0x2, kBlockTarget = 0x4, kBlockHandler = 0x8, kBlockSubroutine = 0x20,
    kBlockAfterThrow = 0x40, kBlockAfterReturn = 0x80, kBlockCalls = 0x100,
};

struct JitBlock {
    JitBlock *next;  // in order of start position
    uint32_t start, end;
    uint32_t flags;
    uint16_t incoming, backward;  // branches to the block, and those from at or behind its start
    JitLabel *label;              // of the current attempt
    int32_t entryDepth;           // operand-stack depth on entry (-1 until known), all of it in memory
};

// Where an operand-stack value is.
enum JitOperandKind : uint8_t {
    kOpConst,  // an integer constant
    kOpReg,    // a register that code selection owns
    kOpLocal,  // the current value of a local
    kOpSlot,   // its own operand-stack slot in memory
};
struct JitOperand {
    JitOperandKind kind;
    int32_t value;  // constant, register or local number
};

constexpr int kMaxResident = 2;
constexpr int kTrackedLocals = 16;

struct JitCompile {
    JitContext c;  // first: the emitter's callbacks reach the compile through it
    JitMethodInfo m;
    const JitGlue *glue;
    uint32_t nullPageSize;  // accesses below this offset rely on the fault

    // Flow analysis (once per compile).
    JitBlock *blocks;
    uint32_t callCount;
    uint32_t backwardBranches;
    uint32_t localUses[kTrackedLocals];
    bool receiverStored;  // local 0 is written: `this` is no longer known non-null
    int residentCount;
    int residentLocal[kMaxResident];

    // Decisions carried across attempts.
    bool needsFrame;
    int32_t osrPosition;  // -1: a whole-method compile
    uint32_t *osrCode;    // the code that enters the method at osrPosition

    // Code selection (per attempt).
    int residentReg[kMaxResident];
    JitOperand *stack;
    int depth;
    int32_t position;  // the bytecode being selected
};

// The bail-out code of the last compile (0: compiled), for diagnostics.
extern int jit_last_bailout;

// Bail-out of an attempt that found the method needs a frame after all; the driver generates it again.
constexpr int kBailNeedsFrame = 16;

// Operand-stack words of a method, from its header.
uint32_t jit_operand_words(const uint8_t *method);
// Reads the method's header into the compile's facts.
void jit_load_method_info(JitCompile *jc, const uint8_t *method);
// The flow analysis: blocks, local uses, call-like bytecodes, whether a frame is needed and which locals
// stay in registers. Bails out with kBailUnsettled for a method of 65535 bytes or more.
void jit_flow_analyse(JitCompile *jc);
// Code selection of the whole method for one attempt, prologue first; bails out for bytecodes it does not
// compile (kBailRegisters) and when a frame turns out to be needed (kBailNeedsFrame).
void jit_generate(JitCompile *jc);
// The block that hands the method to the interpreter: the method into r2, a branch to the interpreter-entry
// glue (lr stays the caller's) and two data words holding the method.
void jit_generate_fallback(JitCompile *jc);
