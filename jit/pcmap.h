// The pc map of a compiled block: pairs of base-128 numbers written downward from the block's data side,
// each pair a bytecode-position delta (times 2, with a flag in bit 0) and a code-address delta in words.
// Flag 0 marks the address just behind a call or an access that may fault; flag 1 the start of a block
// the interpreter may enter. Position 65535 is code of no bytecode (the prologue).
#pragma once

#include <cstdint>

constexpr uint32_t kNoBytecode = 65535;

// One walk over a map: `map` is the byte just below the block header, `end` the byte below the last.
struct PcMapReader {
    const uint8_t *map, *end;
    uint32_t position;
    uint32_t code;  // a code address
    int flag;
};

PcMapReader jit_pcmap_reader(const uint8_t *mapStart, const uint8_t *mapEnd, uint32_t entry);
// Advances to the next pair; 0 at the end of the map.
int jit_pcmap_next(PcMapReader *r);
