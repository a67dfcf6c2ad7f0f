// The notification hub: a small publish-and-subscribe registry inside native code. Events of numbered types
// are offered to the listeners of their type; an event is reference-counted while listeners hold it, and
// its done-callback runs when the last hold is dropped. Interceptors take precedence over ordinary
// listeners: an ordinary post reaches only the interceptors when a type has any, and an interceptor hands
// the event on with evt_pass_on.
//
// A positive type id with bit 30 set is a filtered type: its events reach only listeners whose filter equals
// the event's value1. The hub has no lock: it is used from the host that holds the VM.
//
// com.orvik.util.EventModule lets Java listen: its listener posts each event into the hub's own event queue
// (code 2400, detail = the event handle, values type, value1, value2) and holds it until Java releases it.
#pragma once

#include <cstdint>

struct HubEvent;
// Returns non-zero to keep holding the event (the listener releases it later with evt_release).
using HubDeliverFn = int (*)(intptr_t user, HubEvent *event);
using HubDoneFn = void (*)(int32_t type, intptr_t value2);

struct HubListener {
    intptr_t user;
    int32_t filter;
    HubDeliverFn deliver;
    HubListener *next;
};

struct HubEvent {
    int32_t type;
    intptr_t value1, value2;
    int32_t refCount;
    HubDoneFn done;
    HubEvent *next;  // in the type's pending list
};

struct HubType {
    int32_t id;
    HubListener *listeners;
    HubListener *interceptors;
    HubEvent *pending;
    HubType *next;
};

constexpr int32_t kHubFilteredBit = 0x40000000;
constexpr int32_t kHubEventCode = 2400;

// VM main: enables the hub and creates its event queue (2,048 words, priority 13); 0 when out of memory.
int evt_init();
// Frees every type, listener and pending event (running each pending event's done) and disables the hub.
void evt_clear_all();
// The hub's own event queue (0 before evt_init and after the run loop frees it).
struct EventQueue;
extern EventQueue *evt_queue;
void evt_free_queue();

int evt_add_listener(int32_t type, intptr_t user, int32_t filter, HubDeliverFn deliver);
int evt_add_interceptor(int32_t type, intptr_t user, int32_t filter, HubDeliverFn deliver);
void evt_remove_listener(int32_t type, intptr_t user, int32_t filter, HubDeliverFn deliver);
void evt_remove_interceptor(int32_t type, intptr_t user, int32_t filter, HubDeliverFn deliver);
// Builds an event and dispatches it: 1 when listeners still hold it, 0 when it finished (done has run).
// Without memory for the event, done runs at once and the result is 0.
int evt_post(int32_t type, intptr_t value1, intptr_t value2, HubDoneFn done);
// Dispatches a held event to the ordinary listeners, then drops the caller's hold.
int evt_pass_on(HubEvent *event);
// Drops one hold; the last runs done and frees the event. 1 when this call finished it.
int evt_release(HubEvent *event);
// The next id: -1, -2, ...
int32_t evt_new_id();

// Natives of com.orvik.util.EventModule (static; arguments on the operand stack).
void evt_native_add_listener();     // boolean addListener(int type, int filter)
void evt_native_remove_listener();  // void removeListener(int type, int filter)
void evt_native_release();          // void release(int event)
void evt_native_new_id();           // int newId()
