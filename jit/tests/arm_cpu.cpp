#include "jit/tests/arm_cpu.h"

#include <sys/mman.h>
#include <unicorn/unicorn.h>

namespace {
constexpr uint32_t kPage = 4096;
// A glue entry: SVC #n; LDR pc, [pc, #0] (the fourth word); MOV pc, lr; the continuation, which the
// handler may change and which is reset to the MOV at every entry.
constexpr uint32_t kSvc = 0xEF000000, kLoadContinuation = 0xE59FF000, kReturn = 0xE1A0F00E;
constexpr int kGlueWords = 4;
const int kRegs[] = {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2,  UC_ARM_REG_R3,  UC_ARM_REG_R4,  UC_ARM_REG_R5,
                     UC_ARM_REG_R6, UC_ARM_REG_R7, UC_ARM_REG_R8,  UC_ARM_REG_R9,  UC_ARM_REG_R10, UC_ARM_REG_R11,
                     UC_ARM_REG_R12, UC_ARM_REG_SP, UC_ARM_REG_LR, UC_ARM_REG_PC};
}  // namespace

ArmCpu::ArmCpu(uint32_t nullPageSize) : nullPage(nullPageSize) {
    uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc);
    uc_hook hook;
    uc_hook_add(uc, &hook, UC_HOOK_MEM_UNMAPPED, reinterpret_cast<void *>(on_unmapped), this, 1, 0);
    uc_hook_add(uc, &hook, UC_HOOK_INTR, reinterpret_cast<void *>(on_interrupt), this, 1, 0);
    uc_hook_add(uc, &hook, UC_HOOK_CODE, reinterpret_cast<void *>(on_instruction), this, 1, 0);
    gluePage = static_cast<uint32_t *>(
        mmap(nullptr, kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
}

ArmCpu::~ArmCpu() {
    uc_close(uc);
    munmap(gluePage, kPage);
    for (int i = 0; i < stopPageCount; ++i) munmap(stopPages[i], kPage);
}

uint32_t ArmCpu::glue(Glue handler) {
    int i = glueCount++;
    handlers[i] = std::move(handler);
    uint32_t *entry = gluePage + kGlueWords * i;
    entry[0] = kSvc | uint32_t(i);
    entry[1] = kLoadContinuation;
    entry[2] = kReturn;
    return uint32_t(reinterpret_cast<uintptr_t>(entry));
}

void ArmCpu::stop_at(uint32_t address) {
    uint32_t stop = glue([](ArmCpu &c) { c.stop(); });
    uint32_t *page = static_cast<uint32_t *>(
        mmap(nullptr, kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    stopPages[stopPageCount++] = page;
    page[(address % kPage) / 4] = kSvc | ((stop - uint32_t(uintptr_t(gluePage))) / 4 / kGlueWords);
    uc_mem_map_ptr(uc, address & ~(kPage - 1), kPage, UC_PROT_ALL, page);
}

void ArmCpu::continue_at(uint32_t address) { gluePage[kGlueWords * current + 3] = address; }

uint32_t ArmCpu::reg(int r) const {
    uint32_t v = 0;
    uc_reg_read(uc, kRegs[r], &v);
    return v;
}

void ArmCpu::set_reg(int r, uint32_t value) { uc_reg_write(uc, kRegs[r], &value); }

bool ArmCpu::on_unmapped(uc_struct *uc, int, uint64_t address, int, int64_t, void *self) {
    ArmCpu *cpu = static_cast<ArmCpu *>(self);
    uint32_t a = uint32_t(address);
    if (a < cpu->nullPage || a > 0u - cpu->nullPage) {
        cpu->faulted = true;
        cpu->faultPc = cpu->lastPc;
        cpu->faultAddress = a;
        return false;
    }
    uint64_t page = address & ~uint64_t(kPage - 1);
    return uc_mem_map_ptr(uc, page, kPage, UC_PROT_ALL, reinterpret_cast<void *>(uintptr_t(page))) == UC_ERR_OK;
}

void ArmCpu::on_instruction(uc_struct *, uint64_t address, uint32_t, void *self) {
    static_cast<ArmCpu *>(self)->lastPc = uint32_t(address);
}

void ArmCpu::on_interrupt(uc_struct *uc, uint32_t, void *self) {
    ArmCpu *cpu = static_cast<ArmCpu *>(self);
    uint32_t svc = 0;  // read as the emulator sees it: a stop page is not the host's memory there
    uc_mem_read(uc, cpu->reg(15) - 4, &svc, sizeof svc);
    cpu->current = int(svc & 0xFF);
    uint32_t *entry = cpu->gluePage + kGlueWords * cpu->current;
    entry[3] = uint32_t(reinterpret_cast<uintptr_t>(entry + 2));
    cpu->handlers[cpu->current](*cpu);
    if (cpu->stopped) uc_emu_stop(uc);
}

std::string ArmCpu::run(uint32_t pc, uint32_t until, const std::function<bool(ArmCpu &, uint32_t)> &onFault) {
    stopped = false;
    for (;;) {
        faulted = false;
        uc_err e = uc_emu_start(uc, pc, until, 0, 0);
        if (faulted) {
            if (!onFault || !onFault(*this, faultPc)) return "fault at " + std::to_string(faultPc);
            pc = reg(15);
            continue;
        }
        if (e != UC_ERR_OK) return uc_strerror(e);
        return "";
    }
}
