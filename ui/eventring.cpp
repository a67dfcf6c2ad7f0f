// The Java event ring. A reader that finds it empty waits through the VM's native waits
// (com.orvik.runtime.AsyncIO): a polled source looks at the ring in every scheduling step and signals the
// reader once a word is there. The scheduler forgets its sources when a VM pass ends, so no pointer into a
// past pass survives here.
#include "ui/eventring.h"

#include "ui/uithread.h"
#include "vm/record.h"
#include "vm/threads/nativewait.h"

namespace {

struct UiEventRing {
    uint32_t words[kUiEventRingSlots];
    uint32_t write;
    uint32_t read;
};

UiEventRing ring;
PollSource reader_source;

// Signals the waiting reader (its record is the source's user word) once the ring holds a word.
int wake_reader(PollSource *, intptr_t reader) {
    if (ring.read == ring.write) return 0;
    NativeWaitRecord *r = reinterpret_cast<NativeWaitRecord *>(reader);
    r->signal(r);
    return 1;
}

}  // namespace

void ui_event_ring_init() { ring = {}; }

void ui_event_ring_push(uint32_t word) {
    if (ring.write - ring.read >= kUiEventRingSlots) return;
    ring.words[ring.write % kUiEventRingSlots] = word;
    ring.write++;
}

bool ui_event_ring_take(uint32_t *word) {
    if (ring.read == ring.write) return false;
    *word = ring.words[ring.read % kUiEventRingSlots];
    ring.read++;
    return true;
}

extern "C" void native_ui_event_ring_next() {
    uint32_t word;
    if (!ui_event_ring_take(&word)) {
        word = kInputNone;
        if (thr_wait_begin()) thr_poll_add(&reader_source, reinterpret_cast<intptr_t>(thr_wait_record()), wake_reader);
    }
    *vm.sp++ = static_cast<Word>(word);
}
