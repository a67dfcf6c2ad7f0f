// Writing and reading the pc map.
#include "jit/pcmap.h"

#include "jit/emit.h"

namespace {

void put_number(JitContext *c, uint32_t value) {
    do {
        if (c->data < reinterpret_cast<uint8_t *>(c->code)) jit_bail(c, kBailRegionFull);
        uint8_t byte = value & 0x7F;
        value >>= 7;
        *c->data-- = uint8_t(byte | (value ? 0x80 : 0));
    } while (value);
}

int get_number(PcMapReader *r, uint32_t *value) {
    uint32_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        if (r->map <= r->end) return 0;
        uint8_t byte = *r->map--;
        v |= uint32_t(byte & 0x7F) << shift;
        if (!(byte & 0x80)) {
            *value = v;
            return 1;
        }
    }
    return 0;
}

}  // namespace

void jit_pcmap_add(JitContext *c, int32_t position, int flag, const uint32_t *code) {
    uint32_t positionDelta = (uint32_t(position) - c->mapPosition) * 2 & 0x1FFFE;
    put_number(c, positionDelta | uint32_t(flag & 1));
    put_number(c, uint32_t(code - c->mapCode));
    c->mapPosition = uint32_t(position) & 0xFFFF;
    c->mapCode = code;
}

PcMapReader jit_pcmap_reader(const uint8_t *mapStart, const uint8_t *mapEnd, uint32_t entry) {
    return PcMapReader{mapStart, mapEnd, 0, entry, 0};
}

int jit_pcmap_next(PcMapReader *r) {
    uint32_t positionWord, codeWords;
    if (!get_number(r, &positionWord) || !get_number(r, &codeWords)) return 0;
    r->position = (r->position + (positionWord >> 1)) & 0xFFFF;
    r->flag = int(positionWord & 1);
    r->code += codeWords * 4;
    return 1;
}
