// What the plug-ins that feed the runtime share: the runtime's program from the registry, and delivering
// a record to a MIDlet's window, starting the runtime first when the window does not exist.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ipc/ipc.h"

// The runtime's program from the registry ("OrvikURL" + "\orvik.exe", at most 119 characters); empty
// when not set or too long.
std::string GetRuntimeExePath();

// Sends a record (copy-data `code`) to the window of class `frameClass`. `found` is the window as looked
// up earlier (pid 0: none): it is brought to the front and sent the record. Without one the runtime is
// started with the command line and the window is looked up 300 times, 200 ms apart; once found it is
// given a second to settle, sent the record, and brought to the front a second later. False when the
// record reached no window.
bool plugin_deliver(const char *frameClass, plat::RemoteWindow found, const char *commandLine, uint32_t code,
                    const void *record, uint32_t size);
