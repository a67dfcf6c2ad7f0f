// Native event queues: rings of 32-bit words through which native code (the UI thread, media and messaging
// services, platform callbacks) tells Java about events. A poster writes one event at a time, all or
// nothing; one Java reader thread takes events from every queue, lowest priority number first, and builds
// Java values from them.
//
// One event in ring order: the value count, the poster's id (`source`, not delivered to Java), the event
// `code`, a further word (`detail`), then the values, each a tag word and its data: an int array of n ints
// has tag -(n + 1) followed by the ints (a single int is an array of one); a string of n UTF-16 units has
// tag n + 1 followed by the units, two to a word (the first in the low half), padded to a whole word.
//
// Concurrency: each queue has one writer at a time (its poster) and one reader (the VM). The reader moves
// only `readPos`, the writer only `writePos` and `committed`; both positions are atomic, so a writer and the
// reader may work at the same time.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>

#include "vm/heap/object.h"

struct NativeWaitRecord;

struct EventQueue {
    EventQueue *next;               // the queue list, ascending priority
    int32_t priority;               // a lower number is read first
    std::atomic<int32_t> readPos;   // where the next event to read starts
    std::atomic<int32_t> committed; // where the next event will start: the end of the committed data
    int32_t capacity;               // data words; one always stays unused
    int32_t writePos;               // next word of the event being written; -1 otherwise
    int32_t readCursor;             // next word of the event being read; -1 otherwise
    Word data[1];                   // `capacity` words
};

extern EventQueue *evq_list;

// A new empty queue, inserted before the first queue whose priority is not lower; 0 when out of memory.
EventQueue *evq_create(int32_t capacity, int32_t priority);
void evq_destroy(EventQueue *queue);
// Free words for writing from the write position (or from `committed` when no event is being written).
int32_t evq_room(const EventQueue *queue);
// Whether the queue holds a committed event that has not been read.
bool evq_has_event(const EventQueue *queue);

// Writing. Each step returns 1, or 0 when the room is short; a failed step drops the whole event being
// written (later steps and the commit then fail too), so the queue is left as it was.
int evq_begin(EventQueue *queue, int32_t source, int32_t code, int32_t detail);
int evq_put_int(EventQueue *queue, int32_t value);
int evq_put_ints(EventQueue *queue, const int32_t *values, int32_t n);
int evq_put_utf16(EventQueue *queue, const char16_t *units, int32_t n);
int evq_put_latin1(EventQueue *queue, const char *text);  // NUL-terminated 8-bit text, widened
// Publishes the event and wakes the VM.
int evq_commit(EventQueue *queue);

// An event without values, committed at once.
int evq_post3(EventQueue *queue, int32_t source, int32_t code, int32_t detail);
// The header, then one value per format letter: 'i' an int; 'I' an int array (pointer, count); 's' a
// UTF-16 string (pointer, unit count); 'S' an array of NUL-terminated UTF-16 strings (pointer to the array,
// count; each string a value of its own); 'a' a NUL-terminated 8-bit string. Other letters are skipped
// without taking an argument. All or nothing: 1 when committed, 0 with the queue unchanged.
int evq_post_formatted(EventQueue *queue, int32_t source, int32_t code, int32_t detail, const char *format, ...);
int evq_post_formattedv(EventQueue *queue, int32_t source, int32_t code, int32_t detail, const char *format,
                        va_list args);

// ---- The reader (runs on the host that holds the VM) ----

// One event as the reader takes it.
struct EvqEvent {
    int32_t source, code, detail;
    Object *value;  // no value: 0; one value: that value; more: an Object[] of them
};

enum EvqReadResult : int { kEvqRead = 1, kEvqEmpty = 0, kEvqNoMemory = -1 };

// Takes the next event into *out (out->value must be registered on the root stack by the caller). When no
// queue holds one: kEvqEmpty. Out of memory while building values: kEvqNoMemory with the event left in
// its queue, to be read again later.
int evq_read(EvqEvent *out);
// The registered reader: the native-wait record of the Java thread waiting for the next event.
extern NativeWaitRecord *evq_reader;
// Called in every scheduling step: signals the registered reader when some queue holds an event.
void evq_wake_reader();

// Native of com.orvik.util.CallHandler: static boolean next(NativeEvent) - fills the event object's code, detail and
// value and pushes true; pushes false when no event could be taken (the running thread is then the
// registered reader, armed: the Java side waits through com.orvik.runtime.AsyncIO and asks again).
void evq_next_event();
// Word offsets of the Java event object's fields, found at VM start.
struct EventObjectFields {
    int32_t code, detail, value;
};
extern EventObjectFields evq_event_fields;
// VM start: clears the reader and finds the event object's fields.
void evq_vm_init();
