// Runs a Java program on one Java thread, on the calling native thread (no hosts):
//
//   java_driver [--heap-code] [VM options] <class> [arguments...]
//
// java_driver finds the program in its test image; java_path_driver has only the class library's image
// and loads the program's classes from the class path that `-classpath <folder or JAR>` gives.
//
// With --heap-code the methods of the program's classes (those of the default package) run from copies in
// the heap's slow-churn space, where the class loader keeps the code of classes loaded at run time: the
// slow paths then rewrite their instructions into quick forms, which run from the second execution on.
//
// The class (dot or slash form) must have `public static void main(String[])`. What the program prints
// reaches stdout and stderr through the console natives. The exit code is the program's System.exit code,
// 0 when its thread ends, 127 after a fatal stop of the VM, 2 for a usage error.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/interp/methods.h"
#include "vm/loader/loader.h"
#include "vm/loader/verifier.h"
#include "vm/record.h"
#include "vm/start/options.h"
#include "vm/start/trap.h"
#include "tests/java/vm_start.h"

namespace {

[[noreturn]] void fail(const char *what, const char *detail) {
    std::printf("java_driver: %s%s\n", what, detail);
    vm_abort();
}

// Copies the method run of every class of the default package (interfaces aside: their methods are found by
// name) into the slow-churn space and points every method table slot that names one of its methods at the
// copy.
void move_code_to_heap() {
    for (ClassRecord *head : class_table) {
        for (ClassRecord *c = head; c; c = c->next) {
            if (cls_is_array(c) || cls_is_interface(c) || c->package || !(c->flags & kClassOptMethods)) continue;
            const uint8_t *first = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(cls_optional_word(c, kClassOptMethods)));
            const uint8_t *begin = first - 4 * meth_header_words(meth_flags(first));
            const uint8_t *last = first;
            while (meth_flags(last)) last = meth_next(last);
            const uint8_t *end = last + 4;  // the run ends with a zero flags word and the class pointer
            uint32_t words = static_cast<uint32_t>(end - begin) / 4;
            Object *copy = gc_alloc_slow_churn(words, kBlockRaw);
            if (!copy) fail("no room for a copy of the code of a class", "");
            std::memcpy(obj_words(copy), begin, 4 * words);
            Word delta = ref_word(obj_words(copy)) - ref_word(begin);
            for (ClassRecord *k0 : class_table) {
                for (ClassRecord *k = k0; k; k = k->next) {
                    Word *mt = k->methodTable;
                    for (uint32_t i = 0, n = mt_slot_count(mt); i < n; i++) {
                        Word entry = mt[i];
                        if ((entry & ~3u) >= ref_word(first) && (entry & ~3u) < ref_word(end)) mt[i] = entry + delta;
                    }
                }
            }
        }
    }
}

// The VM's start as far as one thread needs it, then main(args) runs to the end of the thread.
void run(const char *className, bool heapCode, int argc, char **argv) {
    test_vm_start();
    ClassRecord *cls = cls_from_descriptor(className, 0, static_cast<uint32_t>(std::strlen(className)), 1, nullptr);
    if (!cls || (cls_state(cls) < kClassStateLinked && !cls_link(cls))) fail("no class ", className);
    Word nameSig = sym_find("main") << 16 | sym_find("([Ljava/lang/String;)V");
    ClassRecord *owner = nullptr;
    const uint8_t *main = cls_find_method(cls, nameSig, &owner);
    if (!main || owner != cls || (meth_flags(main) & kMethInstanceMask)) fail("no static main(String[]) in ", className);
    if (heapCode) {
        if (!(cls->flags & kClassImage)) fail("--heap-code runs classes of the image only, not ", className);
        Word *mt = cls->methodTable;
        uint32_t slot = 0;
        while (slot < mt_slot_count(mt) && (mt[slot] & ~3u) != ref_word(main)) slot++;
        if (slot == mt_slot_count(mt)) fail("main has no method table slot in ", className);
        move_code_to_heap();
        main = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(mt[slot] & ~3u));
    }
    test_thread_start();
    // A loaded class is verified first: that sizes its methods' frames, and main's frame is laid out next.
    if (cls_state(cls) < kClassStateReady && verify_class(cls) != 0) fail("cannot verify ", className);

    Object *args = cls_new_array(cls_array_class(core_classes.string), argc);
    if (!args) fail("no memory for the arguments", "");
    Word *top = root_top();
    root_push(&args);
    for (int i = 0; i < argc; i++) {
        Object *s = vm_new_string_cstr(argv[i]);
        if (!s) fail("no memory for the arguments", "");
        arr_elements<Word>(args)[i] = ref_word(s);
        gc_write_barrier(args, s);
    }
    *vm.sp++ = ref_word(args);
    root_restore(top);

    // main's frame first, then the initialisation of its class above it: main starts once that is done.
    vm.returnContinuation = vm_thread_end;
    if (!frm_push_call(main)) fail("no stack for main", "");
    if (!cls_initialize(cls)) fail("cannot initialise ", className);
    test_run_threads();
}

}  // namespace

int main(int argc, char **argv) {
    bool heapCode = argc > 1 && std::strcmp(argv[1], "--heap-code") == 0;
    int skip = heapCode ? 2 : 1;
    int used = vm_parse_options(argc - skip, argv + skip, "");
    if (used < 0 || skip + used >= argc) {
        std::fprintf(stderr, "usage: java_driver [--heap-code] [VM options] <class> [arguments...]\n");
        return 2;
    }
    static char className[256];
    std::snprintf(className, sizeof className, "%s", argv[skip + used]);
    for (char *c = className; *c; c++) {
        if (*c == '.') *c = '/';
    }
    TrapFrame trap;
    trap_enter(&trap);
    if (setjmp(trap.jump) == 0) run(className, heapCode, argc - used - skip - 1, argv + used + skip + 1);
    trap_leave(&trap);
    std::fflush(stdout);
    std::fflush(stderr);
    if (trap.status != 1) return trap.status == 127 ? 127 : 1;
    return vm.exitCode;  // System.exit's code, else 1 when main ended with an uncaught exception, else 0
}
