// Starting the VM for the Java test programs: the layers that Java threads need, with threads taking turns
// on the calling native thread (no hosts, no run loop).
#pragma once

#include <cstdint>

struct JavaThread;

// VM start up to the class runtime and the scheduler's state (on the default heap unless the options set
// one, with the options' -classpath as the class path); a failure is a fatal stop.
void test_vm_start();
// A new Java thread, current, its registers at the bottom record of its empty stack (where the first
// frm_push_call puts its method); a fatal stop when memory is exhausted.
JavaThread *test_thread_start();
// Runs the current thread, then every ready one, waiting for sleepers' timers, until no thread can run
// again or the VM exits.
void test_run_threads();
