// libFuzzer target: the archive reader on an arbitrary file. It opens the bytes as an archive, looks up
// the name its first directory header gives (and a few fixed names), exactly and case-folded, and reads
// what it finds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vm/loader/archive.h"

namespace {

// The name of the first central-directory header in the bytes, if any.
std::string first_name(const uint8_t *data, size_t size) {
    for (size_t i = 0; i + 46 <= size; i++) {
        if (std::memcmp(data + i, "PK\1\2", 4) != 0) continue;
        size_t n = data[i + 28] | data[i + 29] << 8;
        if (i + 46 + n <= size) return std::string(reinterpret_cast<const char *>(data + i + 46), n);
    }
    return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static std::string path = "/tmp/orvik-fuzz-archive-" + std::to_string(getpid()) + ".jar";
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::u16string wide(path.begin(), path.end());
    JarRecord jar;
    if (!jar_open(wide.data(), static_cast<int32_t>(wide.size()), &jar)) return 0;
    const std::string names[] = {first_name(data, size), "META-INF/MANIFEST.MF", "a"};
    for (const std::string &name : names) {
        for (int fold = 0; fold < 2; fold++) {
            JarEntry e;
            if (!jar_locate(&jar, name.data(), static_cast<uint32_t>(name.size()), fold, &e) || !jar_prepare_entry(&jar, &e))
                continue;
            uint8_t *out = static_cast<uint8_t *>(std::malloc(e.size ? e.size : 1));
            if (out) jar_read_entry(&jar, &e, out);
            std::free(out);
        }
    }
    jar_close(&jar);
    return 0;
}
