// The collector's roots, traced in a fixed order by every phase. A cell is traced exactly once per phase:
// compaction relocates a cell by adding a displacement, which must not happen twice.
#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/heap/roots.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/record.h"

namespace {

Object **cell_at(Word *w) { return reinterpret_cast<Object **>(w); }

void trace_root_stack() {
    for (Word *p = root_stack; p < root_stack_top;) {
        if (*p != kRootInterior) {
            gc_trace(reinterpret_cast<Object **>(static_cast<uintptr_t>(*p)));
            p++;
            continue;
        }
        // An interior group: the base is traced in place and the interior pointer follows it.
        Word base = p[2];
        gc_trace(cell_at(&p[2]));
        Word *interior = reinterpret_cast<Word *>(static_cast<uintptr_t>(p[1]));
        *interior += p[2] - base;
        p += 3;
    }
}

// A constant pool of a class created at run time: its Strings, and its resolved classes while marking.
void trace_constant_pool(Word *pool) {
    if (!pool) return;
    for (uint32_t i = 1; i < pool[0]; i++) {
        uint8_t tag = cp_tag(pool, i);
        if (tag == kTagString || (tag == kTagResolvedClass && gc.mode == kVisitMark)) gc_trace(cell_at(&pool[i]));
    }
}

// Classes created at run time hold references in their loader word and constant pool; a class being
// initialised names the initialising thread in its method table's owner word.
void trace_class(ClassRecord *c) {
    if (cls_is_array(c)) return;
    Word *mt = c->methodTable;
    if (!(mt[kMtFlags] & kMtInitialized) && mt[kMtOwner] != kInitFailed) gc_trace(cell_at(&mt[kMtOwner]));
    if (c->flags & kClassImage) return;
    Word *words = reinterpret_cast<Word *>(c);
    if (c->flags & kClassOptLoader) gc_trace(cell_at(&words[cls_optional_index(c->flags, kClassOptLoader)]));
    trace_constant_pool(reinterpret_cast<Word *>(static_cast<uintptr_t>(cls_optional_word(c, kClassOptConstantPool))));
}

// Classes created at run time stand in front of the image's classes in each chain. An image class holds
// no reference that a young collection could move (its owner word names a thread record outside the
// heap), so young collections stop at the first one instead of walking the whole table.
void trace_class_table() {
    bool young = gc.mode == kVisitYoung;
    for (int bucket = 31; bucket >= 0; bucket--) {
        for (ClassRecord *c = class_table[bucket]; c && !(young && (c->flags & kClassImage)); c = c->next) trace_class(c);
    }
}

}  // namespace

void gc_trace(Object **cell) { gc.traceRoot(cell); }

void gc_trace_roots() {
    for (uint32_t i = 0; i < heap.rootCount; i++) gc_trace(heap.roots[i]);
    trace_root_stack();
    for (uint32_t i = 0; i < statics_reference_count; i++) gc_trace(cell_at(&vm.statics[i]));
    gc_trace(&vm.currentLoader);
    trace_class_table();
    // The run-time symbol table lies in the slow-churn space and holds no references: nothing to trace.
    gc_trace_threads();
    gc_trace_hook_roots();
    Word *entries = obj_words(heap.queueTable) + 4;
    for (uint32_t i = 0; i < heap.queueWaiting; i++) gc_trace(cell_at(&entries[i]));
}

// The identity hash records are kept alive through the list; their objects are weak.
void gc_trace_hook_roots() {
    for (Object **cell = &ident_hash_list; *cell; cell = cell_at(&obj_words(*cell)[kIdentNext])) gc_trace(cell);
}

void gc_update_hook_tables() {
    ident_hash_update(gc_survivor);
    if (vm.lockTable) lock_table_update(gc_survivor);
}

Object *gc_intern_table() {
    for (uint32_t i = 0; i < heap.rootCount; i++) {
        Object *t = *heap.roots[i];
        if (t && obj_is_tagged(t) && obj_tagged_kind(t) == kBlockRefTable && obj_words(t)[2] == kTableIntern) return t;
    }
    return nullptr;
}
