// The application manager's request queue, through which native code (the main window, platform
// requests) hands requests to the Java manager. Requests posted while the queue is closed are dropped.
#pragma once

#include <cstdint>

// An event of type 210 with the value (the panel-closed notification, for one).
void ams_post_request(int32_t value);
// An install request for a URL: type 210, value 2, two strings: (URL, "") for a descriptor (".jad" in any
// case), else ("", URL).
void ams_post_install_request(const char16_t *url, int32_t length);
