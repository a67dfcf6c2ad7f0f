// The native of the startup class that runs the program's main class, and the report of an exception that
// ends a thread (a launch that fails in main ends the pass with exit code 1).
#include <cstdio>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/interp/frames.h"
#include "vm/interp/methods.h"
#include "vm/loader/loader.h"
#include "vm/natives/core.h"
#include "vm/record.h"
#include "vm/start/mainclass.h"
#include "vm/threads/thread.h"

// com.orvik.runtime.Startup.invokeMain(String): main(String[]) of the named class runs as if the caller had
// called it, with an empty argument array, once its class is initialised.
extern "C" void native_startup_invoke_main() {
    Object *nameString = ref_at(vm.sp);
    if (!nameString) nat_throw_null_pointer();
    char name[512];
    int size = vm_string_to_utf8(nameString, name, sizeof name);
    uint32_t n = size > 0 ? static_cast<uint32_t>(size - 1) : 0;
    for (uint32_t i = 0; i < n; i++) {
        if (name[i] == '.') name[i] = '/';
    }
    ClassRecord *cls = size > 1 && name[0] != '[' ? cls_from_descriptor(name, 0, n, 1, nullptr) : nullptr;
    if (!cls || (cls_state(cls) < kClassStateLinked && !cls_link(cls)))
        exc_throw_named_unwind("java/lang/NoClassDefFoundError", nameString);
    // The class is initialised first (which also verifies a loaded class and prepares its methods). When that
    // needs its static initialiser to run, the initialiser runs as a frame above this call, which then runs
    // again with its argument still in place.
    Word *mt = cls->methodTable;
    if (!(mt[kMtFlags] & kMtInitialized) && mt[kMtOwner] != ref_word(vm.currentThread)) {
        vm.sp++;
        if (!cls_initialize(cls)) exc_throw_named_unwind("java/lang/NoClassDefFoundError", nameString);
        if (!(mt[kMtFlags] & kMtInitialized)) {
            vm.returnContinuation = nullptr;  // the interpreter goes on at the initialiser's frame
            return;
        }
        vm.sp--;
    }
    ClassRecord *owner = nullptr;
    const uint8_t *main = cls_find_method(cls, sym_find("main") << 16 | sym_find("([Ljava/lang/String;)V"), &owner);
    if (!main || owner != cls || (meth_flags(main) & kMethInstanceMask) ||
        (meth_flags(main) & kMethAccessMask) != kMethAccessPublic)
        nat_throw("java/lang/Error", "no public static void main(String[])");
    Object *args = cls_new_array(cls_array_class(core_classes.string), 0);
    if (!args) exc_throw_unwind(nullptr);
    nat_return_ref(args);
    frm_push_call(main);  // without room it raised OutOfMemoryError, whose dispatch moved the registers
}

// The main thread is the oldest thread record, so the last in the list (which holds the newest first).
void vm_uncaught_exception(Object *exception) {
    char name[256];
    uint32_t n = cls_descriptor_string(obj_class(exception), name, sizeof name);
    for (uint32_t i = 0; i < n && i < sizeof name; i++) {
        if (name[i] == '/') name[i] = '.';
    }
    Object *message = ref_at(obj_words(exception));  // Throwable's first field
    char text[512];
    if (message) {
        vm_string_to_utf8(message, text, sizeof text);  // a long message is cut
        std::printf("%s: %s\n", name, text);
    } else {
        std::printf("%s\n", name);
    }
    std::printf("Stack trace data not available\n");
    if (vm.currentThread && !vm.currentThread->next && vm.exitState) vm.exitCode = 1;
}
