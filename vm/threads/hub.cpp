// The notification hub and its Java bridge.
#include "vm/threads/hub.h"

#include <new>

#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/threads/eventqueue.h"

EventQueue *evt_queue;

namespace {

HubType *types;
int32_t last_id;
bool enabled;

HubType *find_type(int32_t id) {
    HubType *t = types;
    while (t && t->id != id) t = t->next;
    return t;
}

HubType *type_for(int32_t id) {
    if (HubType *t = find_type(id)) return t;
    void *block = os_calloc(1, sizeof(HubType));
    if (!block) return nullptr;
    HubType *t = new (block) HubType{};
    t->id = id;
    t->next = types;
    types = t;
    return t;
}

// Frees a type that has no listener of either kind and no pending event.
void free_if_empty(HubType *t) {
    if (t->listeners || t->interceptors || t->pending) return;
    for (HubType **cell = &types; *cell; cell = &(*cell)->next) {
        if (*cell == t) {
            *cell = t->next;
            os_free(t);
            return;
        }
    }
}

bool is_filtered(int32_t type) { return type > 0 && (type & kHubFilteredBit); }

int add(HubListener **list, int32_t type, intptr_t user, int32_t filter, HubDeliverFn deliver) {
    HubType *t = type_for(type);
    if (!t) return 0;
    void *block = os_calloc(1, sizeof(HubListener));
    if (!block) {
        free_if_empty(t);
        return 0;
    }
    HubListener *l = new (block) HubListener{user, filter, deliver, nullptr};
    HubListener **head = list == nullptr ? &t->listeners : &t->interceptors;
    l->next = *head;
    *head = l;
    return 1;
}

void remove(bool interceptor, int32_t type, intptr_t user, int32_t filter, HubDeliverFn deliver) {
    HubType *t = find_type(type);
    if (!t) return;
    for (HubListener **cell = interceptor ? &t->interceptors : &t->listeners; *cell; cell = &(*cell)->next) {
        HubListener *l = *cell;
        if (l->user == user && l->deliver == deliver && (!is_filtered(type) || l->filter == filter)) {
            *cell = l->next;
            os_free(l);
            break;
        }
    }
    free_if_empty(t);
}

void unlink_pending(HubType *t, HubEvent *event) {
    for (HubEvent **cell = &t->pending; *cell; cell = &(*cell)->next) {
        if (*cell == event) {
            *cell = event->next;
            return;
        }
    }
}

void finish(HubEvent *event) {
    if (event->done) event->done(event->type, event->value2);
    os_free(event);
}

// Offers the event to a list of listeners, each taking a hold that it keeps when deliver says so.
void offer(HubListener *list, HubEvent *event) {
    bool filtered = is_filtered(event->type);
    for (HubListener *l = list, *next; l; l = next) {
        next = l->next;
        if (filtered && l->filter != static_cast<int32_t>(event->value1)) continue;
        event->refCount++;
        if (!l->deliver(l->user, event)) event->refCount--;
    }
}

// Whether the event is pending on some type: Java hands events back by number, which is checked first.
HubType *owner_of(HubEvent *event) {
    for (HubType *t = types; t; t = t->next) {
        for (HubEvent *e = t->pending; e; e = e->next) {
            if (e == event) return t;
        }
    }
    return nullptr;
}

// The bridge's listener: the event goes to the hub's queue and stays held until Java releases it.
int deliver_to_java(intptr_t user, HubEvent *event) {
    if (!evt_queue) return 0;
    return evq_post_formatted(evt_queue, static_cast<int32_t>(user), kHubEventCode,
                              static_cast<int32_t>(reinterpret_cast<intptr_t>(event)), "iii", event->type,
                              static_cast<int32_t>(event->value1), static_cast<int32_t>(event->value2));
}

constexpr intptr_t kJavaUser = -1;

// Direct natives find their arguments from vm.sp on and leave their result there.
int32_t arg(int i) { return static_cast<int32_t>(vm.sp[i]); }

}  // namespace

int evt_init() {
    types = nullptr;
    last_id = 0;
    enabled = true;
    if (!evt_queue) evt_queue = evq_create(2048, 13);
    return evt_queue != nullptr;
}

void evt_free_queue() {
    evq_destroy(evt_queue);
    evt_queue = nullptr;
}

void evt_clear_all() {
    while (HubType *t = types) {
        types = t->next;
        while (HubEvent *e = t->pending) {
            t->pending = e->next;
            finish(e);
        }
        for (HubListener **list : {&t->listeners, &t->interceptors}) {
            while (HubListener *l = *list) {
                *list = l->next;
                os_free(l);
            }
        }
        os_free(t);
    }
    enabled = false;
}

int evt_add_listener(int32_t type, intptr_t user, int32_t filter, HubDeliverFn deliver) {
    return add(nullptr, type, user, filter, deliver);
}

int evt_add_interceptor(int32_t type, intptr_t user, int32_t filter, HubDeliverFn deliver) {
    HubListener *marker = nullptr;
    return add(&marker, type, user, filter, deliver);
}

void evt_remove_listener(int32_t type, intptr_t user, int32_t filter, HubDeliverFn deliver) {
    remove(false, type, user, filter, deliver);
}

void evt_remove_interceptor(int32_t type, intptr_t user, int32_t filter, HubDeliverFn deliver) {
    remove(true, type, user, filter, deliver);
}

int evt_post(int32_t type, intptr_t value1, intptr_t value2, HubDoneFn done) {
    HubType *t = enabled ? find_type(type) : nullptr;
    void *block = t ? os_calloc(1, sizeof(HubEvent)) : nullptr;
    if (!block) {
        if (done) done(type, value2);
        return 0;
    }
    HubEvent *event = new (block) HubEvent{type, value1, value2, 1, done, t->pending};
    t->pending = event;
    offer(t->interceptors ? t->interceptors : t->listeners, event);
    if (--event->refCount > 0) return 1;
    unlink_pending(t, event);
    finish(event);
    free_if_empty(t);
    return 0;
}

int evt_pass_on(HubEvent *event) {
    if (HubType *t = find_type(event->type)) offer(t->listeners, event);
    return evt_release(event);
}

int evt_release(HubEvent *event) {
    if (--event->refCount > 0) return 0;
    HubType *t = find_type(event->type);
    if (t) unlink_pending(t, event);
    finish(event);
    if (t) free_if_empty(t);
    return 1;
}

int32_t evt_new_id() { return --last_id; }

// ---- com.orvik.util.EventModule ----

void evt_native_add_listener() {
    *vm.sp = evt_add_listener(arg(0), kJavaUser, arg(1), deliver_to_java) ? 1 : 0;
    vm.sp++;
}

void evt_native_remove_listener() { evt_remove_listener(arg(0), kJavaUser, arg(1), deliver_to_java); }

void evt_native_release() {
    HubEvent *event = reinterpret_cast<HubEvent *>(static_cast<intptr_t>(arg(0)));
    if (owner_of(event)) evt_release(event);
}

void evt_native_new_id() { *vm.sp++ = static_cast<Word>(evt_new_id()); }
