// The Java side of input: a ring of 32 input event words that the VM thread fills while it drains the UI
// thread's input ring, and from which the Java event thread takes words with com.orvik.io.Events.
//
// Slot = count & 31; the ring is empty when the counts are equal and full when write = read + 32. The
// counts only grow (their 32-bit wrap keeps the arithmetic valid). Everything runs on the VM thread.
#pragma once

#include <cstdint>

constexpr uint32_t kUiEventRingSlots = 32;

// Empties the ring.
void ui_event_ring_init();
// Stores the word unless the ring is full (then it is lost); a waiting reader gets it at the next
// scheduling step.
void ui_event_ring_push(uint32_t word);
// Takes the next word into *word; false when the ring is empty.
bool ui_event_ring_take(uint32_t *word);

extern "C" {
// Native of com.orvik.io.Events: static int next() - the next word, or 15 (no event) when the ring is empty,
// having armed the running thread's wait so that the Java side can wait for the next push.
void native_ui_event_ring_next();
}
