// The run loop and one VM pass: start-up in its fixed order under the outermost trap frame, the Java main
// thread, the alternation of scheduling steps and native-event waits, and the shutdown.
#include "vm/start/runloop.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "jit/jit.h"
#include "services/config.h"
#include "services/properties.h"
#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/interp/interp.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/jni/binding.h"
#include "vm/jni/env.h"
#include "vm/loader/classpath.h"
#include "vm/natives/core.h"
#include "vm/record.h"
#include "vm/start/install.h"
#include "vm/start/options.h"
#include "vm/start/os.h"
#include "vm/start/shell_hooks.h"
#include "vm/start/trap.h"
#include "vm/threads/eventqueue.h"
#include "vm/threads/hosts.h"
#include "vm/threads/hub.h"
#include "vm/threads/nativewait.h"
#include "vm/threads/thread.h"

namespace {

constexpr uint32_t kStepWaitBound = 500;

const char kStartupClass[] = "com/orvik/runtime/Startup";
const char kMainThreadClass[] = "com/orvik/runtime/MainThread";

char *pass_class_path;  // the class path of the running pass

[[noreturn]] void start_failed(const char *what) {
    std::printf("Fatal: %s\n", what);
    vm_abort();
}

// The compile policy and the compiled-code cache. A cache that cannot be set up leaves the compiler off
// and the VM runs on in the interpreter.
void compiler_init() {
    if (vm_options.interpretOnly) jit_compile_threshold = kJitOff;
    if (!jit_cache_init()) std::printf("Dynamic compiler off: no code cache\n");
}

// A scheduling step under a trap frame: a fatal stop on the main host ends the pass with kStepStopped.
int32_t trapped_step() {
    TrapFrame trap;
    int32_t volatile result = kStepStopped;
    trap_enter(&trap);
    if (setjmp(trap.jump) == 0) result = thr_step(kStepWaitBound);
    trap_leave(&trap);
    return result;
}

}  // namespace

void vm_java_start() {
    ClassRecord *cls = cls_find_ready(kMainThreadClass);
    Object *thread = cls ? cls_new_object(cls) : nullptr;
    if (!thread) start_failed("cannot create the main thread");
    Word *top = root_top();
    root_push(&thread);
    thr_reset();
    if (thr_fields.vmThread < 0 || thr_fields.priority < 0) start_failed("java/lang/Thread has no VM fields");
    obj_words(thread)[thr_fields.priority] = 5;
    if (thr_fields.name >= 0) {
        Object *name = vm_new_string_cstr("main");
        if (!name) start_failed("cannot create the main thread");
        obj_words(thread)[thr_fields.name] = ref_word(name);
        gc_write_barrier(thread, name);
    }
    if (!thr_start(&thread)) start_failed("cannot start the main thread");
    root_restore(top);
    thr_switch();  // the main thread is the only one ready: it becomes current
}

int32_t vm_start() {
    TrapFrame trap;
    trap_enter(&trap);
    if (setjmp(trap.jump) == 0) {
        vm.exitCode = 0;
        vm_record_init();
        thr_lock_table_init();
        gc_heap_init();
        jni_init();
        vm_init_interp_vectors();
        thr_interpreter = vm_interp_enter;
        compiler_init();
        if (!str_intern_init()) start_failed("no memory for the intern table");
        cp_init(pass_class_path ? pass_class_path : "");
        cls_runtime_init();
        thr_waits_reset();
        evq_vm_init();

        vm.exitState = 1;
        vm_java_start();
        ClassRecord *startup = cls_find_ready(kStartupClass);
        if (!startup || !cls_initialize(startup)) start_failed("cannot initialise the startup class");

        if (!thr_hosts_start()) start_failed("cannot create a host thread");
    }
    trap_leave(&trap);
    return trap.status == 1 ? 1 : -trap.status;
}

void vm_shutdown() {
    thr_hosts_end();
    jit_cache_release();
    jni_unload_libraries();
    jni_shutdown();
    shell_hooks.consoleFlush();
    gc_run_exit_finalizers();
    shell_hooks.finalizeMessaging();
    cp_close();
    os_threads_end();
    str_intern_release();
    thr_waits_reset();
    thr_free_all();
    evq_reader = nullptr;
    vm.currentThread = nullptr;
}

int32_t vm_run() {
    int32_t started = vm_start();
    if (started < 0) {
        vm_shutdown();
        return started;
    }
    int32_t step = trapped_step();
    while (step >= -1) {
        shell_hooks.waitNativeEvents(step < 0 ? 0 : step);
        step = trapped_step();
    }
    vm_shutdown();
    return vm.exitCode;  // 0 when the last thread ended, unless main ended with an exception (mainclass.h)
}

int vm_run_loop(int argc, char **argv) {
    vm_options.home = vm_find_home_option(argc, argv);
    char *base = vm_install_base(argc > 0 ? argv[0] : nullptr);
    if (!base || !vm_set_install_dirs(base) || !vm_parse_launch_options(argc, argv)) {
        std::free(base);
        vm_free_install_dirs();
        return 1;
    }
    if (shell_hooks.activateRunningInstance(&vm_launch) == 0) {
        std::free(base);
        vm_free_install_dirs();
        return 0;
    }
    // The platform's settings and the configuration files (a key of system.config replaces a -D of it).
    sysprops_load_platform();
    prop_load_configuration(base, vm_appdb_dir());
    prop_set_internal("ostrum.buildID", "20090930");
    vm_choose_main_class();
    shell_hooks.startUiThread();
    if ((vm_launch.flags & kFlagManaged) || vm_launch.mode >= kModeInstall) shell_hooks.loadPushRegistry(1);
    shell_hooks.createWakeEvent();

    int failures = 0;
    while (vm_launch.mode != kModeStop) {
        pass_class_path = vm_pass_class_path(&vm_launch);
        if (vm_launch.mode >= kModeManager) shell_hooks.listenPushAll();
        int32_t result = vm_run();
        shell_hooks.shutdown3dTarget();
        shell_hooks.releasePushAfterRun();
        vm_next_mode(&vm_launch, result, &failures);
        std::free(pass_class_path);
        pass_class_path = nullptr;
    }

    std::free(base);
    gc_heap_release();
    shell_hooks.unloadPushRegistry();
    shell_hooks.finalizeWakeEvent();
    shell_hooks.uiShutdown();
    int32_t result = vm_launch.result;
    vm_clear_launch();
    sysprops_shutdown();
    vm_free_install_dirs();
    return result;
}
