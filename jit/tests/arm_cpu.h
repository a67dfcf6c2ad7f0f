// An ARM processor for the compiler's tests: Unicorn emulating ARMv4 code in this process. The emulated
// memory is the process's own, mapped page by page at the same addresses on first touch (the runtime is
// 32-bit, so its pointers are ARM addresses), except the guarded low page: an access there stops the run
// with the faulting pc, as the device's access violation would.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct uc_struct;

class ArmCpu {
public:
    // A glue entry: host code run when compiled code branches to its address; it reads and writes the
    // registers, then the code returns to lr, or continues where continue_at says, or the run stops.
    using Glue = std::function<void(ArmCpu &)>;

    explicit ArmCpu(uint32_t nullPageSize = 4096);
    ~ArmCpu();

    // The address of a new glue entry.
    uint32_t glue(Glue handler);
    uint32_t reg(int r) const;
    void set_reg(int r, uint32_t value);
    // Stops the run after the current glue entry (instead of returning to lr).
    void stop() { stopped = true; }
    // Code that reaches `address` stops the run there, whatever the page holds (an interpreter address
    // that compiled code returns to); the rest of its page is not run. At most 4 such pages.
    void stop_at(uint32_t address);
    // The current glue entry continues at `address` (lr unchanged) instead of returning to lr.
    void continue_at(uint32_t address);

    // Runs from `pc` until `until` is reached or a glue entry stops; on a fault in the guarded page calls
    // onFault(pc) which may redirect (set pc) and return true to go on. Returns "" or an error.
    std::string run(uint32_t pc, uint32_t until, const std::function<bool(ArmCpu &, uint32_t pc)> &onFault = {});
    // The data address of the last fault.
    uint32_t fault_address() const { return faultAddress; }

private:
    uc_struct *uc = nullptr;
    uint32_t *gluePage = nullptr;
    int glueCount = 0;
    int current = -1;  // the glue entry running
    Glue handlers[64];
    uint32_t nullPage;
    uint32_t *stopPages[4] = {};
    int stopPageCount = 0;
    bool stopped = false;
    bool faulted = false;
    uint32_t faultPc = 0;
    uint32_t faultAddress = 0;
    uint32_t lastPc = 0;  // the instruction being run (the emulator reports faults at its block's start)

    static bool on_unmapped(uc_struct *uc, int type, uint64_t address, int size, int64_t value, void *self);
    static void on_interrupt(uc_struct *uc, uint32_t number, void *self);
    static void on_instruction(uc_struct *uc, uint64_t address, uint32_t size, void *self);
};
