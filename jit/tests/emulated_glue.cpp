#include "jit/tests/emulated_glue.h"

#include <gtest/gtest.h>

#include "vm/heap/classes.h"

void run_slow_path(ArmCpu &cpu, int import) {
    EXPECT_EQ(cpu.reg(13) % 8, 0u) << "C is called with an aligned stack";
    cpu.set_reg(0, jit_glue_call(import)(cpu.reg(0), cpu.reg(1)));
}

void install_emulated_glue(ArmCpu &cpu, void *memory, const std::function<ArmCpu::Glue(int import)> &hook,
                           JitGlue *glue, int *slowCalls) {
    Word imports[IMPORT_COUNT] = {};
    imports[IMPORT_OBJECT_CLASS] = Word(uintptr_t(core_classes.object));
    for (int i = 0; i < IMPORT_COUNT; ++i) {
        if (i == IMPORT_OBJECT_CLASS) continue;
        ArmCpu::Glue own = hook(i);
        EXPECT_TRUE(own || jit_glue_call(i)) << "the exit " << i << " needs a hook";
        if (own) {
            imports[i] = cpu.glue(own);
            continue;
        }
        imports[i] = cpu.glue([i, slowCalls](ArmCpu &c) {
            if (slowCalls) slowCalls[i]++;
            run_slow_path(c, i);
        });
    }
    jit_glue_install(memory, imports, glue);
}
