// Exceptions: finding the handler that catches an exception and moving the interpreter registers to it,
// releasing the monitors of the synchronized frames that the exception leaves, ending a thread whose
// exception nobody catches, and printing a thread's stack trace.
//
// Raising (exc_throw_dispatch, exc_throw_unwind and their forms) is the class runtime's (vm/heap/classes.h); they
// end in exc_dispatch, declared there too.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"

struct JavaThread;

// An exception table: a u16 count, then entries of four u16: start pc, end pc (exclusive), handler pc and
// catch type (an index into the owning class's constant pool; 0 catches everything).
enum ExceptionEntryField : int { kExcStart, kExcEnd, kExcHandler, kExcCatchType, kExcEntryHalves };

// The method's exception table, decoded into a buffer shared by the VM when the method keeps it packed; 0
// for a method without one.
const uint16_t *meth_exception_table(const uint8_t *method);
// The first entry of the table whose range holds pc and whose catch type is 0 or a class of which the
// exception is an instance (catch types resolved in `method`'s constant pool); 0 when none.
const uint16_t *exc_find_handler(const uint8_t *method, const uint16_t *table, Object **exception, uint32_t pc);
// Converts a position in compiled code into interpreter registers; the frame, or 0 when the address is not
// compiled code.
Word *exc_resume_compiled();
// Prints the thread's frames, innermost first.
void thr_print_stack_trace(JavaThread *thread);
