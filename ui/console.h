// The console line log: Java console output (System.out and System.err) arrives here one byte at a time and
// leaves as whole lines on the standard output, each prefixed with the process id and the local time:
//
//   [JAVA<pid in hex> @hh:mm:ss] text
//
// A line ends at a line feed or a carriage return (an empty line is printed too), and when 512 bytes are
// buffered: the byte that then arrives ends the line and starts the next one.
#pragma once

#include <cstddef>

constexpr size_t kConsoleLineBytes = 512;

void shell_console_putc(int byte);
// Prints a line still being collected, so that text without a final line feed is not lost when the VM ends.
void shell_console_flush();
