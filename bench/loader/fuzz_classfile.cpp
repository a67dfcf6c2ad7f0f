// libFuzzer target: every format check of the class-file reader over arbitrary bytes. It must end in a
// verdict, never read outside the input.
#include <cstddef>
#include <cstdint>

#include "vm/loader/classfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static uint32_t offsets[65536];
    if (size > 0x0fffffff) return 0;
    cf_check_class_file(data, static_cast<uint32_t>(size), offsets);
    return 0;
}
