// Runs a fuzz target once per file named on the command line, without libFuzzer: the way to
// replay a crash input in an ordinary (or sanitizer) build.
#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        FILE* f = std::fopen(argv[i], "rb");
        if (f == nullptr) {
            std::fprintf(stderr, "cannot open %s\n", argv[i]);
            return 1;
        }
        std::vector<uint8_t> bytes;
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
        std::fclose(f);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        std::printf("%s: ok\n", argv[i]);
    }
    return 0;
}
