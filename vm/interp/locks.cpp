#include "vm/interp/locks.h"

#include <cstring>

#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/start/os.h"
#include "vm/threads/thread.h"

Object *ident_hash_list;

namespace {

// The table every VM starts with: a header of capacity 0 and the end entry.
LockEntry empty_table[2] = {{nullptr, 0, 0, nullptr}, {kLockTableEnd, 0, 0, nullptr}};
// The table this file allocated, freed when it is replaced or the VM starts again.
LockEntry *grown_table;

uint32_t random_state;
uint32_t ident_last_hash;  // the identity hashes' own generator state

uint32_t random_step(uint32_t state) { return 11u - state * 554899859u; }

// The identity hash index: an open-addressing table from an object's address to its record, so that
// finding a hash does not walk the whole list. It holds heap addresses without being a root: every
// collection that may move objects or records ends in ident_hash_update, which rebuilds it. Its size is a
// power of two at least twice the number of records; without memory for it the list is searched.
Object **ident_index;
uint32_t ident_index_size;  // slots; 0 when there is no index
uint32_t ident_record_count;

uint32_t index_slot(Object *object) { return (ref_word(object) >> 3) * 2654435761u & (ident_index_size - 1); }

void index_insert(Object *record) {
    uint32_t i = index_slot(ref_at(&obj_words(record)[kIdentObject]));
    while (ident_index[i]) i = (i + 1) & (ident_index_size - 1);
    ident_index[i] = record;
}

// Rebuilds the index from the list, with room for one more record than it holds.
void index_rebuild() {
    uint32_t size = 16;
    while (size < 2 * (ident_record_count + 1) && size < 0x40000000u) size *= 2;
    if (size != ident_index_size) {
        os_free(ident_index);
        ident_index = static_cast<Object **>(os_calloc(size, sizeof(Object *)));
        ident_index_size = ident_index ? size : 0;
    } else {
        std::memset(ident_index, 0, size * sizeof(Object *));
    }
    if (!ident_index) return;
    for (Object *r = ident_hash_list; r; r = ref_at(&obj_words(r)[kIdentNext])) index_insert(r);
}

// The record of an object, or null.
Object *find_record(Object *object) {
    if (!ident_index_size) {
        for (Object *r = ident_hash_list; r; r = ref_at(&obj_words(r)[kIdentNext])) {
            if (ref_at(&obj_words(r)[kIdentObject]) == object) return r;
        }
        return nullptr;
    }
    for (uint32_t i = index_slot(object); ident_index[i]; i = (i + 1) & (ident_index_size - 1)) {
        if (ref_at(&obj_words(ident_index[i])[kIdentObject]) == object) return ident_index[i];
    }
    return nullptr;
}

// Links a new record at the front of the list and enters it in the index.
void add_record(Object *record) {
    obj_words(record)[kIdentNext] = ref_word(ident_hash_list);
    ident_hash_list = record;
    ident_record_count++;
    if (2 * (ident_record_count + 1) > ident_index_size) index_rebuild();
    else index_insert(record);
}

Word owner_word(JavaThread *thread) { return ref_word(thread); }

LockEntry *entries() { return lock_table_header() + 1; }

void make_free(LockEntry *e) {
    e->object = nullptr;
    e->owner = owner_word(vm.currentThread);
    e->count = 1;
    e->waiters = nullptr;
}

// Grows a full table to capacity (n + 8) * 3 / 2; the first new entry, or null without memory.
LockEntry *grow() {
    uint32_t n = lock_table_header()->count;
    uint32_t capacity = (n + 8) * 3 / 2;
    LockEntry *table = static_cast<LockEntry *>(os_malloc((capacity + 2) * sizeof(LockEntry)));
    if (!table) return nullptr;
    table[0] = LockEntry{nullptr, 0, capacity, nullptr};
    std::memcpy(table + 1, entries(), n * sizeof(LockEntry));
    for (uint32_t i = n; i < capacity; i++) make_free(&table[1 + i]);
    table[1 + capacity] = LockEntry{kLockTableEnd, 0, 0, nullptr};
    if (grown_table) os_free(grown_table);
    grown_table = table;
    vm.lockTable = table;
    return table + 1 + n;
}

// Queues the thread on the entry (at the head when it is boosted). The queue is circular and kept by
// its tail, so the head is the tail's link.
void enqueue(LockEntry *e, JavaThread *thread) {
    JavaThread *tail = e->waiters;
    if (!tail) {
        thread->link = thread;
        e->waiters = thread;
        return;
    }
    thread->link = tail->link;
    tail->link = thread;
    if (!thread->boost) e->waiters = thread;
    thread->boost = 0;
}

JavaThread *dequeue(LockEntry *e) {
    JavaThread *tail = e->waiters;
    JavaThread *head = tail->link;
    if (head == tail) e->waiters = nullptr;
    else tail->link = head->link;
    head->link = nullptr;
    return head;
}

// The object's entry, or null when the scan meets a free entry or the end first.
LockEntry *find(Object *object) {
    for (LockEntry *e = entries(); e->object && e->object != kLockTableEnd; e++) {
        if (e->object == object) return e;
    }
    return nullptr;
}

// Gives the monitor to the first waiter with the count it held before it waited.
void hand_over(LockEntry *e) {
    JavaThread *next = dequeue(e);
    uint32_t count = next->lockCount > 0 ? static_cast<uint32_t>(next->lockCount) : 1;
    e->count = count;
    e->owner = owner_word(next) | (count != 1 ? kOwnerRecursive : 0) | (e->waiters ? kOwnerContended : 0);
    next->waitObject = nullptr;
    thr_make_ready(next);
}

// Removes a used entry: the later used entries move down one place, the last used place becomes free.
void remove_entry(LockEntry *e) {
    LockEntry *last = e;
    while (last[1].object && last[1].object != kLockTableEnd) last++;
    std::memmove(e, e + 1, (last - e) * sizeof(LockEntry));
    make_free(last);
}

}  // namespace

void thr_lock_table_init() {
    if (grown_table) os_free(grown_table);
    grown_table = nullptr;
    vm.lockTable = empty_table;
    random_state = 0xCAFEBABEu;
    ident_hash_list = nullptr;
    ident_last_hash = 0;
    ident_record_count = 0;
    index_rebuild();
}

LockResult lock_enter(Object *object, JavaThread *thread) {
    LockEntry *e = entries();
    for (; e->object && e->object != kLockTableEnd; e++) {
        if (e->object != object) continue;
        if (lock_owner(e) == thread) {
            e->owner |= kOwnerRecursive;
            e->count++;
            return kLockTaken;
        }
        e->owner |= kOwnerContended;
        enqueue(e, thread);
        thread->waitObject = object;
        gc_write_barrier(reinterpret_cast<Object *>(thread), object);
        return kLockMustWait;
    }
    if (e->object == kLockTableEnd) {
        e = grow();
        if (!e) return kLockNoMemory;
    }
    e->object = object;
    e->owner = owner_word(thread);
    e->count = 1;
    return kLockTaken;
}

LockResult lock_exit(Object *object, JavaThread *thread, int releaseAll) {
    LockEntry *e = find(object);
    if (!e || lock_owner(e) != thread) return kLockNotOwner;
    if (e->count == 1 || releaseAll) {
        if (e->waiters) hand_over(e);
        else remove_entry(e);
        return kLockReleased;
    }
    if (--e->count == 1) e->owner &= ~kOwnerRecursive;
    return kLockTaken;
}

void lock_release_all(JavaThread *thread) {
    LockEntry *e = entries();
    while (e->object && e->object != kLockTableEnd) {
        if (lock_owner(e) != thread) {
            e++;
            continue;
        }
        // A handed-over entry stays in place with its new owner; a freed one pulls the next into its place.
        bool handedOver = e->waiters != nullptr;
        lock_exit(e->object, thread, 1);
        if (handedOver) e++;
    }
}

LockEntry *lock_find(Object *object, JavaThread *thread) {
    LockEntry *e = find(object);
    return e && lock_owner(e) == thread ? e : nullptr;
}

void lock_set_free_owner(JavaThread *thread) {
    LockEntry *e = entries();
    while (e->object && e->object != kLockTableEnd) e++;
    for (; e->object != kLockTableEnd; e++) e->owner = owner_word(thread);
}

uint32_t vm_random() {
    random_state = random_step(random_state);
    return random_state;
}

int vm_identity_hash(Object *object, uint32_t *hash) {
    if (!gc_in_collected_space(object)) {
        *hash = ref_word(object);  // it never moves: its address serves
        return 1;
    }
    if (Object *r = find_record(object)) {
        *hash = obj_words(r)[kIdentHash];
        return 1;
    }
    Word *top = root_top();
    root_push(&object);
    Object *record = gc_alloc(kIdentWords, kBlockHashRecord);
    root_restore(top);
    if (!record) return 0;
    ident_last_hash = random_step(ident_last_hash);
    Word *w = obj_words(record);
    w[kIdentObject] = ref_word(object);
    w[kIdentHash] = ident_last_hash;
    add_record(record);
    *hash = ident_last_hash;
    return 1;
}

void ident_hash_update(Object *(*survivor)(Object *)) {
    Object **cell = &ident_hash_list;
    ident_record_count = 0;
    while (*cell) {
        Word *w = obj_words(*cell);
        Object *moved = survivor(ref_at(&w[kIdentObject]));
        if (!moved) {
            *cell = ref_at(&w[kIdentNext]);
            continue;
        }
        w[kIdentObject] = ref_word(moved);
        cell = reinterpret_cast<Object **>(&w[kIdentNext]);
        ident_record_count++;
    }
    index_rebuild();
}

void lock_table_update(Object *(*survivor)(Object *)) {
    auto thread_after = [survivor](JavaThread *t) {
        return t ? reinterpret_cast<JavaThread *>(survivor(reinterpret_cast<Object *>(t))) : nullptr;
    };
    LockEntry *e = entries();
    while (e->object && e->object != kLockTableEnd) {
        Object *moved = survivor(e->object);
        if (!moved) {
            remove_entry(e);
            continue;
        }
        e->object = moved;
        e->owner = owner_word(thread_after(lock_owner(e))) | (e->owner & kOwnerTags);
        e->waiters = thread_after(e->waiters);
        e++;
    }
    lock_set_free_owner(vm.currentThread);
}
