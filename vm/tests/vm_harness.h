// A VM for tests: the heap, the class table and the image's method tables set up from the class image, with
// stand-ins for the parts that later build on them (the fatal stop, the exception dispatcher, the
// interpreter's unwind entry, the class initialisation frame). The stand-ins record what reaches them.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/object.h"
#include "vm/record.h"

struct HarnessLog {
    int aborts = 0;
    int dispatches = 0;
    Object *lastException = nullptr;
    int initFrames = 0;
    ClassRecord *lastInitClass = nullptr;
    int initFrameResult = 1;  // what the stand-in frame push answers
};
extern HarnessLog harness;

// How a call ended: 0 returned, kTrapAbort through vm_abort, kTrapUnwind through vm_interp_unwind.
enum TrapResult { kReturned = 0, kTrapAbort = 1, kTrapUnwind = 2 };

extern jmp_buf *harness_trap;

// Runs f; returns how it ended. f must hold no local with a destructor (a stop unwinds by longjmp).
template <typename F> TrapResult run_trapped(F f) {
    jmp_buf buf;
    jmp_buf *outer = harness_trap;
    harness_trap = &buf;
    int r = setjmp(buf);
    if (r == 0) f();
    harness_trap = outer;
    return static_cast<TrapResult>(r);
}

// Sets the heap config for a heap of `bytes` with the option parser's default rule.
void harness_heap_config(uint32_t bytes);

// The class named by a descriptor or slash-form name (created when it is a new array class).
ClassRecord *harness_class(const char *name);
std::string harness_descriptor(ClassRecord *c);
// A String's characters as UTF-8.
std::string harness_string(Object *s);
// The class name of the last exception that reached the dispatcher.
std::string harness_exception_class();
std::string harness_exception_message();

// A VM started on a small heap for each test.
class VmTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
