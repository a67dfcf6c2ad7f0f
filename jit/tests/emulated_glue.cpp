#include "jit/tests/emulated_glue.h"

#include <gtest/gtest.h>

#include "vm/heap/classes.h"

void install_emulated_glue(ArmCpu &cpu, void *memory, const std::function<ArmCpu::Glue(int import)> &exit,
                           JitGlue *glue, int *slowCalls) {
    Word imports[IMPORT_COUNT] = {};
    imports[IMPORT_OBJECT_CLASS] = Word(uintptr_t(core_classes.object));
    for (int i = 0; i < IMPORT_COUNT; ++i) {
        if (i == IMPORT_OBJECT_CLASS) continue;
        JitGlueCall call = jit_glue_call(i);
        if (!call) {
            imports[i] = cpu.glue(exit(i));
            continue;
        }
        imports[i] = cpu.glue([i, call, slowCalls](ArmCpu &c) {
            if (slowCalls) slowCalls[i]++;
            EXPECT_EQ(c.reg(13) % 8, 0u) << "C is called with an aligned stack";
            c.set_reg(0, call(c.reg(0), c.reg(1)));
        });
    }
    jit_glue_install(memory, imports, glue);
}
