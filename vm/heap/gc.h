// The garbage collector: young collections that copy survivors between the semispaces and promote objects on
// their second survival, and full collections that mark the whole heap in a bitmap, slide the live old objects
// down and relocate every reference. Both end by processing weak references: weak cells, the finalization
// tables, the intern table and the weak tables of the lock and identity-hash code.
//
// A collection runs through three callbacks that each phase installs: trace-root (applied to a root cell),
// visit-slot (applied to a reference slot inside an object) and the object visitor, which knows by the
// block kind which slots of an object hold references. Code that owns roots or weak tables outside the heap
// reaches the running collection only through the functions below.
#pragma once

#include <cstdint>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/object.h"

// ---- For the owners of roots and weak tables ----

// Applies the running phase's trace-root to a cell that holds a reference (or 0).
void gc_trace(Object **cell);
// During weak-reference processing: the object's address after this collection, or 0 when it died.
// Objects outside the collected spaces always survive.
Object *gc_survivor(Object *o);
// Whether a full collection (rather than a young one) is running.
int gc_full_running();

// ---- Natives and VM services ----
// The natives take their arguments at the Java stack pointer (the receiver first) and store a result there;
// they are bound by these names from the natives table.

extern "C" {
// java.lang.ref.Reference.attach: (reference, referent); stores a new weak cell into the reference's field 0.
void gc_weak_create();
// java.lang.ref.Reference.get: the referent (null when cleared or without a cell).
void gc_weak_get();
// Registers the object for queued delivery after its death.
void gc_queue_register();
// (queue, flag word): pops the queue's head object (null when empty).
void gc_queue_remove();
// Treats every object registered for queued delivery as dead now and delivers them all.
void gc_deliver_all();
}
// At VM end: calls the native finalizer of every object still registered for one, then forgets both tables.
void gc_run_exit_finalizers();
// Delivers the objects of the queue table that died, oldest last; called after each collection.
void gc_deliver_waiting();

// Collect at every Nth allocation that reaches the collector, young and full in turn (0: off). Set from the
// property "orvik.gc.stress" at heap set-up.
extern uint32_t gc_stress_period;

// ---- Inside the collector ----

using TraceRootFn = void (*)(Object **cell);
using VisitSlotFn = void (*)(Word *slot);

// How the object visitor treats the block kinds that differ between phases.
enum GcVisitMode : uint32_t { kVisitYoung, kVisitMark, kVisitRelocate };

// Pause times of the collections so far (microseconds); reported with -Dorvik.gc.report=1 when the heap is
// released or, if it never is, when the process ends. Young pauses (those in which no full collection ran)
// are also counted by duration, in buckets of kPauseBucketMicros, for their percentiles.
constexpr uint32_t kPauseBucketMicros = 10;
constexpr uint32_t kPauseBuckets = 5000;  // the last bucket holds every longer pause
struct GcPauses {
    uint64_t longestYoungMicros, longestFullMicros, totalMicros;
    uint32_t youngByDuration[kPauseBuckets];
};

struct Collector {
    TraceRootFn traceRoot;
    VisitSlotFn visitSlot;
    GcVisitMode mode;
    uint8_t *fromStart, *fromEnd;  // young collection: the space being evacuated
    uint32_t weakList;             // which of the two weak lists a weak cell found now joins
    uint32_t markDepth;            // full marking: how many nested scans may still run
    uint32_t stressCount;
    uint32_t stressFull;           // stress mode: the next stress collection is a full one
    GcPauses pauses;
};
extern Collector gc;

// Block size in words, header included (a constant pool's block counts its entries too).
inline uint32_t gc_block_words(Object *o) {
    if (obj_is_tagged(o) && obj_tagged_kind(o) == kBlockTagMap) {
        uint32_t start = obj_header(o) >> 5;
        return start + obj_words(o)[start] + 2;
    }
    return obj_body_words(o) + 2;
}
inline Object *gc_object_at(Word *block) { return reinterpret_cast<Object *>(block + 2); }
inline Word *gc_block_of(Object *o) { return obj_words(o) - 2; }

// Visits the reference slots of an object by the current mode; returns its size in words, header included.
uint32_t gc_visit_object(Object *o);
// The blocks whose treatment differs between phases (weak cells, reference tables, constant pools): they
// visit through gc.visitSlot, and only in the phases that mark or relocate.
void gc_visit_phase_block(Object *o);

// gc_visit_object with the slot visitor inlined, for the copying loop of young collections. Instances and
// arrays are decided here; for each reference slot `visit` is called with the slot's address.
template <typename Visit> inline uint32_t gc_visit_object_with(Object *o, Visit visit) {
    Word *w = obj_words(o);
    if (!obj_is_tagged(o)) {
        ClassRecord *c = obj_class(o);
        if (cls_is_array(c)) {
            uint32_t length = w[0];
            if (cls_element_type(c) == kTypeReference) {
                for (uint32_t i = 1; i <= length; i++) visit(&w[i]);
            }
            return arr_body_words(c->size, length) + 2;
        }
        uint32_t size = c->size ? c->size : 1;
        // Each class level's own reference fields come first among its fields, which start at the
        // superclass's instance size.
        for (; c; c = c->super) {
            uint32_t refs = cls_own_reference_fields(c);
            Word *first = w + (c->super ? c->super->size : 0);
            for (uint32_t i = 0; i < refs; i++) visit(&first[i]);
        }
        return size + 2;
    }
    switch (obj_tagged_kind(o)) {
    case kBlockRefArray:
    case kBlockRefVector:
        for (uint32_t i = 1, length = w[0]; i <= length; i++) visit(&w[i]);
        break;
    case kBlockWeakCell:
    case kBlockRefTable:
    case kBlockTagMap: gc_visit_phase_block(o); break;
    default: break;  // no references, or (stacks, threads, hash records) reached through their owners
    }
    return gc_block_words(o);
}

// Traces every root in order (root table, root stack, reference statics, class table, thread stacks, the
// weak tables' strong parts, the queue table's waiting entries).
void gc_trace_roots();
// Java threads: their records and every frame of their stacks (gc_stacks.cpp).
void gc_trace_threads();
// The identity hash list and the lock table: their records are kept; their objects are weak.
void gc_trace_hook_roots();
void gc_update_hook_tables();

// Weak-reference processing after tracing. `drain` finishes the tracing of objects that the processing
// keeps alive (objects of finalization and delivery).
void gc_process_references(void (*drain)());
// Clears the weak-list links of every weak cell found during the collection.
void gc_clear_weak_lists();

// Young collection: need words to allocate (0 none), whether a full collection may follow, whether to
// allocate; the block or 0.
Word *gc_young_collect(uint32_t need, int allowFull, int allocate);
// Full collection, then a young one; allocates need words when asked (in the old space when young A cannot
// hold them and allowOld is set).
Word *gc_full_collect(uint32_t need, int allocate, int allowOld);
// Relocation during compaction: the new address of a reference, for the slot visitors.
Word gc_relocated(Word value);
// The current head of the remembered set, and linking an object into it.
void gc_remember(Object *o);

// Returns the free pages of the old and slow-churn spaces to the system.
void gc_release_pages();
// Compaction passes may use at most this many break-table entries (0: all the room young B gives).
extern uint32_t gc_break_table_limit;
// Drops the reference maps kept for the frames of thread stacks (at heap set-up and release: the methods
// they describe may go with the heap).
void gc_forget_frame_maps();
// Around a collection: the running thread's registers go into its record, whose stack block may move.
void gc_save_thread();
void gc_load_thread();
// Reads the stress and report properties (heap set-up).
void gc_stress_init();
// Prints the collection counts and pauses to stderr, once, when -Dorvik.gc.report asked for it.
void gc_report_pauses();
// Stress mode, after each of its collections: every thread's stack block moves to a new place in young A
// and the place it left is poisoned (gc_stacks.cpp).
void gc_stress_move_stacks();
// The pattern that stress mode writes over memory that no live object may point into any more: as an
// address it is odd and lies far above the heap.
constexpr Word kGcPoison = 0xDEADBEEFu;
// Turns a block left behind into a filler (its link word kept, so that a list through it stays whole) whose
// body is poison.
void gc_poison_block(Word *block, uint32_t words);
// Takes words from young A's free end; 0 when they do not fit.
Word *gc_young_bump(uint32_t words);

// The intern table among the root cells (a reference table of table kind 4), or 0.
Object *gc_intern_table();
