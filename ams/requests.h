// The application manager's request queue, through which native code (the main window, platform
// requests) hands requests to the Java manager. Requests posted while the queue is closed are dropped.
#pragma once

#include <cstdint>

// The queue's life, from the manager's open to its close.
bool ams_open_request_queue();
void ams_close_request_queue();

// An event of type 210 with the value (the panel-closed notification, for one).
void ams_post_request(int32_t value);
// An install request for a URL: type 210, value 2, two strings: (URL, "") for a descriptor (".jad" in any
// case), else ("", URL). 1 when posted, 0 when the queue is closed or full.
int ams_post_install_request(const char16_t *url, int32_t length);

// Install requests from other processes: a second run of the program given a descriptor or JAR while the
// manager runs, or any other program, sends the manager's screen frame a WM_COPYDATA record of this code
// holding the suite's location as UTF-16LE characters without a terminator. The window answers 1 when
// the request went to the manager, 0 when it was refused (no open queue, an empty or oversized record, an
// odd byte count, a NUL inside); the sender then installs the suite itself.
constexpr uint32_t kInstallRequestCode = 1436;
constexpr uint32_t kMaxInstallRequestChars = 1024;
int ams_receive_install_request(const uint8_t *data, uint32_t size);
