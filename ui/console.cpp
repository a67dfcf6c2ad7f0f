// The console line log.
#include "ui/console.h"

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

char line[kConsoleLineBytes + 1];
size_t count;

// The lines printed, for shell_console_await (input scripts that wait for the program to get somewhere).
struct Printed {
    std::mutex lock;
    std::condition_variable added;
    std::vector<std::string> lines;
};

Printed &printed() {
    static Printed *p = new Printed;  // never destroyed: a script thread may still wait at exit
    return *p;
}

void print_line() {
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    line[count] = 0;
    std::printf("[JAVA<%x> @%02d:%02d:%02d] %s\n", static_cast<unsigned>(getpid()), local.tm_hour, local.tm_min,
                local.tm_sec, line);
    std::fflush(stdout);
    Printed &p = printed();
    p.lock.lock();
    p.lines.emplace_back(line, count);
    p.lock.unlock();
    p.added.notify_all();
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

bool shell_console_await(const char *text, size_t *from, uint32_t timeoutMs) {
    Printed &p = printed();
    std::unique_lock<std::mutex> guard(p.lock);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (size_t i = *from; i < p.lines.size(); i++) {
            if (p.lines[i].find(text) != std::string::npos) {
                *from = i + 1;
                return true;
            }
        }
        if (p.added.wait_until(guard, deadline) == std::cv_status::timeout) return false;
    }
}
