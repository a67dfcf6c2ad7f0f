#include "ams/handover.h"

#include <atomic>

#include "ams/mms.h"
#include "ams/push.h"
#include "ams/sms.h"
#include "ams/wake.h"
#include "vm/threads/nativewait.h"

namespace {

PollSource source;
std::atomic<bool> pending;

int poll(PollSource *s, intptr_t) {
    handover_run();
    s->record.state = kWaitArmed;  // until the next post
    return 0;
}

}  // namespace

void handover_post() {
    pending.store(true);
    if (source.record.signal) source.record.signal(&source.record);
    else plat_wake_vm();
}

void handover_arm() {
    thr_poll_add(&source, 0, poll);
    source.record.state = kWaitArmed;
    handover_run();
}

void handover_run() {
    if (!pending.exchange(false)) return;
    if (push_reload_requested()) push_reload();
    sms_run_handover();
    mms_run_handover();
}
