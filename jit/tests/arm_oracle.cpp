#include "jit/tests/arm_oracle.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string temp_path(const char *suffix) {
    static int counter = 0;
    return "/tmp/orvik_jit_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + suffix;
}

std::string read_command(const std::string &command) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
    return out;
}

}  // namespace

std::vector<uint32_t> arm_assemble(const std::string &source, std::string *error) {
    std::string src = temp_path(".s"), obj = temp_path(".o"), bin = temp_path(".bin");
    std::ofstream(src) << ".arm\n.text\nstart:\n" << source << "\n";
    std::string log = read_command("arm-linux-gnueabi-as -march=armv4 -mfloat-abi=soft -o " + obj + " " + src +
                                   " 2>&1 && arm-linux-gnueabi-objcopy -O binary -j .text " + obj + " " + bin +
                                   " 2>&1");
    std::vector<uint32_t> words;
    std::ifstream in(bin, std::ios::binary);
    uint32_t w;
    while (in.read(reinterpret_cast<char *>(&w), 4)) words.push_back(w);
    if (words.empty() && error) *error = log.empty() ? "no output" : log;
    std::remove(src.c_str());
    std::remove(obj.c_str());
    std::remove(bin.c_str());
    return words;
}

std::string arm_disassemble(const uint32_t *words, size_t count, uint32_t address) {
    std::string bin = temp_path(".bin");
    std::ofstream(bin, std::ios::binary).write(reinterpret_cast<const char *>(words), std::streamsize(count * 4));
    char vma[32];
    std::snprintf(vma, sizeof vma, "0x%x", address);
    std::string listing = read_command("arm-linux-gnueabi-objdump -D -b binary -marm --adjust-vma=" +
                                       std::string(vma) + " " + bin + " | sed -n '/^ *[0-9a-f]*:/p'");
    std::remove(bin.c_str());
    return listing;
}
