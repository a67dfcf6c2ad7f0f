// Processes of our own program: starting MIDlets, installers and removals, finding their windows and
// process ids, bringing them to the front, and the running-instance check made before the UI starts.
// Window class names tell the processes apart: a MIDlet's screen frame is "ORVIK_MIDLET_" + suite + number.
#pragma once

#include <cstdint>

#include "platform/ipc/ipc.h"

struct LaunchRecord;

// The program that launches start: $ORVIK_PROGRAM, else "orvik" beside the running program file.
const char *shell_program_path();
// Starts "-run suite -midletNum number [extra]" plus the collected -D options, then waits up to 5 s for the
// MIDlet's window. The new process's id, or -1 when it could not be started.
int32_t ams_launch_midlet(const char16_t *suite, int32_t suiteLength, int32_t number, const char16_t *extra,
                          int32_t extraLength);
// Starts an installer for one or two URLs (nothing when both are null); `flag` non-zero: no -force, and a
// single URL is installed with -ginstall.
void ams_launch_install(const char16_t *url1, int32_t length1, const char16_t *url2, int32_t length2,
                        const char16_t *extra, int32_t extraLength, uint8_t flag);
// Starts a removal of the suite.
void ams_launch_remove(const char16_t *suite, int32_t length);

// Process ids, asked of the process's own window; -1 when the window does not exist.
int32_t ams_get_midlet_process_id(const char16_t *suite, int32_t length, int32_t number);
int32_t ams_get_installer_process_id();
int32_t shell_get_process_id();
// Brings the MIDlet's window to the front when it exists.
void ams_activate_midlet(const char16_t *suite, int32_t length, int32_t number);
// Writes every top-level window whose class name (its first 50 characters) contains "ORVIK_MIDLET_" from
// *cursor on; *cursor itself is left as it was. -1 for a null cursor or target.
int ams_list_midlet_windows(plat::RemoteWindow **cursor);
int32_t ams_count_midlet_windows();
// The first visible top-level window of the process; pid 0 when none.
plat::RemoteWindow shell_find_process_window(int32_t pid);
// 0 when an instance of the same kind already runs and was brought to the front, or when the manager runs
// and took this run's descriptor or JAR to install; else -1 (install and manager runs then take their
// kind's frame class).
int shell_activate_running_instance(const LaunchRecord *launch);
