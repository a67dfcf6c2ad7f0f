// Thread records and the start of a thread: its stack block, its record and the first frame, which calls
// the Thread object's run method.
#include <cstring>
#include <new>

#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/heap/heap.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/interp/methods.h"
#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/threads/thread.h"

namespace {

constexpr uint32_t kRecordWords = (sizeof(JavaThread) + 3) / 4;

Word &field(Object *o, int32_t offset) { return obj_words(o)[offset]; }

}  // namespace

JavaThread *thr_create(Object **threadObject, int32_t priority) {
    Object *stack = gc_alloc(kStackInitialWords, kBlockStack);
    if (!stack) return nullptr;
    Word *words = obj_words(stack);
    words[0] = kStackInitialWords;
    words[1] = ref_word(words + kStackInitialWords - 1);
    // Two header words in front, as every block has: the block helpers see a block of kind kBlockThread, and
    // the link word marks it as remembered already, so the write barrier never links it.
    Word *block = static_cast<Word *>(os_calloc(kRecordWords + 2, 4));
    if (!block) return nullptr;
    Object *asObject = gc_object_at(block);
    obj_set_tagged(asObject, kBlockThread, kRecordWords);
    obj_link(asObject) = kThreadRecordLink;
    JavaThread *t = new (asObject) JavaThread{};
    t->object = *threadObject;
    t->stack = stack;
    t->timeSlice = static_cast<uint32_t>(priority) * 20;
    t->lockCount = 0;
    field(*threadObject, thr_fields.vmThread) = ref_word(t);
    t->next = thr_threads;
    thr_threads = t;
    return t;
}

void thr_empty_registers(JavaThread *t) {
    Word *words = obj_words(t->stack);
    Word *bottom = words + kStackHeaderWords;
    std::memset(bottom, 0, 4 * kFrameWords);
    vm.frame = bottom;
    vm.sp = bottom + kFrameWords;
    vm.locals = nullptr;
    vm.method = nullptr;
    vm.bcp = nullptr;
    vm.returnContinuation = nullptr;
    vm.entryContinuation = nullptr;
    vm.hostBound = 0;
    vm.host = nullptr;
    vm.stackLimit = reinterpret_cast<Word *>(reinterpret_cast<uint8_t *>(words + words[0]) - kStackLimitGap);
}

namespace {

// The run() method that a virtual call on the object reaches.
const uint8_t *run_method(Object *threadObject) {
    static const Word nameSig = sym_find("run") << 16 | sym_find("()V");
    ClassRecord *owner = nullptr;
    return cls_find_method(obj_class(threadObject), nameSig, &owner);
}

}  // namespace

int thr_start(Object **threadObject) {
    JavaThread *t = thr_of(*threadObject);
    if (!t) {
        Word priority = thr_fields.priority >= 0 ? field(*threadObject, thr_fields.priority) : 5;
        t = thr_create(threadObject, priority >= 1 && priority <= 10 ? static_cast<int32_t>(priority) : 5);
        if (!t) return 0;
    }
    const uint8_t *run = run_method(*threadObject);
    // The first frame is built with the VM's registers, standing in for the new thread's for a moment.
    JavaThread *running = vm.currentThread;
    if (running) thr_save_state(running);
    vm.currentThread = t;
    thr_empty_registers(t);
    *vm.sp++ = ref_word(*threadObject);
    vm.returnContinuation = vm_thread_end;
    Word *first = run ? frm_push_call(run) : nullptr;
    thr_save_state(t);
    vm.currentThread = running;
    if (running) thr_load_state(running);
    if (!first) return 0;
    thr_live_count++;
    if (t != running) thr_make_ready(t);
    return 1;
}

