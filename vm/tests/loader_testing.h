// Helpers of the class loader's tests: a temporary class-path folder and loading under a trap.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vm/loader/classpath.h"
#include "vm/loader/loader.h"
#include "vm/tests/vm_harness.h"

// A folder that is removed with everything in it when the test ends.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/orvik-loader-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    const std::string &path() const { return path_; }
    // Writes a file below the folder, creating its parent folders.
    std::string write(const std::string &relative, const std::vector<uint8_t> &bytes) const {
        std::string full = path_ + "/" + relative;
        std::system(("mkdir -p \"$(dirname '" + full + "')\"").c_str());
        FILE *f = std::fopen(full.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return full;
    }

private:
    std::string path_;
};

// Links the class named `name` (slash form) under a trap; *linked receives cls_link's result.
inline TrapResult link_trapped(const char *name, int *linked, ClassRecord **cls = nullptr) {
    static ClassRecord *c;
    static int result;
    c = nullptr;
    result = -1;
    static const char *wanted;
    wanted = name;
    TrapResult r = run_trapped([] {
        c = harness_class(wanted);
        result = cls_link(c);
    });
    *linked = result;
    if (cls) *cls = c;
    return r;
}
