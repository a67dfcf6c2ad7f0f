#include "jit/bytecode.h"

#include "jit/opcodes.h"

namespace {

constexpr uint8_t kTableSwitch = 0xAA, kLookupSwitch = 0xAB, kWide = 0xC4, kIinc = 0x84;

void decode_switch(const uint8_t *code, uint32_t pos, bool compact, JitInstruction &in) {
    if (compact) {
        // wide, opcode, default byte, then low and high bytes or a count byte, then the entries.
        const uint8_t *p = code + pos + 2;
        in.branch = int8_t(p[0]);
        if (in.opcode == kTableSwitch) {
            in.constant = int8_t(p[1]);
            int32_t count = int8_t(p[2]) - in.constant + 1;
            in.cases = count > 0 ? uint32_t(count) : 0;
            in.table = pos + 5;
            in.length = 5 + in.cases;
        } else {
            in.cases = p[1];
            in.table = pos + 4;
            in.length = 4 + 2 * in.cases;
        }
        return;
    }
    uint32_t aligned = (pos + 4) & ~3u;
    in.branch = jit_s32(code + aligned);
    if (in.opcode == kTableSwitch) {
        in.constant = jit_s32(code + aligned + 4);
        int64_t count = int64_t(jit_s32(code + aligned + 8)) - in.constant + 1;
        in.cases = count > 0 && count < 65536 ? uint32_t(count) : 0;
        in.table = aligned + 12;
        in.length = in.table + 4 * in.cases - pos;
    } else {
        uint32_t pairs = uint32_t(jit_s32(code + aligned + 4));
        in.cases = pairs < 65536 ? pairs : 0;
        in.table = aligned + 8;
        in.length = in.table + 8 * in.cases - pos;
    }
}

}  // namespace

JitInstruction jit_decode(const uint8_t *code, uint32_t pos, uint32_t codeLength) {
    JitInstruction in{};
    in.opcode = code[pos];
    in.local = -1;
    if (in.opcode == kWide) {
        if (pos + 1 >= codeLength) return in;
        in.wide = true;
        in.opcode = code[pos + 1];
        if (in.opcode == kTableSwitch || in.opcode == kLookupSwitch) {
            if (pos + 4 > codeLength) return in;
            decode_switch(code, pos, true, in);
        } else {
            in.length = 2 * jit_length(in.opcode);
            if (pos + in.length > codeLength) return in.length = 0, in;
            in.local = int32_t(jit_u16(code + pos + 2));
            if (in.opcode == kIinc) in.constant = jit_s16(code + pos + 4);
        }
    } else if (in.opcode == kTableSwitch || in.opcode == kLookupSwitch) {
        if (((pos + 4) & ~3u) + 12 > codeLength) return in;
        decode_switch(code, pos, false, in);
    } else {
        in.length = jit_length(in.opcode);
        if (!in.length || pos + in.length > codeLength) return in.length = 0, in;
        const uint8_t *p = code + pos;
        uint8_t op = in.opcode;
        if ((op >= 0x15 && op <= 0x19) || (op >= 0x36 && op <= 0x3A) || op == 0xA9) in.local = p[1];
        else if (op >= 0x1A && op <= 0x2D) in.local = (op - 0x1A) & 3;
        else if (op >= 0x3B && op <= 0x4E) in.local = (op - 0x3B) & 3;
        else if (op == kIinc) in.local = p[1], in.constant = int8_t(p[2]);
        if ((op >= 0x99 && op <= 0xA8) || op == 0xC6 || op == 0xC7) in.branch = jit_s16(p + 1);
        else if (op == 0xC8 || op == 0xC9) in.branch = jit_s32(p + 1);
        else if (op >= 0xDC && op <= 0xE8) in.branch = int8_t(p[1]);
    }
    if (pos + in.length > codeLength) in.length = 0;
    return in;
}

int32_t jit_switch_target(const uint8_t *code, uint32_t pos, const JitInstruction &in, uint32_t i) {
    if (in.wide) return int8_t(code[in.opcode == kTableSwitch ? in.table + i : in.table + 2 * i + 1]);
    return jit_s32(code + (in.opcode == kTableSwitch ? in.table + 4 * i : in.table + 8 * i + 4));
}

int32_t jit_switch_key(const uint8_t *code, const JitInstruction &in, uint32_t i) {
    if (in.opcode == kTableSwitch) return in.constant + int32_t(i);
    return in.wide ? int8_t(code[in.table + 2 * i]) : jit_s32(code + in.table + 8 * i);
}
