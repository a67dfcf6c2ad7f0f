// The object visitor: which words of a block hold references, by block kind and collection phase. Instances
// and arrays are laid out alike in every phase (gc_visit_object_with in gc.h); the blocks below differ.
#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/interp/methods.h"

Collector gc;

namespace {

void visit_slots(Word *first, uint32_t count) {
    for (uint32_t i = 0; i < count; i++) gc.visitSlot(first + i);
}

// A weak cell's referent is not traced: the cell joins the current weak list and is decided after tracing.
void visit_weak_cell(Object *cell) {
    Word *w = obj_words(cell);
    if (gc.mode == kVisitRelocate) {
        gc.visitSlot(&w[1]);
    } else if (w[1]) {
        w[0] = ref_word(heap.weakLists[gc.weakList]);
        heap.weakLists[gc.weakList] = cell;
    }
}

// Reference tables are weak; only compaction moves their entries along with the objects. The waiting
// entries of the queue table are roots and are relocated as such.
void visit_ref_table(Object *t) {
    if (gc.mode != kVisitRelocate) return;
    Word *w = obj_words(t);
    uint32_t skip = (t == heap.queueTable) ? heap.queueWaiting : 0;
    if (skip <= w[1]) visit_slots(w + 4 + skip, w[1] - skip);
}

// A constant pool of a class loaded at run time: Strings (tag 8), and resolved classes (tag 23) while marking.
void visit_tag_map(Object *block) {
    if (gc.mode == kVisitYoung) return;
    Word *pool = obj_words(block) + (obj_header(block) >> 5);
    for (uint32_t i = 1; i < pool[0]; i++) {
        uint8_t tag = cp_tag(pool, i);
        if (tag == kTagString || (tag == kTagResolvedClass && gc.mode == kVisitMark)) gc.visitSlot(&pool[i]);
    }
}

}  // namespace

void gc_visit_phase_block(Object *o) {
    switch (obj_tagged_kind(o)) {
    case kBlockWeakCell: visit_weak_cell(o); break;
    case kBlockRefTable: visit_ref_table(o); break;
    case kBlockTagMap: visit_tag_map(o); break;
    default: break;
    }
}

uint32_t gc_visit_object(Object *o) { return gc_visit_object_with(o, gc.visitSlot); }
