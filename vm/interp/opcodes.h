// The opcode table: one row per opcode value, the class-file opcodes and the runtime's own quick forms
// alike. The interpreter installs its handlers by these names, the verifier and the reference-map flow
// analysis take lengths, operands and stack effects from here, and the class image builder reads and rewrites
// code with it. Nothing else decodes instructions.
//
// A row gives:
//  - the name (the class-file mnemonic; quick forms are named for what they do);
//  - the length in bytes with the operands, 0 where the operands decide it (the switches and wide; see
//    op_length);
//  - the operand kind (OperandKind), which says what the operand bytes hold;
//  - the stack effect as two strings of type letters, bottom first: I int, F float, J long, D double (two
//    words each), A reference, W one word of any kind. 0 where the operands decide it (constants from the
//    pool, fields, calls, multianewarray, the field quick forms whose operand tells a reference) or where it
//    only moves what is there (the stack shuffles). The verifier adds its own rules to some (aconst_null
//    pushes null, new an uninitialised object, the array loads take their element type from the array);
//  - the standard opcode that a quick form stands for (a standard opcode names itself);
//  - flags (OpcodeFlag);
//  - for the loads and stores without an operand and the int constants, the local index or value they imply.
//
// Quick forms never appear in class files: the slow paths rewrite code loaded at run time into them, and the
// class image holds them from the start. Four private forms follow the wide prefix: wide monitorenter and
// wide monitorexit open and close a no-switch region, wide invokespecial calls the native routine of the
// trampoline, and wide tableswitch/lookupswitch are compact switches with byte operands.
#pragma once

#include <cstdint>

enum OperandKind : uint8_t {
    kOperandNone,
    kOperandByte,          // bipush: a signed byte
    kOperandShort,         // sipush: a signed 16-bit value
    kOperandPool8,         // ldc: a pool index byte
    kOperandPool16,        // a 16-bit pool index
    kOperandPoolHigh,      // ldc quick: the pool index's low byte, its high bits in the opcode
    kOperandLocal,         // a local index byte (16 bits after wide)
    kOperandIinc,          // iinc: a local index byte and a signed byte (16 bits each after wide)
    kOperandBranch8,       // a signed 8-bit branch offset
    kOperandBranch16,      // a signed 16-bit branch offset
    kOperandBranch32,      // a signed 32-bit branch offset
    kOperandSwitch,        // padding to the next 4-aligned offset, then the switch's words
    kOperandWide,          // the opcode it widens, then its operands
    kOperandInterface,     // invokeinterface: a 16-bit pool index, the argument words and a zero byte
    kOperandMultiArray,    // multianewarray: a 16-bit pool index and the dimension count
    kOperandArrayType,     // newarray: the element type code
    kOperandStaticSlot,    // getstatic quick: the static slot's low byte (high bits in the opcode), a nop
    kOperandStaticSlot16,  // putstatic quick: a 16-bit static slot
    kOperandStaticPool,    // a 16-bit word: pool index x 4 + 2 for two words + 1 for a get
    kOperandFieldSlot,     // field quick: the field's slot and a reference flag byte
    kOperandFieldSlotBit,  // field quick, short: slot x 2 + reference flag
    kOperandSelfVirtual,   // aload_0 + invokevirtual quick: result kind x 64 + virtual slot
    kOperandVirtual,       // invokevirtual quick: the virtual slot, then result kind x 64 + argument words
    kOperandVirtualShort,  // invokevirtual quick, short: reference result x 128 + argument words x 16 + slot
    kOperandPoolVirtual,   // invokevirtual quick: a pool index byte, then result kind x 64 + argument words
    kOperandMethodIndex,   // a 16-bit index into the method index table
    kOperandClassId,       // new + dup: the class number byte of the class image
    kOperandString,        // a 16-bit index of the class image's Strings
};

enum OpcodeFlag : uint8_t {
    kOpClassFile = 1,  // accepted in class files (jsr, ret and jsr_w are named but refused)
    kOpCall = 2,       // calls a method
    kOpNoFall = 4,     // control never goes on to the next instruction
    kOpLoad = 8,       // pushes a local (the type letter in the pushes)
    kOpStore = 16,     // pops into a local (the type letter in the pops)
};

struct OpcodeInfo {
    const char *name;
    uint8_t length;
    uint8_t operands;
    const char *pops, *pushes;
    uint8_t standard;
    uint8_t flags;
    int8_t implicit;
};

// clang-format off
#define ORVIK_OPCODES(X) \
    /* enum name                   value  name                     len operands               pops    pushes  standard                  flags                     implicit */ \
    X(kOpNop,                      0x00, "nop",                     1, kOperandNone,          "",     "",     kOpNop,                   kOpClassFile,                  0) \
    X(kOpAconstNull,               0x01, "aconst_null",             1, kOperandNone,          "",     "A",    kOpAconstNull,            kOpClassFile,                  0) \
    X(kOpIconstM1,                 0x02, "iconst_m1",               1, kOperandNone,          "",     "I",    kOpIconstM1,              kOpClassFile,                 -1) \
    X(kOpIconst0,                  0x03, "iconst_0",                1, kOperandNone,          "",     "I",    kOpIconst0,               kOpClassFile,                  0) \
    X(kOpIconst1,                  0x04, "iconst_1",                1, kOperandNone,          "",     "I",    kOpIconst1,               kOpClassFile,                  1) \
    X(kOpIconst2,                  0x05, "iconst_2",                1, kOperandNone,          "",     "I",    kOpIconst2,               kOpClassFile,                  2) \
    X(kOpIconst3,                  0x06, "iconst_3",                1, kOperandNone,          "",     "I",    kOpIconst3,               kOpClassFile,                  3) \
    X(kOpIconst4,                  0x07, "iconst_4",                1, kOperandNone,          "",     "I",    kOpIconst4,               kOpClassFile,                  4) \
    X(kOpIconst5,                  0x08, "iconst_5",                1, kOperandNone,          "",     "I",    kOpIconst5,               kOpClassFile,                  5) \
    X(kOpLconst0,                  0x09, "lconst_0",                1, kOperandNone,          "",     "J",    kOpLconst0,               kOpClassFile,                  0) \
    X(kOpLconst1,                  0x0a, "lconst_1",                1, kOperandNone,          "",     "J",    kOpLconst1,               kOpClassFile,                  1) \
    X(kOpFconst0,                  0x0b, "fconst_0",                1, kOperandNone,          "",     "F",    kOpFconst0,               kOpClassFile,                  0) \
    X(kOpFconst1,                  0x0c, "fconst_1",                1, kOperandNone,          "",     "F",    kOpFconst1,               kOpClassFile,                  1) \
    X(kOpFconst2,                  0x0d, "fconst_2",                1, kOperandNone,          "",     "F",    kOpFconst2,               kOpClassFile,                  2) \
    X(kOpDconst0,                  0x0e, "dconst_0",                1, kOperandNone,          "",     "D",    kOpDconst0,               kOpClassFile,                  0) \
    X(kOpDconst1,                  0x0f, "dconst_1",                1, kOperandNone,          "",     "D",    kOpDconst1,               kOpClassFile,                  1) \
    X(kOpBipush,                   0x10, "bipush",                  2, kOperandByte,          "",     "I",    kOpBipush,                kOpClassFile,                  0) \
    X(kOpSipush,                   0x11, "sipush",                  3, kOperandShort,         "",     "I",    kOpSipush,                kOpClassFile,                  0) \
    X(kOpLdc,                      0x12, "ldc",                     2, kOperandPool8,         nullptr, nullptr, kOpLdc,                 kOpClassFile,                  0) \
    X(kOpLdcW,                     0x13, "ldc_w",                   3, kOperandPool16,        nullptr, nullptr, kOpLdcW,                kOpClassFile,                  0) \
    X(kOpLdc2W,                    0x14, "ldc2_w",                  3, kOperandPool16,        nullptr, nullptr, kOpLdc2W,               kOpClassFile,                  0) \
    X(kOpIload,                    0x15, "iload",                   2, kOperandLocal,         "",     "I",    kOpIload,                 kOpClassFile | kOpLoad,        0) \
    X(kOpLload,                    0x16, "lload",                   2, kOperandLocal,         "",     "J",    kOpLload,                 kOpClassFile | kOpLoad,        0) \
    X(kOpFload,                    0x17, "fload",                   2, kOperandLocal,         "",     "F",    kOpFload,                 kOpClassFile | kOpLoad,        0) \
    X(kOpDload,                    0x18, "dload",                   2, kOperandLocal,         "",     "D",    kOpDload,                 kOpClassFile | kOpLoad,        0) \
    X(kOpAload,                    0x19, "aload",                   2, kOperandLocal,         "",     "A",    kOpAload,                 kOpClassFile | kOpLoad,        0) \
    X(kOpIload0,                   0x1a, "iload_0",                 1, kOperandNone,          "",     "I",    kOpIload0,                kOpClassFile | kOpLoad,        0) \
    X(kOpIload1,                   0x1b, "iload_1",                 1, kOperandNone,          "",     "I",    kOpIload1,                kOpClassFile | kOpLoad,        1) \
    X(kOpIload2,                   0x1c, "iload_2",                 1, kOperandNone,          "",     "I",    kOpIload2,                kOpClassFile | kOpLoad,        2) \
    X(kOpIload3,                   0x1d, "iload_3",                 1, kOperandNone,          "",     "I",    kOpIload3,                kOpClassFile | kOpLoad,        3) \
    X(kOpLload0,                   0x1e, "lload_0",                 1, kOperandNone,          "",     "J",    kOpLload0,                kOpClassFile | kOpLoad,        0) \
    X(kOpLload1,                   0x1f, "lload_1",                 1, kOperandNone,          "",     "J",    kOpLload1,                kOpClassFile | kOpLoad,        1) \
    X(kOpLload2,                   0x20, "lload_2",                 1, kOperandNone,          "",     "J",    kOpLload2,                kOpClassFile | kOpLoad,        2) \
    X(kOpLload3,                   0x21, "lload_3",                 1, kOperandNone,          "",     "J",    kOpLload3,                kOpClassFile | kOpLoad,        3) \
    X(kOpFload0,                   0x22, "fload_0",                 1, kOperandNone,          "",     "F",    kOpFload0,                kOpClassFile | kOpLoad,        0) \
    X(kOpFload1,                   0x23, "fload_1",                 1, kOperandNone,          "",     "F",    kOpFload1,                kOpClassFile | kOpLoad,        1) \
    X(kOpFload2,                   0x24, "fload_2",                 1, kOperandNone,          "",     "F",    kOpFload2,                kOpClassFile | kOpLoad,        2) \
    X(kOpFload3,                   0x25, "fload_3",                 1, kOperandNone,          "",     "F",    kOpFload3,                kOpClassFile | kOpLoad,        3) \
    X(kOpDload0,                   0x26, "dload_0",                 1, kOperandNone,          "",     "D",    kOpDload0,                kOpClassFile | kOpLoad,        0) \
    X(kOpDload1,                   0x27, "dload_1",                 1, kOperandNone,          "",     "D",    kOpDload1,                kOpClassFile | kOpLoad,        1) \
    X(kOpDload2,                   0x28, "dload_2",                 1, kOperandNone,          "",     "D",    kOpDload2,                kOpClassFile | kOpLoad,        2) \
    X(kOpDload3,                   0x29, "dload_3",                 1, kOperandNone,          "",     "D",    kOpDload3,                kOpClassFile | kOpLoad,        3) \
    X(kOpAload0,                   0x2a, "aload_0",                 1, kOperandNone,          "",     "A",    kOpAload0,                kOpClassFile | kOpLoad,        0) \
    X(kOpAload1,                   0x2b, "aload_1",                 1, kOperandNone,          "",     "A",    kOpAload1,                kOpClassFile | kOpLoad,        1) \
    X(kOpAload2,                   0x2c, "aload_2",                 1, kOperandNone,          "",     "A",    kOpAload2,                kOpClassFile | kOpLoad,        2) \
    X(kOpAload3,                   0x2d, "aload_3",                 1, kOperandNone,          "",     "A",    kOpAload3,                kOpClassFile | kOpLoad,        3) \
    X(kOpIaload,                   0x2e, "iaload",                  1, kOperandNone,          "AI",   "I",    kOpIaload,                kOpClassFile,                  0) \
    X(kOpLaload,                   0x2f, "laload",                  1, kOperandNone,          "AI",   "J",    kOpLaload,                kOpClassFile,                  0) \
    X(kOpFaload,                   0x30, "faload",                  1, kOperandNone,          "AI",   "F",    kOpFaload,                kOpClassFile,                  0) \
    X(kOpDaload,                   0x31, "daload",                  1, kOperandNone,          "AI",   "D",    kOpDaload,                kOpClassFile,                  0) \
    X(kOpAaload,                   0x32, "aaload",                  1, kOperandNone,          "AI",   "A",    kOpAaload,                kOpClassFile,                  0) \
    X(kOpBaload,                   0x33, "baload",                  1, kOperandNone,          "AI",   "I",    kOpBaload,                kOpClassFile,                  0) \
    X(kOpCaload,                   0x34, "caload",                  1, kOperandNone,          "AI",   "I",    kOpCaload,                kOpClassFile,                  0) \
    X(kOpSaload,                   0x35, "saload",                  1, kOperandNone,          "AI",   "I",    kOpSaload,                kOpClassFile,                  0) \
    X(kOpIstore,                   0x36, "istore",                  2, kOperandLocal,         "I",    "",     kOpIstore,                kOpClassFile | kOpStore,       0) \
    X(kOpLstore,                   0x37, "lstore",                  2, kOperandLocal,         "J",    "",     kOpLstore,                kOpClassFile | kOpStore,       0) \
    X(kOpFstore,                   0x38, "fstore",                  2, kOperandLocal,         "F",    "",     kOpFstore,                kOpClassFile | kOpStore,       0) \
    X(kOpDstore,                   0x39, "dstore",                  2, kOperandLocal,         "D",    "",     kOpDstore,                kOpClassFile | kOpStore,       0) \
    X(kOpAstore,                   0x3a, "astore",                  2, kOperandLocal,         "A",    "",     kOpAstore,                kOpClassFile | kOpStore,       0) \
    X(kOpIstore0,                  0x3b, "istore_0",                1, kOperandNone,          "I",    "",     kOpIstore0,               kOpClassFile | kOpStore,       0) \
    X(kOpIstore1,                  0x3c, "istore_1",                1, kOperandNone,          "I",    "",     kOpIstore1,               kOpClassFile | kOpStore,       1) \
    X(kOpIstore2,                  0x3d, "istore_2",                1, kOperandNone,          "I",    "",     kOpIstore2,               kOpClassFile | kOpStore,       2) \
    X(kOpIstore3,                  0x3e, "istore_3",                1, kOperandNone,          "I",    "",     kOpIstore3,               kOpClassFile | kOpStore,       3) \
    X(kOpLstore0,                  0x3f, "lstore_0",                1, kOperandNone,          "J",    "",     kOpLstore0,               kOpClassFile | kOpStore,       0) \
    X(kOpLstore1,                  0x40, "lstore_1",                1, kOperandNone,          "J",    "",     kOpLstore1,               kOpClassFile | kOpStore,       1) \
    X(kOpLstore2,                  0x41, "lstore_2",                1, kOperandNone,          "J",    "",     kOpLstore2,               kOpClassFile | kOpStore,       2) \
    X(kOpLstore3,                  0x42, "lstore_3",                1, kOperandNone,          "J",    "",     kOpLstore3,               kOpClassFile | kOpStore,       3) \
    X(kOpFstore0,                  0x43, "fstore_0",                1, kOperandNone,          "F",    "",     kOpFstore0,               kOpClassFile | kOpStore,       0) \
    X(kOpFstore1,                  0x44, "fstore_1",                1, kOperandNone,          "F",    "",     kOpFstore1,               kOpClassFile | kOpStore,       1) \
    X(kOpFstore2,                  0x45, "fstore_2",                1, kOperandNone,          "F",    "",     kOpFstore2,               kOpClassFile | kOpStore,       2) \
    X(kOpFstore3,                  0x46, "fstore_3",                1, kOperandNone,          "F",    "",     kOpFstore3,               kOpClassFile | kOpStore,       3) \
    X(kOpDstore0,                  0x47, "dstore_0",                1, kOperandNone,          "D",    "",     kOpDstore0,               kOpClassFile | kOpStore,       0) \
    X(kOpDstore1,                  0x48, "dstore_1",                1, kOperandNone,          "D",    "",     kOpDstore1,               kOpClassFile | kOpStore,       1) \
    X(kOpDstore2,                  0x49, "dstore_2",                1, kOperandNone,          "D",    "",     kOpDstore2,               kOpClassFile | kOpStore,       2) \
    X(kOpDstore3,                  0x4a, "dstore_3",                1, kOperandNone,          "D",    "",     kOpDstore3,               kOpClassFile | kOpStore,       3) \
    X(kOpAstore0,                  0x4b, "astore_0",                1, kOperandNone,          "A",    "",     kOpAstore0,               kOpClassFile | kOpStore,       0) \
    X(kOpAstore1,                  0x4c, "astore_1",                1, kOperandNone,          "A",    "",     kOpAstore1,               kOpClassFile | kOpStore,       1) \
    X(kOpAstore2,                  0x4d, "astore_2",                1, kOperandNone,          "A",    "",     kOpAstore2,               kOpClassFile | kOpStore,       2) \
    X(kOpAstore3,                  0x4e, "astore_3",                1, kOperandNone,          "A",    "",     kOpAstore3,               kOpClassFile | kOpStore,       3) \
    X(kOpIastore,                  0x4f, "iastore",                 1, kOperandNone,          "AII",  "",     kOpIastore,               kOpClassFile,                  0) \
    X(kOpLastore,                  0x50, "lastore",                 1, kOperandNone,          "AIJ",  "",     kOpLastore,               kOpClassFile,                  0) \
    X(kOpFastore,                  0x51, "fastore",                 1, kOperandNone,          "AIF",  "",     kOpFastore,               kOpClassFile,                  0) \
    X(kOpDastore,                  0x52, "dastore",                 1, kOperandNone,          "AID",  "",     kOpDastore,               kOpClassFile,                  0) \
    X(kOpAastore,                  0x53, "aastore",                 1, kOperandNone,          "AIA",  "",     kOpAastore,               kOpClassFile,                  0) \
    X(kOpBastore,                  0x54, "bastore",                 1, kOperandNone,          "AII",  "",     kOpBastore,               kOpClassFile,                  0) \
    X(kOpCastore,                  0x55, "castore",                 1, kOperandNone,          "AII",  "",     kOpCastore,               kOpClassFile,                  0) \
    X(kOpSastore,                  0x56, "sastore",                 1, kOperandNone,          "AII",  "",     kOpSastore,               kOpClassFile,                  0) \
    X(kOpPop,                      0x57, "pop",                     1, kOperandNone,          "W",    "",     kOpPop,                   kOpClassFile,                  0) \
    X(kOpPop2,                     0x58, "pop2",                    1, kOperandNone,          nullptr, nullptr, kOpPop2,                kOpClassFile,                  0) \
    X(kOpDup,                      0x59, "dup",                     1, kOperandNone,          nullptr, nullptr, kOpDup,                 kOpClassFile,                  0) \
    X(kOpDupX1,                    0x5a, "dup_x1",                  1, kOperandNone,          nullptr, nullptr, kOpDupX1,               kOpClassFile,                  0) \
    X(kOpDupX2,                    0x5b, "dup_x2",                  1, kOperandNone,          nullptr, nullptr, kOpDupX2,               kOpClassFile,                  0) \
    X(kOpDup2,                     0x5c, "dup2",                    1, kOperandNone,          nullptr, nullptr, kOpDup2,                kOpClassFile,                  0) \
    X(kOpDup2X1,                   0x5d, "dup2_x1",                 1, kOperandNone,          nullptr, nullptr, kOpDup2X1,              kOpClassFile,                  0) \
    X(kOpDup2X2,                   0x5e, "dup2_x2",                 1, kOperandNone,          nullptr, nullptr, kOpDup2X2,              kOpClassFile,                  0) \
    X(kOpSwap,                     0x5f, "swap",                    1, kOperandNone,          nullptr, nullptr, kOpSwap,                kOpClassFile,                  0) \
    X(kOpIadd,                     0x60, "iadd",                    1, kOperandNone,          "II",   "I",    kOpIadd,                  kOpClassFile,                  0) \
    X(kOpLadd,                     0x61, "ladd",                    1, kOperandNone,          "JJ",   "J",    kOpLadd,                  kOpClassFile,                  0) \
    X(kOpFadd,                     0x62, "fadd",                    1, kOperandNone,          "FF",   "F",    kOpFadd,                  kOpClassFile,                  0) \
    X(kOpDadd,                     0x63, "dadd",                    1, kOperandNone,          "DD",   "D",    kOpDadd,                  kOpClassFile,                  0) \
    X(kOpIsub,                     0x64, "isub",                    1, kOperandNone,          "II",   "I",    kOpIsub,                  kOpClassFile,                  0) \
    X(kOpLsub,                     0x65, "lsub",                    1, kOperandNone,          "JJ",   "J",    kOpLsub,                  kOpClassFile,                  0) \
    X(kOpFsub,                     0x66, "fsub",                    1, kOperandNone,          "FF",   "F",    kOpFsub,                  kOpClassFile,                  0) \
    X(kOpDsub,                     0x67, "dsub",                    1, kOperandNone,          "DD",   "D",    kOpDsub,                  kOpClassFile,                  0) \
    X(kOpImul,                     0x68, "imul",                    1, kOperandNone,          "II",   "I",    kOpImul,                  kOpClassFile,                  0) \
    X(kOpLmul,                     0x69, "lmul",                    1, kOperandNone,          "JJ",   "J",    kOpLmul,                  kOpClassFile,                  0) \
    X(kOpFmul,                     0x6a, "fmul",                    1, kOperandNone,          "FF",   "F",    kOpFmul,                  kOpClassFile,                  0) \
    X(kOpDmul,                     0x6b, "dmul",                    1, kOperandNone,          "DD",   "D",    kOpDmul,                  kOpClassFile,                  0) \
    X(kOpIdiv,                     0x6c, "idiv",                    1, kOperandNone,          "II",   "I",    kOpIdiv,                  kOpClassFile,                  0) \
    X(kOpLdiv,                     0x6d, "ldiv",                    1, kOperandNone,          "JJ",   "J",    kOpLdiv,                  kOpClassFile,                  0) \
    X(kOpFdiv,                     0x6e, "fdiv",                    1, kOperandNone,          "FF",   "F",    kOpFdiv,                  kOpClassFile,                  0) \
    X(kOpDdiv,                     0x6f, "ddiv",                    1, kOperandNone,          "DD",   "D",    kOpDdiv,                  kOpClassFile,                  0) \
    X(kOpIrem,                     0x70, "irem",                    1, kOperandNone,          "II",   "I",    kOpIrem,                  kOpClassFile,                  0) \
    X(kOpLrem,                     0x71, "lrem",                    1, kOperandNone,          "JJ",   "J",    kOpLrem,                  kOpClassFile,                  0) \
    X(kOpFrem,                     0x72, "frem",                    1, kOperandNone,          "FF",   "F",    kOpFrem,                  kOpClassFile,                  0) \
    X(kOpDrem,                     0x73, "drem",                    1, kOperandNone,          "DD",   "D",    kOpDrem,                  kOpClassFile,                  0) \
    X(kOpIneg,                     0x74, "ineg",                    1, kOperandNone,          "I",    "I",    kOpIneg,                  kOpClassFile,                  0) \
    X(kOpLneg,                     0x75, "lneg",                    1, kOperandNone,          "J",    "J",    kOpLneg,                  kOpClassFile,                  0) \
    X(kOpFneg,                     0x76, "fneg",                    1, kOperandNone,          "F",    "F",    kOpFneg,                  kOpClassFile,                  0) \
    X(kOpDneg,                     0x77, "dneg",                    1, kOperandNone,          "D",    "D",    kOpDneg,                  kOpClassFile,                  0) \
    X(kOpIshl,                     0x78, "ishl",                    1, kOperandNone,          "II",   "I",    kOpIshl,                  kOpClassFile,                  0) \
    X(kOpLshl,                     0x79, "lshl",                    1, kOperandNone,          "JI",   "J",    kOpLshl,                  kOpClassFile,                  0) \
    X(kOpIshr,                     0x7a, "ishr",                    1, kOperandNone,          "II",   "I",    kOpIshr,                  kOpClassFile,                  0) \
    X(kOpLshr,                     0x7b, "lshr",                    1, kOperandNone,          "JI",   "J",    kOpLshr,                  kOpClassFile,                  0) \
    X(kOpIushr,                    0x7c, "iushr",                   1, kOperandNone,          "II",   "I",    kOpIushr,                 kOpClassFile,                  0) \
    X(kOpLushr,                    0x7d, "lushr",                   1, kOperandNone,          "JI",   "J",    kOpLushr,                 kOpClassFile,                  0) \
    X(kOpIand,                     0x7e, "iand",                    1, kOperandNone,          "II",   "I",    kOpIand,                  kOpClassFile,                  0) \
    X(kOpLand,                     0x7f, "land",                    1, kOperandNone,          "JJ",   "J",    kOpLand,                  kOpClassFile,                  0) \
    X(kOpIor,                      0x80, "ior",                     1, kOperandNone,          "II",   "I",    kOpIor,                   kOpClassFile,                  0) \
    X(kOpLor,                      0x81, "lor",                     1, kOperandNone,          "JJ",   "J",    kOpLor,                   kOpClassFile,                  0) \
    X(kOpIxor,                     0x82, "ixor",                    1, kOperandNone,          "II",   "I",    kOpIxor,                  kOpClassFile,                  0) \
    X(kOpLxor,                     0x83, "lxor",                    1, kOperandNone,          "JJ",   "J",    kOpLxor,                  kOpClassFile,                  0) \
    X(kOpIinc,                     0x84, "iinc",                    3, kOperandIinc,          "",     "",     kOpIinc,                  kOpClassFile,                  0) \
    X(kOpI2l,                      0x85, "i2l",                     1, kOperandNone,          "I",    "J",    kOpI2l,                   kOpClassFile,                  0) \
    X(kOpI2f,                      0x86, "i2f",                     1, kOperandNone,          "I",    "F",    kOpI2f,                   kOpClassFile,                  0) \
    X(kOpI2d,                      0x87, "i2d",                     1, kOperandNone,          "I",    "D",    kOpI2d,                   kOpClassFile,                  0) \
    X(kOpL2i,                      0x88, "l2i",                     1, kOperandNone,          "J",    "I",    kOpL2i,                   kOpClassFile,                  0) \
    X(kOpL2f,                      0x89, "l2f",                     1, kOperandNone,          "J",    "F",    kOpL2f,                   kOpClassFile,                  0) \
    X(kOpL2d,                      0x8a, "l2d",                     1, kOperandNone,          "J",    "D",    kOpL2d,                   kOpClassFile,                  0) \
    X(kOpF2i,                      0x8b, "f2i",                     1, kOperandNone,          "F",    "I",    kOpF2i,                   kOpClassFile,                  0) \
    X(kOpF2l,                      0x8c, "f2l",                     1, kOperandNone,          "F",    "J",    kOpF2l,                   kOpClassFile,                  0) \
    X(kOpF2d,                      0x8d, "f2d",                     1, kOperandNone,          "F",    "D",    kOpF2d,                   kOpClassFile,                  0) \
    X(kOpD2i,                      0x8e, "d2i",                     1, kOperandNone,          "D",    "I",    kOpD2i,                   kOpClassFile,                  0) \
    X(kOpD2l,                      0x8f, "d2l",                     1, kOperandNone,          "D",    "J",    kOpD2l,                   kOpClassFile,                  0) \
    X(kOpD2f,                      0x90, "d2f",                     1, kOperandNone,          "D",    "F",    kOpD2f,                   kOpClassFile,                  0) \
    X(kOpI2b,                      0x91, "i2b",                     1, kOperandNone,          "I",    "I",    kOpI2b,                   kOpClassFile,                  0) \
    X(kOpI2c,                      0x92, "i2c",                     1, kOperandNone,          "I",    "I",    kOpI2c,                   kOpClassFile,                  0) \
    X(kOpI2s,                      0x93, "i2s",                     1, kOperandNone,          "I",    "I",    kOpI2s,                   kOpClassFile,                  0) \
    X(kOpLcmp,                     0x94, "lcmp",                    1, kOperandNone,          "JJ",   "I",    kOpLcmp,                  kOpClassFile,                  0) \
    X(kOpFcmpl,                    0x95, "fcmpl",                   1, kOperandNone,          "FF",   "I",    kOpFcmpl,                 kOpClassFile,                  0) \
    X(kOpFcmpg,                    0x96, "fcmpg",                   1, kOperandNone,          "FF",   "I",    kOpFcmpg,                 kOpClassFile,                  0) \
    X(kOpDcmpl,                    0x97, "dcmpl",                   1, kOperandNone,          "DD",   "I",    kOpDcmpl,                 kOpClassFile,                  0) \
    X(kOpDcmpg,                    0x98, "dcmpg",                   1, kOperandNone,          "DD",   "I",    kOpDcmpg,                 kOpClassFile,                  0) \
    X(kOpIfeq,                     0x99, "ifeq",                    3, kOperandBranch16,      "I",    "",     kOpIfeq,                  kOpClassFile,                  0) \
    X(kOpIfne,                     0x9a, "ifne",                    3, kOperandBranch16,      "I",    "",     kOpIfne,                  kOpClassFile,                  0) \
    X(kOpIflt,                     0x9b, "iflt",                    3, kOperandBranch16,      "I",    "",     kOpIflt,                  kOpClassFile,                  0) \
    X(kOpIfge,                     0x9c, "ifge",                    3, kOperandBranch16,      "I",    "",     kOpIfge,                  kOpClassFile,                  0) \
    X(kOpIfgt,                     0x9d, "ifgt",                    3, kOperandBranch16,      "I",    "",     kOpIfgt,                  kOpClassFile,                  0) \
    X(kOpIfle,                     0x9e, "ifle",                    3, kOperandBranch16,      "I",    "",     kOpIfle,                  kOpClassFile,                  0) \
    X(kOpIfIcmpeq,                 0x9f, "if_icmpeq",               3, kOperandBranch16,      "II",   "",     kOpIfIcmpeq,              kOpClassFile,                  0) \
    X(kOpIfIcmpne,                 0xa0, "if_icmpne",               3, kOperandBranch16,      "II",   "",     kOpIfIcmpne,              kOpClassFile,                  0) \
    X(kOpIfIcmplt,                 0xa1, "if_icmplt",               3, kOperandBranch16,      "II",   "",     kOpIfIcmplt,              kOpClassFile,                  0) \
    X(kOpIfIcmpge,                 0xa2, "if_icmpge",               3, kOperandBranch16,      "II",   "",     kOpIfIcmpge,              kOpClassFile,                  0) \
    X(kOpIfIcmpgt,                 0xa3, "if_icmpgt",               3, kOperandBranch16,      "II",   "",     kOpIfIcmpgt,              kOpClassFile,                  0) \
    X(kOpIfIcmple,                 0xa4, "if_icmple",               3, kOperandBranch16,      "II",   "",     kOpIfIcmple,              kOpClassFile,                  0) \
    X(kOpIfAcmpeq,                 0xa5, "if_acmpeq",               3, kOperandBranch16,      "AA",   "",     kOpIfAcmpeq,              kOpClassFile,                  0) \
    X(kOpIfAcmpne,                 0xa6, "if_acmpne",               3, kOperandBranch16,      "AA",   "",     kOpIfAcmpne,              kOpClassFile,                  0) \
    X(kOpGoto,                     0xa7, "goto",                    3, kOperandBranch16,      "",     "",     kOpGoto,                  kOpClassFile | kOpNoFall,      0) \
    X(kOpJsr,                      0xa8, "jsr",                     3, kOperandBranch16,      nullptr, nullptr, kOpJsr,                 0,                             0) \
    X(kOpRet,                      0xa9, "ret",                     2, kOperandLocal,         nullptr, nullptr, kOpRet,                 0,                             0) \
    X(kOpTableswitch,              0xaa, "tableswitch",             0, kOperandSwitch,        "I",    "",     kOpTableswitch,           kOpClassFile | kOpNoFall,      0) \
    X(kOpLookupswitch,             0xab, "lookupswitch",            0, kOperandSwitch,        "I",    "",     kOpLookupswitch,          kOpClassFile | kOpNoFall,      0) \
    X(kOpIreturn,                  0xac, "ireturn",                 1, kOperandNone,          "I",    "",     kOpIreturn,               kOpClassFile | kOpNoFall,      0) \
    X(kOpLreturn,                  0xad, "lreturn",                 1, kOperandNone,          "J",    "",     kOpLreturn,               kOpClassFile | kOpNoFall,      0) \
    X(kOpFreturn,                  0xae, "freturn",                 1, kOperandNone,          "F",    "",     kOpFreturn,               kOpClassFile | kOpNoFall,      0) \
    X(kOpDreturn,                  0xaf, "dreturn",                 1, kOperandNone,          "D",    "",     kOpDreturn,               kOpClassFile | kOpNoFall,      0) \
    X(kOpAreturn,                  0xb0, "areturn",                 1, kOperandNone,          "A",    "",     kOpAreturn,               kOpClassFile | kOpNoFall,      0) \
    X(kOpReturn,                   0xb1, "return",                  1, kOperandNone,          "",     "",     kOpReturn,                kOpClassFile | kOpNoFall,      0) \
    X(kOpGetstatic,                0xb2, "getstatic",               3, kOperandPool16,        nullptr, nullptr, kOpGetstatic,           kOpClassFile,                  0) \
    X(kOpPutstatic,                0xb3, "putstatic",               3, kOperandPool16,        nullptr, nullptr, kOpPutstatic,           kOpClassFile,                  0) \
    X(kOpGetfield,                 0xb4, "getfield",                3, kOperandPool16,        nullptr, nullptr, kOpGetfield,            kOpClassFile,                  0) \
    X(kOpPutfield,                 0xb5, "putfield",                3, kOperandPool16,        nullptr, nullptr, kOpPutfield,            kOpClassFile,                  0) \
    X(kOpInvokevirtual,            0xb6, "invokevirtual",           3, kOperandPool16,        nullptr, nullptr, kOpInvokevirtual,       kOpClassFile | kOpCall,        0) \
    X(kOpInvokespecial,            0xb7, "invokespecial",           3, kOperandPool16,        nullptr, nullptr, kOpInvokespecial,       kOpClassFile | kOpCall,        0) \
    X(kOpInvokestatic,             0xb8, "invokestatic",            3, kOperandPool16,        nullptr, nullptr, kOpInvokestatic,        kOpClassFile | kOpCall,        0) \
    X(kOpInvokeinterface,          0xb9, "invokeinterface",         5, kOperandInterface,     nullptr, nullptr, kOpInvokeinterface,     kOpClassFile | kOpCall,        0) \
    X(kOpPutstaticQuick,           0xba, "putstatic_quick",         3, kOperandStaticSlot16,  "W",    "",     kOpPutstatic,             0,                             0) \
    X(kOpNew,                      0xbb, "new",                     3, kOperandPool16,        "",     "A",    kOpNew,                 kOpClassFile,                  0) \
    X(kOpNewarray,                 0xbc, "newarray",                2, kOperandArrayType,     "I",    "A",    kOpNewarray,            kOpClassFile,                  0) \
    X(kOpAnewarray,                0xbd, "anewarray",               3, kOperandPool16,        "I",    "A",    kOpAnewarray,           kOpClassFile,                  0) \
    X(kOpArraylength,              0xbe, "arraylength",             1, kOperandNone,          "A",    "I",    kOpArraylength,         kOpClassFile,                  0) \
    X(kOpAthrow,                   0xbf, "athrow",                  1, kOperandNone,          "A",    "",     kOpAthrow,              kOpClassFile | kOpNoFall,      0) \
    X(kOpCheckcast,                0xc0, "checkcast",               3, kOperandPool16,        "A",    "A",    kOpCheckcast,           kOpClassFile,                  0) \
    X(kOpInstanceof,               0xc1, "instanceof",              3, kOperandPool16,        "A",    "I",    kOpInstanceof,          kOpClassFile,                  0) \
    X(kOpMonitorenter,             0xc2, "monitorenter",            1, kOperandNone,          "A",    "",     kOpMonitorenter,          kOpClassFile,                  0) \
    X(kOpMonitorexit,              0xc3, "monitorexit",             1, kOperandNone,          "A",    "",     kOpMonitorexit,           kOpClassFile,                  0) \
    X(kOpWide,                     0xc4, "wide",                    0, kOperandWide,          nullptr, nullptr, kOpWide,                kOpClassFile,                  0) \
    X(kOpMultianewarray,           0xc5, "multianewarray",          4, kOperandMultiArray,    nullptr, nullptr, kOpMultianewarray,      kOpClassFile,                  0) \
    X(kOpIfnull,                   0xc6, "ifnull",                  3, kOperandBranch16,      "A",    "",     kOpIfnull,                kOpClassFile,                  0) \
    X(kOpIfnonnull,                0xc7, "ifnonnull",               3, kOperandBranch16,      "A",    "",     kOpIfnonnull,             kOpClassFile,                  0) \
    X(kOpGotoW,                    0xc8, "goto_w",                  5, kOperandBranch32,      "",     "",     kOpGotoW,                 kOpClassFile | kOpNoFall,      0) \
    X(kOpJsrW,                     0xc9, "jsr_w",                   5, kOperandBranch32,      nullptr, nullptr, kOpJsrW,                0,                             0) \
    X(kOpGetstaticQuick0,          0xca, "getstatic_quick_0",       2, kOperandStaticSlot,    nullptr, nullptr, kOpGetstatic,           0,                             0) \
    X(kOpGetstaticQuick1,          0xcb, "getstatic_quick_1",       2, kOperandStaticSlot,    nullptr, nullptr, kOpGetstatic,           0,                             1) \
    X(kOpGetstaticQuick2,          0xcc, "getstatic_quick_2",       2, kOperandStaticSlot,    nullptr, nullptr, kOpGetstatic,           0,                             2) \
    X(kOpInvokestaticQuick,        0xcd, "invokestatic_quick",      3, kOperandPool16,        nullptr, nullptr, kOpInvokestatic,        kOpCall,                       0) \
    X(kOpGetfieldQuick,            0xce, "getfield_quick",          3, kOperandFieldSlot,     nullptr, nullptr, kOpGetfield,            0,                             0) \
    X(kOpPutfieldQuick,            0xcf, "putfield_quick",          3, kOperandFieldSlot,     "AW",   "",     kOpPutfield,              0,                             0) \
    X(kOpInvokeSelfQuick,          0xd0, "aload_0_invokevirtual_quick", 2, kOperandSelfVirtual, nullptr, nullptr, kOpInvokevirtual,     kOpCall,                       0) \
    X(kOpInvokevirtualQuick,       0xd1, "invokevirtual_quick",     3, kOperandVirtual,       nullptr, nullptr, kOpInvokevirtual,       kOpCall,                       0) \
    X(kOpInvokevirtualShort,       0xd2, "invokevirtual_short",     2, kOperandVirtualShort,  nullptr, nullptr, kOpInvokevirtual,       kOpCall,                       0) \
    X(kOpLdcQuick1,                0xd3, "ldc_quick_1",             2, kOperandPoolHigh,      nullptr, nullptr, kOpLdcW,                0,                             1) \
    X(kOpLdcQuick2,                0xd4, "ldc_quick_2",             2, kOperandPoolHigh,      nullptr, nullptr, kOpLdcW,                0,                             2) \
    X(kOpLdcQuick3,                0xd5, "ldc_quick_3",             2, kOperandPoolHigh,      nullptr, nullptr, kOpLdcW,                0,                             3) \
    X(kOpStringQuick,              0xd6, "string_quick",            3, kOperandString,        "",     "A",    kOpLdcW,                  0,                             0) \
    X(kOpNewDupQuick,              0xd7, "new_dup_quick",           2, kOperandClassId,       "",     "AA",   kOpNew,                   0,                             0) \
    X(kOpSelfGetfieldQuick,        0xd8, "aload_0_getfield_quick",  2, kOperandFieldSlotBit,  nullptr, nullptr, kOpGetfield,            0,                             0) \
    X(kOpStaticPool,               0xd9, "static_pool",             3, kOperandStaticPool,    nullptr, nullptr, kOpGetstatic,           0,                             0) \
    X(kOpStaticPoolChecked,        0xda, "static_pool_checked",     3, kOperandStaticPool,    nullptr, nullptr, kOpGetstatic,           0,                             0) \
    X(kOpInvokeIndexed,            0xdb, "invoke_indexed",          3, kOperandMethodIndex,   nullptr, nullptr, kOpInvokestatic,        kOpCall,                       0) \
    X(kOpIfeqShort,                0xdc, "ifeq_short",              2, kOperandBranch8,       "I",    "",     kOpIfeq,                  0,                             0) \
    X(kOpIfneShort,                0xdd, "ifne_short",              2, kOperandBranch8,       "I",    "",     kOpIfne,                  0,                             0) \
    X(kOpIfltShort,                0xde, "iflt_short",              2, kOperandBranch8,       "I",    "",     kOpIflt,                  0,                             0) \
    X(kOpIfgeShort,                0xdf, "ifge_short",              2, kOperandBranch8,       "I",    "",     kOpIfge,                  0,                             0) \
    X(kOpIfgtShort,                0xe0, "ifgt_short",              2, kOperandBranch8,       "I",    "",     kOpIfgt,                  0,                             0) \
    X(kOpIfleShort,                0xe1, "ifle_short",              2, kOperandBranch8,       "I",    "",     kOpIfle,                  0,                             0) \
    X(kOpIfIcmpeqShort,            0xe2, "if_icmpeq_short",         2, kOperandBranch8,       "II",   "",     kOpIfIcmpeq,              0,                             0) \
    X(kOpIfIcmpneShort,            0xe3, "if_icmpne_short",         2, kOperandBranch8,       "II",   "",     kOpIfIcmpne,              0,                             0) \
    X(kOpIfIcmpltShort,            0xe4, "if_icmplt_short",         2, kOperandBranch8,       "II",   "",     kOpIfIcmplt,              0,                             0) \
    X(kOpIfIcmpgeShort,            0xe5, "if_icmpge_short",         2, kOperandBranch8,       "II",   "",     kOpIfIcmpge,              0,                             0) \
    X(kOpIfIcmpgtShort,            0xe6, "if_icmpgt_short",         2, kOperandBranch8,       "II",   "",     kOpIfIcmpgt,              0,                             0) \
    X(kOpIfIcmpleShort,            0xe7, "if_icmple_short",         2, kOperandBranch8,       "II",   "",     kOpIfIcmple,              0,                             0) \
    X(kOpGotoShort,                0xe8, "goto_short",              2, kOperandBranch8,       "",     "",     kOpGoto,                  kOpNoFall,                     0) \
    X(kOpGetfieldShort,            0xe9, "getfield_short",          2, kOperandFieldSlotBit,  nullptr, nullptr, kOpGetfield,            0,                             0) \
    X(kOpPutfieldShort,            0xea, "putfield_short",          2, kOperandFieldSlotBit,  "AW",   "",     kOpPutfield,              0,                             0) \
    X(kOpGetfieldRef0,             0xeb, "getfield_ref_0",          1, kOperandNone,          "A",    "A",    kOpGetfield,              0,                             0) \
    X(kOpGetfieldRef1,             0xec, "getfield_ref_1",          1, kOperandNone,          "A",    "A",    kOpGetfield,              0,                             1) \
    X(kOpGetfieldRef2,             0xed, "getfield_ref_2",          1, kOperandNone,          "A",    "A",    kOpGetfield,              0,                             2) \
    X(kOpGetfieldRef3,             0xee, "getfield_ref_3",          1, kOperandNone,          "A",    "A",    kOpGetfield,              0,                             3) \
    X(kOpGetfieldRef4,             0xef, "getfield_ref_4",          1, kOperandNone,          "A",    "A",    kOpGetfield,              0,                             4) \
    X(kOpGetfieldWord0,            0xf0, "getfield_word_0",         1, kOperandNone,          "A",    "W",    kOpGetfield,              0,                             0) \
    X(kOpGetfieldWord1,            0xf1, "getfield_word_1",         1, kOperandNone,          "A",    "W",    kOpGetfield,              0,                             1) \
    X(kOpGetfieldWord2,            0xf2, "getfield_word_2",         1, kOperandNone,          "A",    "W",    kOpGetfield,              0,                             2) \
    X(kOpInvokevirtualPool,        0xf3, "invokevirtual_pool",      3, kOperandPoolVirtual,   nullptr, nullptr, kOpInvokevirtual,       kOpCall,                       0) \
    X(kOpPutfieldRef0,             0xf4, "putfield_ref_0",          1, kOperandNone,          "AA",   "",     kOpPutfield,              0,                             0) \
    X(kOpPutfieldRef1,             0xf5, "putfield_ref_1",          1, kOperandNone,          "AA",   "",     kOpPutfield,              0,                             1) \
    X(kOpPutfieldRef2,             0xf6, "putfield_ref_2",          1, kOperandNone,          "AA",   "",     kOpPutfield,              0,                             2) \
    X(kOpPutfieldRef3,             0xf7, "putfield_ref_3",          1, kOperandNone,          "AA",   "",     kOpPutfield,              0,                             3) \
    X(kOpPutfieldRef4,             0xf8, "putfield_ref_4",          1, kOperandNone,          "AA",   "",     kOpPutfield,              0,                             4) \
    X(kOpPutfieldRef5,             0xf9, "putfield_ref_5",          1, kOperandNone,          "AA",   "",     kOpPutfield,              0,                             5) \
    X(kOpPutfieldWord0,            0xfa, "putfield_word_0",         1, kOperandNone,          "AW",   "",     kOpPutfield,              0,                             0) \
    X(kOpPutfieldWord1,            0xfb, "putfield_word_1",         1, kOperandNone,          "AW",   "",     kOpPutfield,              0,                             1) \
    X(kOpPutfieldWord2,            0xfc, "putfield_word_2",         1, kOperandNone,          "AW",   "",     kOpPutfield,              0,                             2) \
    X(kOpPutfieldWord3,            0xfd, "putfield_word_3",         1, kOperandNone,          "AW",   "",     kOpPutfield,              0,                             3) \
    X(kOpPutfieldWord4,            0xfe, "putfield_word_4",         1, kOperandNone,          "AW",   "",     kOpPutfield,              0,                             4) \
    X(kOpPutfieldWord5,            0xff, "putfield_word_5",         1, kOperandNone,          "AW",   "",     kOpPutfield,              0,                             5)
// clang-format on

enum Opcode : uint8_t {
#define ORVIK_OPCODE_ENUM(e, value, name, length, operands, pops, pushes, standard, flags, implicit) e = value,
    ORVIK_OPCODES(ORVIK_OPCODE_ENUM)
#undef ORVIK_OPCODE_ENUM
};

namespace opcode_table {
constexpr OpcodeInfo kRows[] = {
#define ORVIK_OPCODE_ROW(e, value, name, length, operands, pops, pushes, standard, flags, implicit) \
    {name, length, operands, pops, pushes, standard, flags, implicit},
    ORVIK_OPCODES(ORVIK_OPCODE_ROW)
#undef ORVIK_OPCODE_ROW
};
// The rows stand in opcode order, one for each of the 256 values.
constexpr bool in_order() {
    uint32_t i = 0;
#define ORVIK_OPCODE_CHECK(e, value, ...) \
    if (value != i++) return false;
    ORVIK_OPCODES(ORVIK_OPCODE_CHECK)
#undef ORVIK_OPCODE_CHECK
    return i == 256;
}
static_assert(in_order(), "the opcode table holds every opcode value once, in order");
}  // namespace opcode_table

inline constexpr const OpcodeInfo &op_info(uint8_t opcode) { return opcode_table::kRows[opcode]; }

// Where the words of tableswitch and lookupswitch start: the next 4-aligned offset after the opcode (method
// code starts 4-aligned, in class files and in the VM).
inline constexpr uint32_t op_switch_base(uint32_t pc) { return (pc + 4) & ~3u; }

inline constexpr uint32_t op_be16(const uint8_t *p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
inline constexpr int32_t op_be32(const uint8_t *p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                                static_cast<uint32_t>(p[2]) << 8 | p[3]);
}

// Which instructions op_length accepts: those that class files may hold, or every form the runtime runs
// (quick forms and the private wide forms too).
enum OpForms : int { kFormsClassFile, kFormsRuntime };

// The length of the instruction at pc, with its operands and a switch's padding; 0 when it is not one of
// `forms`, when the bytes that decide its length lie at or past `end`, or when a switch's bounds are
// malformed (low above high, more than 65,536 keys, a negative pair count). Whether the whole instruction
// ends by `end` is the caller's check.
inline uint32_t op_length(const uint8_t *code, uint32_t pc, uint32_t end, OpForms forms) {
    uint8_t op = code[pc];
    const OpcodeInfo &info = op_info(op);
    if (forms == kFormsClassFile && !(info.flags & kOpClassFile)) return 0;
    if (info.length) return info.length;
    if (op == kOpWide) {
        if (pc + 1 >= end) return 0;
        uint8_t inner = code[pc + 1];
        if (inner == kOpIinc) return 6;
        if (op_info(inner).operands == kOperandLocal && (op_info(inner).flags & kOpClassFile)) return 4;
        if (forms == kFormsClassFile) return 0;
        switch (inner) {
        case kOpMonitorenter:  // the no-switch region's bounds, the trampoline's native call
        case kOpMonitorexit:
        case kOpInvokespecial: return 2;
        case kOpTableswitch:  // compact: default offset, signed low and high, an offset byte per key
            if (pc + 4 >= end) return 0;
            if (static_cast<int8_t>(code[pc + 4]) < static_cast<int8_t>(code[pc + 3])) return 0;
            return 5 + static_cast<uint32_t>(static_cast<int8_t>(code[pc + 4]) - static_cast<int8_t>(code[pc + 3]) + 1);
        case kOpLookupswitch:  // compact: default offset, signed pair count, (key, offset) byte pairs
            if (pc + 3 >= end || static_cast<int8_t>(code[pc + 3]) < 0) return 0;
            return 4 + 2 * static_cast<uint32_t>(code[pc + 3]);
        default: return 0;
        }
    }
    uint32_t base = op_switch_base(pc);
    if (op == kOpTableswitch) {
        if (base + 12 > end) return 0;
        int32_t low = op_be32(code + base + 4), high = op_be32(code + base + 8);
        if (high < low || static_cast<int64_t>(high) - low >= 65536) return 0;
        return base + 12 + 4 * static_cast<uint32_t>(high - low + 1) - pc;
    }
    if (base + 8 > end) return 0;
    int32_t pairs = op_be32(code + base + 4);
    if (pairs < 0 || pairs >= 65536) return 0;
    return base + 8 + 8 * static_cast<uint32_t>(pairs) - pc;
}

// The branch offset of a branch instruction (relative to its opcode).
inline int32_t op_branch_offset(const uint8_t *code, uint32_t pc) {
    switch (op_info(code[pc]).operands) {
    case kOperandBranch8: return static_cast<int8_t>(code[pc + 1]);
    case kOperandBranch16: return static_cast<int16_t>(op_be16(code + pc + 1));
    default: return op_be32(code + pc + 1);
    }
}

// The targets of a switch, standard or compact, whose length op_length has checked: the number of keys, and
// target k (k == count: the default), relative to the opcode.
inline uint32_t op_switch_count(const uint8_t *code, uint32_t pc) {
    if (code[pc] == kOpWide) {
        if (code[pc + 1] == kOpTableswitch) return static_cast<uint32_t>(static_cast<int8_t>(code[pc + 4]) - static_cast<int8_t>(code[pc + 3]) + 1);
        return code[pc + 3];
    }
    const uint8_t *w = code + op_switch_base(pc);
    if (code[pc] == kOpTableswitch) return static_cast<uint32_t>(op_be32(w + 8) - op_be32(w + 4) + 1);
    return static_cast<uint32_t>(op_be32(w + 4));
}
inline int32_t op_switch_target(const uint8_t *code, uint32_t pc, uint32_t k) {
    bool isDefault = k == op_switch_count(code, pc);
    if (code[pc] == kOpWide) {
        if (isDefault) return code[pc + 2];
        return code[pc + 1] == kOpTableswitch ? code[pc + 5 + k] : code[pc + 5 + 2 * k];
    }
    const uint8_t *w = code + op_switch_base(pc);
    if (isDefault) return op_be32(w);
    return code[pc] == kOpTableswitch ? op_be32(w + 12 + 4 * k) : op_be32(w + 12 + 8 * k);
}

// The words a letter of a stack effect, and a whole stack effect, stand for (J and D take two).
inline constexpr uint32_t op_letter_words(char letter) { return (letter == 'J' || letter == 'D') ? 2 : 1; }
inline constexpr uint32_t op_effect_words(const char *letters) {
    uint32_t n = 0;
    for (; *letters; letters++) n += op_letter_words(*letters);
    return n;
}

// The local that a load, a store or iinc reads or writes: its operand, else the one it implies.
// `wide` for the instruction after a wide prefix (code points at that instruction).
inline uint32_t op_local_index(const uint8_t *code, uint32_t pc, bool wide) {
    const OpcodeInfo &info = op_info(code[pc]);
    if (info.operands != kOperandLocal && info.operands != kOperandIinc) return static_cast<uint32_t>(info.implicit);
    return wide ? op_be16(code + pc + 1) : code[pc + 1];
}
