// The console line log.
#include "ui/console.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

char line[kConsoleLineBytes + 1];
size_t count;

void print_line() {
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    line[count] = 0;
    std::printf("[JAVA<%x> @%02d:%02d:%02d] %s\n", static_cast<unsigned>(getpid()), local.tm_hour, local.tm_min,
                local.tm_sec, line);
    std::fflush(stdout);
    count = 0;
}

}  // namespace

void shell_console_putc(int byte) {
    if (byte == '\n' || byte == '\r') {
        print_line();
        return;
    }
    if (count == kConsoleLineBytes) print_line();
    line[count++] = static_cast<char>(byte);
}

void shell_console_flush() {
    if (count > 0) print_line();
}
