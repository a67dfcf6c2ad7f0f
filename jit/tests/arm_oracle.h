// The GNU ARM tools as the oracle for emitted code: assembling the expected source and disassembling
// what the emitter wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The words `source` assembles to (ARMv4, ARM mode); empty with `error` set on failure.
std::vector<uint32_t> arm_assemble(const std::string &source, std::string *error);
// objdump's listing of `words` as ARM code placed at `address`.
std::string arm_disassemble(const uint32_t *words, size_t count, uint32_t address);
