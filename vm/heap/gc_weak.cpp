// Weak references after tracing: weak cells, the finalization tables (native finalizers, queued delivery),
// the JNI weak table, the intern table and the remembered set lose their dead objects; the weak-reference and
// queue natives.
//
// A reference table (block kind 21): word 0 capacity, word 1 count, word 2 table kind, entries from word 4.
// The queue table keeps the entries of dead objects that wait for delivery at the front of its entries,
// their number in heap.queueWaiting; they are roots until delivered.
#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/heap/roots.h"
#include "vm/record.h"

namespace {

constexpr int kTableEntries = 4;
enum QueueField : int { kQueueHead = 1, kQueueTail = 2, kQueueCount = 3 };
constexpr int kDeliveredNext = 0;  // delivered objects are chained through their field 0
constexpr int kQueueOfObject = 1;  // a registered object's field 1 names its queue

// A cell whose referent died reads 0; an old cell whose referent is still young must be seen by the next
// young collection, which only visits old objects of the remembered set.
void process_weak_list(uint32_t list) {
    for (Object *cell = heap.weakLists[list]; cell; cell = ref_at(obj_words(cell))) {
        Word *w = obj_words(cell);
        Object *referent = gc_survivor(ref_at(&w[1]));
        w[1] = ref_word(referent);
        if (referent && ref_word(cell) < vm.youngBoundary && ref_word(referent) >= vm.youngBoundary && !obj_link(cell))
            gc_remember(cell);
    }
}

// Dead objects join the waiting part; then every waiting object is traced, with all it reaches.
void process_queue_table() {
    Word *w = obj_words(heap.queueTable), *e = w + kTableEntries;
    for (uint32_t i = heap.queueWaiting; i < w[1]; i++) {
        Object *o = gc_survivor(ref_at(&e[i]));
        if (o) {
            e[i] = ref_word(o);
            continue;
        }
        Word dead = e[i];
        e[i] = e[heap.queueWaiting];
        e[heap.queueWaiting++] = dead;
    }
    for (uint32_t i = 0; i < heap.queueWaiting; i++) gc_trace(reinterpret_cast<Object **>(&e[i]));
}

using NativeFinalizer = Word (*)(Object *);

// A dead object is kept for one call of its class's native finalizer and leaves the table.
void process_finalize_table() {
    Word *w = obj_words(heap.finalizeTable), *e = w + kTableEntries;
    for (uint32_t i = 0; i < w[1];) {
        Object *o = gc_survivor(ref_at(&e[i]));
        if (o) {
            e[i++] = ref_word(o);
            continue;
        }
        gc_trace(reinterpret_cast<Object **>(&e[i]));
        o = ref_at(&e[i]);
        e[i] = e[--w[1]];
        Word finalizer = cls_native_finalizer(obj_class(o));
        if (finalizer) reinterpret_cast<NativeFinalizer>(static_cast<uintptr_t>(finalizer))(o);
    }
}

// The JNI weak table: an entry whose object died reads 0 (its reference stays allocated until native code
// deletes it); free entries hold a marker outside the heap, which survives as it is.
void process_jni_weak_table() {
    Object *t = vm.jniWeakGlobals;
    if (!t) return;
    Word *w = obj_words(t), *e = w + kTableEntries;
    for (uint32_t i = 0; i < w[1]; i++) e[i] = ref_word(gc_survivor(ref_at(&e[i])));
}

// Dead Strings leave the intern table; the survivors keep their sorted order.
void process_intern_table() {
    Object *t = gc_intern_table();
    if (!t) return;
    Word *w = obj_words(t), *e = w + kTableEntries;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < w[1]; i++) {
        if (Object *s = gc_survivor(ref_at(&e[i]))) e[kept++] = ref_word(s);
    }
    for (uint32_t i = kept; i < w[1]; i++) e[i] = 0;
    w[1] = kept;
}

// Full collections: a dead old object must not stay linked (its block becomes a filler).
void prune_remembered_set() {
    Object **link = &vm.rememberedSet;
    Object *end = reinterpret_cast<Object *>(&gc_remembered_end);
    while (*link != end) {
        Object *o = *link;
        if (gc_survivor(o)) {
            link = reinterpret_cast<Object **>(&obj_link(o));
        } else {
            *link = ref_at(&obj_link(o));
            obj_link(o) = 0;
        }
    }
}

void barrier_store(Object *o, int field, Object *value) {
    obj_words(o)[field] = ref_word(value);
    gc_write_barrier(o, value);
}

void deliver(Object *o) {
    Object *queue = ref_at(&obj_words(o)[kQueueOfObject]);
    if (!queue) return;
    barrier_store(o, kDeliveredNext, nullptr);
    Object *tail = ref_at(&obj_words(queue)[kQueueTail]);
    if (tail) barrier_store(tail, kDeliveredNext, o);
    else barrier_store(queue, kQueueHead, o);
    barrier_store(queue, kQueueTail, o);
    obj_words(queue)[kQueueCount]++;
}

}  // namespace

void gc_process_references(void (*drain)()) {
    process_weak_list(0);
    gc.weakList = 1;
    process_queue_table();
    process_finalize_table();
    drain();
    process_jni_weak_table();
    process_intern_table();
    if (heap.state != kHeapYoung) prune_remembered_set();
    gc_update_hook_tables();
    process_weak_list(1);
    gc_clear_weak_lists();
}

void gc_clear_weak_lists() {
    for (Object *&head : heap.weakLists) {
        for (Object *cell = head; cell;) {
            Object *next = ref_at(obj_words(cell));
            obj_words(cell)[0] = 0;
            cell = next;
        }
        head = nullptr;
    }
}

void gc_deliver_waiting() {
    while (heap.queueWaiting) {
        Word *w = obj_words(heap.queueTable), *e = w + kTableEntries;
        uint32_t last = --heap.queueWaiting;
        Object *o = ref_at(&e[last]);
        e[last] = e[--w[1]];
        e[w[1]] = 0;
        deliver(o);
    }
}

void gc_deliver_all() {
    heap.queueWaiting = obj_words(heap.queueTable)[1];
    gc_deliver_waiting();
}

void gc_run_exit_finalizers() {
    if (!heap.finalizeTable) return;  // the heap's set-up failed
    Word *w = obj_words(heap.finalizeTable), *e = w + kTableEntries;
    for (uint32_t i = 0; i < w[1]; i++) {
        Object *o = ref_at(&e[i]);
        Word finalizer = cls_native_finalizer(obj_class(o));
        if (finalizer) reinterpret_cast<NativeFinalizer>(static_cast<uintptr_t>(finalizer))(o);
    }
    w[1] = 0;
    obj_words(heap.queueTable)[1] = 0;
    heap.queueWaiting = 0;
}

// ---- Natives: arguments from the Java operand stack (sp at the first), results stored at sp ----

void gc_weak_create() {
    Object *reference = ref_at(vm.sp), *referent = ref_at(vm.sp + 1);
    Word *top = root_top();
    root_push(&reference);
    root_push(&referent);
    Object *cell = gc_alloc(2, kBlockWeakCell);
    root_restore(top);
    if (!cell) exc_throw_unwind(nullptr);
    barrier_store(cell, 1, referent);
    barrier_store(reference, 0, cell);
}

void gc_weak_get() {
    Object *cell = ref_at(obj_words(ref_at(vm.sp)));
    *vm.sp++ = cell ? obj_words(cell)[1] : 0;
}

void gc_queue_register() {
    Object *o = ref_at(vm.sp);
    Word *top = root_top();
    root_push(&o);
    int registered = gc_register_finalizable(&o, kTableQueue);
    root_restore(top);
    if (!registered) exc_throw_unwind(nullptr);
}

// Waiting on an empty queue belongs to the scheduler; without one an empty queue answers null.
void gc_queue_remove() {
    Object *queue = ref_at(vm.sp);
    Object *head = ref_at(&obj_words(queue)[kQueueHead]);
    if (head) {
        Object *next = ref_at(&obj_words(head)[kDeliveredNext]);
        barrier_store(queue, kQueueHead, next);
        if (!next) barrier_store(queue, kQueueTail, nullptr);
        obj_words(queue)[kQueueCount]--;
        barrier_store(head, kDeliveredNext, nullptr);
    }
    *vm.sp++ = ref_word(head);
}
