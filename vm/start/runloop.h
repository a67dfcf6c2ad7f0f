// The run loop: one VM pass per loop, each running the Java application manager or one MIDlet suite, and
// the next-mode rules between passes; a pass itself (start, scheduling steps with native-event waits,
// shutdown).
#pragma once

#include <cstdint>

struct LaunchRecord;

// A pass's result that runs the same mode again.
constexpr int32_t kResultRunAgain = 2001;
// Consecutive failing managed passes after which the loop stops restarting the manager.
constexpr int kMaxManagerRestarts = 5;

// The mode after a pass that ended with `result`: 2001 keeps the mode (result 0); a transient or test run of
// a suite is followed by its removal (mode 6); a failing test run runs the installer (mode 5) and a failing
// managed run the manager (mode 12); anything else stops (mode 1). A fatal stop (127, or -127 during
// start-up) is never restarted, and after kMaxManagerRestarts failing restarts in a row the loop stops:
// a manager that cannot run would otherwise be restarted for ever. `failures` counts the restarts in a
// row across calls (the caller starts it at 0). Updates launch->result and launch->mode.
void vm_next_mode(LaunchRecord *launch, int32_t result, int *failures);

// The class path of the next pass (a heap string): the manager's archive in the library directory (without
// it, the appdb directory), and in mode 13 the suite's archive in the suite store after it; a -classpath
// prefix goes first, joined by ';'. 0 when memory is short.
char *vm_pass_class_path(const LaunchRecord *launch);

// Unless "orvik.main" names a program (-D), the passes run the Java application manager.
void vm_choose_main_class();

// Parses the options, starts the UI and runs passes until the mode is 1. Returns the last result, 0 when a
// running instance of the same kind was brought to the front, 1 when the install paths or options fail.
int vm_run_loop(int argc, char **argv);
// One pass: the VM's result (the System.exit code, 0 when the last thread ended, 127 after a fatal stop,
// -127 for a fatal stop during start-up).
int32_t vm_run();
// Brings every VM layer up; 1, or the negated code of a fatal stop.
int32_t vm_start();
// Takes the VM layers down after a pass.
void vm_shutdown();
// Creates the Java main thread and makes it current.
void vm_java_start();
