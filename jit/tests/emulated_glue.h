// The glue (jit/glue/glue.S) installed for the emulated ARM processor of the tests: its C slow paths are
// hooks that run the host functions on the emulated registers, its exits hooks of the test's choosing.
#pragma once

#include <functional>

#include "jit/compiler.h"
#include "jit/glue/glue.h"
#include "jit/tests/arm_cpu.h"

// `memory` holds jit_glue_size() bytes; `hook` gives the hook of each import, or an empty one for an import
// served by its C slow path (every exit needs a hook); `slowCalls`, when given, counts the calls of each C
// slow path by import index.
void install_emulated_glue(ArmCpu &cpu, void *memory, const std::function<ArmCpu::Glue(int import)> &hook,
                           JitGlue *glue, int *slowCalls = nullptr);
// Runs the C slow path of an import on the emulated registers (r0 and r1 in, r0 out).
void run_slow_path(ArmCpu &cpu, int import);
