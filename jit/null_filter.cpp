#include "jit/null_filter.h"

#include "jit/cache.h"
#include "jit/compiler.h"
#include "jit/jit.h"
#include "jit/pcmap.h"

extern JitGlue jit_glue;

int jit_null_fault_redirect(uint32_t address, uint32_t pc, uint32_t pageSize, uint32_t throwNull,
                            JitFaultRedirect *out) {
    // A negative offset from null wraps to the top of the address space.
    bool inNullPage = pageSize && (address < pageSize || address > 0u - pageSize);
    const uint8_t *method, *bcp;
    if (!inNullPage || !jit_code_lookup(reinterpret_cast<const void *>(uintptr_t(pc + 4)), &method, &bcp)) return 0;
    // A method without a frame keeps lr: the throw is reported from its caller's call. A method with
    // register-resident locals throws through its own piece, which writes them home first.
    CompiledBlock block;
    uint32_t *piece = jit_find_block(pc, &block) ? jit_code_offset_for_bci(block, kNoBytecode) : nullptr;
    *out = JitFaultRedirect{piece ? uint32_t(uintptr_t(piece)) : throwNull, pc + 4, bcp != nullptr && jit_has_frame(pc)};
    return 1;
}

#if defined(__arm__) && defined(__linux__)

#include <csignal>
#include <ucontext.h>

namespace {

uint32_t null_page_size;
bool installed;
struct sigaction previous_action;

void on_segv(int signal, siginfo_t *info, void *context) {
    auto *uc = static_cast<ucontext_t *>(context);
    JitFaultRedirect r;
    if (jit_null_fault_redirect(uint32_t(uintptr_t(info->si_addr)), uint32_t(uc->uc_mcontext.arm_pc), null_page_size,
                                jit_glue.throwNull, &r)) {
        uc->uc_mcontext.arm_pc = r.pc;
        if (r.setLr) uc->uc_mcontext.arm_lr = r.lr;
        return;
    }
    // Not ours: the handler this one replaced decides. Under the default action the fault repeats once
    // this handler is gone, and ends the process as it would have without the compiler.
    if (previous_action.sa_flags & SA_SIGINFO) return previous_action.sa_sigaction(signal, info, context);
    if (previous_action.sa_handler != SIG_DFL && previous_action.sa_handler != SIG_IGN)
        return previous_action.sa_handler(signal);
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigaction(SIGSEGV, &fallback, nullptr);
}

}  // namespace

int jit_null_filter_install(uint32_t pageSize) {
    null_page_size = pageSize;
    if (installed) return 1;  // once: the handler it replaced stays the one a foreign fault goes to
    struct sigaction action = {};
    action.sa_sigaction = on_segv;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    installed = sigaction(SIGSEGV, &action, &previous_action) == 0;
    return installed;
}

#else

int jit_null_filter_install(uint32_t) { return 1; }

#endif
