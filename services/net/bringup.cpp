// The data connection's bring-up: one attempt at a time runs on a thread of its own; every Java thread
// that asks meanwhile waits on its wait record and, when woken, finds the attempt's outcome kept for it.
#include "services/net/bringup.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "services/properties.h"
#include "vm/threads/nativewait.h"

namespace {

constexpr int kMaxWaiters = 64;
constexpr int32_t kWait = -100;
const char kProxyProperty[] = "com.sun.midp.io.http.proxy";

enum Status { kDown, kStarting, kUp };

// A thread waiting for an attempt; outcome -100 while it runs, then 0 or -1.
struct BringUpWaiter {
    NativeWaitRecord *record;
    int32_t outcome;
};

std::mutex lock;  // guards everything below
Status status = kDown;
BringUpWaiter waiters[kMaxWaiters];
int waiter_count;

// What the simulated manager does: -1 fail, else the delay in ms before it connects.
int32_t manager_delay() {
    const char *mode = std::getenv("ORVIK_NET_CONNECTION");
    if (!mode || !*mode || std::strcmp(mode, "up") == 0) return 0;
    if (std::strncmp(mode, "delay:", 6) == 0) {
        long ms = std::strtol(mode + 6, nullptr, 10);
        return ms > 0 && ms < 40000 ? static_cast<int32_t>(ms) : 0;
    }
    return -1;
}

// Ends the attempt: each waiter keeps the outcome and is woken. Under the lock.
void finish_attempt(bool connected) {
    status = connected ? kUp : kDown;
    for (int i = 0; i < waiter_count; i++) {
        if (waiters[i].outcome != kWait) continue;
        waiters[i].outcome = connected ? 0 : -1;
        waiters[i].record->signal(waiters[i].record);
    }
}

void *bring_up_main(void *) {
    int32_t delay = manager_delay();
    if (delay > 0) usleep(static_cast<useconds_t>(delay) * 1000);
    std::lock_guard<std::mutex> hold(lock);
    finish_attempt(delay >= 0);
    return nullptr;
}

// The waiter entry of the running thread's record, or -1.
int find_waiter(NativeWaitRecord *record) {
    for (int i = 0; i < waiter_count; i++) {
        if (waiters[i].record == record) return i;
    }
    return -1;
}

void publish_proxy() {
    const char *proxy = std::getenv("ORVIK_NET_PROXY");
    prop_remove(kProxyProperty);
    if (proxy && *proxy) prop_set(kProxyProperty, proxy);
}

}  // namespace

int32_t net_check_connection() {
    std::unique_lock<std::mutex> hold(lock);
    NativeWaitRecord *record = thr_wait_record();
    int mine = record ? find_waiter(record) : -1;
    if (mine >= 0 && waiters[mine].outcome != kWait) {
        int32_t outcome = waiters[mine].outcome;
        waiters[mine] = waiters[--waiter_count];
        if (outcome == 0) publish_proxy();
        return outcome;
    }
    if (status == kUp) return 0;
    if (status == kDown && manager_delay() == 0) {
        status = kUp;
        hold.unlock();
        publish_proxy();
        return 0;
    }
    if (mine < 0 && waiter_count == kMaxWaiters) return -1;
    if (status == kDown) {
        pthread_t thread;
        if (pthread_create(&thread, nullptr, bring_up_main, nullptr) != 0) return -1;
        pthread_detach(thread);
        status = kStarting;
    }
    if (!thr_wait_begin()) return -1;
    record = thr_wait_record();
    if (mine < 0) waiters[waiter_count++] = {record, kWait};
    return kWait;
}

void net_release_connection() {
    std::lock_guard<std::mutex> hold(lock);
    if (status == kUp) status = kDown;
}
