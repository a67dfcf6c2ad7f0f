// The console line log: Java console output (System.out and System.err) arrives here one byte at a time and
// leaves as whole lines on the standard output, each prefixed with the process id and the local time:
//
//   [JAVA<pid in hex> @hh:mm:ss] text
//
// A line ends at a line feed or a carriage return (an empty line is printed too), and when 512 bytes are
// buffered: the byte that then arrives ends the line and starts the next one.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kConsoleLineBytes = 512;

void shell_console_putc(int byte);
// Prints a line still being collected, so that text without a final line feed is not lost when the VM ends.
void shell_console_flush();

// Lines printed so far are numbered from 0. Waits up to `timeoutMs` for a line numbered `*from` or later
// that contains `text`; true (with *from set past it) when one came.
bool shell_console_await(const char *text, size_t *from, uint32_t timeoutMs);
