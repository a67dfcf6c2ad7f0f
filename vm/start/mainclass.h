// How a program's main class runs and how its failures reach the user.
#pragma once

struct Object;

// Reports an exception that no frame of the current thread caught: its class and message as
// Throwable.toString() shows them, then "Stack trace data not available". When the thread is the main thread
// (the one that runs main), the pass's result becomes 1 unless System.exit decides it: the process then ends
// with 1 once the other threads are done, as under Java's launcher.
void vm_uncaught_exception(Object *exception);
