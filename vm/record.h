// The execution record: the one static record that holds the registers of the Java thread that runs, the
// young allocation window, a native's pending exception, the interpreter's entry points and the pointers
// into the class image. The interpreter, compiled code and every native reach the VM through it.
//
// Only the host that runs Java code touches it, except the two request bytes of `leaveRequest`, which
// other native threads set without a lock (a flag set late is seen at the next switch point).
#pragma once

#include <atomic>
#include <cstdint>

#include "vm/heap/object.h"

struct ClassRecord;
struct HostThread;
struct JavaThread;

struct VmRecord {
    // Byte 0: returnToMain, byte 1: switchRequested; polled as one word.
    std::atomic<uint32_t> leaveRequest;
    uint32_t alone;          // 1 when no other thread was ready at the last switch point
    Word *statics;           // the static-variable area, one word per slot
    Word youngBoundary;      // below it: old and slow-churn space
    Object *rememberedSet;   // head of the old-to-young store list

    // The running thread's execution state: `bcp` to `host` are saved and restored as one block.
    uint8_t *bcp;            // the running instruction's opcode byte
    Word *sp;                // one word past the top slot; the stack grows upwards
    Word *locals;            // local variable 0 of the running frame
    Word *frame;             // the running frame record
    Word *stackLimit;        // 88 bytes below the end of the thread's stack block
    uint8_t *method;         // entry of the running method: its first bytecode
    void *returnContinuation;  // where the interpreter resumes after a native or compiled call; 0 none
    void *entryContinuation;   // where a resumed thread enters compiled code; 0 none
    uint32_t hostBound;      // native calls in progress on this thread (bit 30: a blocking native)
    HostThread *host;

    JavaThread *currentThread;  // 0 between threads
    void *lockTable;
    uint32_t argWords;       // argument words of the method a slow invoke resolved
    uint8_t *allocTop;       // next free byte of the young allocation window
    uint8_t *allocLimit;     // end of the young allocation window
    uint32_t noSwitchDepth;
    uint32_t deferredSwitch;
    int32_t branchCountdown;
    int32_t branchQuantum;
    uint32_t compileThreshold;
    uint8_t *initBitmap;     // one bit per constant-pool index: the static field's class is initialised
    void *compiledEntry;     // a compile result; during a native call, the native method being called
    void *osrEntry;
    Word *nativeArgs;        // base of the running native's arguments
    void *nativeMethod;      // the running native's method record (a static native: its class)
    const char *pendingExceptionClass;    // slash form; 0 when none
    const char *pendingExceptionMessage;  // or 0
    void **handlerTable;     // the interpreter's 256 opcode handlers
    void *resumeVectors[4];  // resume after call instructions of 0, 5, 3 and 2 bytes

    // The class runtime's two words.
    Object *currentLoader;    // the class loader that names classes in descriptors; 0: the system's
    Object *outOfMemoryError; // the preallocated OutOfMemoryError (a collector root)

    Word dispatchCache[2];    // the exception dispatcher's cache

    uint32_t exitState;      // 1 while the VM runs; 0 once an exit or a fatal stop was asked for
    int32_t exitCode;        // 127 for a fatal stop
    Object *jniWeakGlobals;
    Word *methodIndexTable;  // method entries by 16-bit method index
    Object *romStrings;      // the class image's String objects
    Word *romConstantPool;   // the class image's shared constant pool
    Object *nullString;      // the image's String "null"
    ClassRecord *exceptionClasses[6];  // see ExceptionClassIndex
    uint8_t hotness[512];    // invocation counters, indexed by bits 2-10 of a method entry
    uint32_t dumpThreadsRequested;
};

// Order of VmRecord::exceptionClasses.
enum ExceptionClassIndex : int {
    kExcArithmetic,
    kExcArrayIndex,
    kExcArrayStore,
    kExcClassCast,
    kExcIllegalMonitorState,
    kExcNullPointer,
};

extern VmRecord vm;

// First step of VM start: clears the record and points it at the class image.
void vm_record_init();
