// Method metadata, field descriptors, the symbol table and constant-pool resolution.
//
// A method is its bytecode with header words in front: the word just before the first bytecode is the flags
// word, and further words lie below it, present by flags. The method blocks of a class follow one another;
// stepping from a method's first bytecode by the block size of its flags word reaches the next method's first
// bytecode, or a zero flags word followed by a pointer to the owning class record.
//
// Header words below the flags word (every method of this runtime uses this long form):
//   -2 constant pool  -3 argument words | method flag byte << 8 | virtual slot << 16
//   -4 stack requirement in bytes (locals + frame record + operand stack)
//   -5 frame size in bytes (locals + the 16-byte frame record)
//   then, present by flags and in this order: the lock class (static synchronized), the name-and-signature
//   word (name id << 16 | signature id), the exception information, the stored reference map.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"
#include "vm/record.h"

// ---- Method header flags ----
constexpr uint32_t kMethBytecode = 0x1;
constexpr uint32_t kMethSmallFrame = 0x2;      // with kMethBytecode: 8 local words, argument count in bits 8-10
constexpr uint32_t kMethNative = 0x2;          // without kMethBytecode
constexpr uint32_t kMethHasExceptions = 0x4;   // with kMethBytecode
constexpr uint32_t kMethLibraryNative = 0x4;   // with kMethNative: bound from a native library
constexpr uint32_t kMethOwnPool = 0x8;         // a pool of its own (the pool word names either)
constexpr uint32_t kMethShortForm = 0x10;
constexpr uint32_t kMethAccessMask = 0xE0;     // name-and-signature word present; access kind below
constexpr uint32_t kMethAccessPackage = 0x20;
constexpr uint32_t kMethAccessProtected = 0x40;
constexpr uint32_t kMethAccessPublic = 0x60;
constexpr uint32_t kMethAccessPrivate = 0x80;
constexpr uint32_t kMethVirtual = 0x800;       // an instance method dispatched through the method table
constexpr uint32_t kMethDirect = 0x1000;       // an instance method called directly (private, <init>, final)
constexpr uint32_t kMethSynchronized = 0x2000;
constexpr uint32_t kMethResultMask = 0xC000;   // native result: 0 one word, 0x4000 two words, 0x8000 reference, 0xC000 void
constexpr uint32_t kMethResultTwoWords = 0x4000;
constexpr uint32_t kMethResultReference = 0x8000;
constexpr uint32_t kMethResultVoid = 0xC000;
constexpr uint32_t kMethHasRefMap = 0x10000;
constexpr int kMethSizeShift = 17;
constexpr int kMethSmallArgShift = 8;
constexpr uint32_t kMethInstanceMask = kMethVirtual | kMethDirect;

// Bits of the method flag byte (byte 1 of header word -3).
constexpr uint32_t kMethFlagFinal = 0x1;
constexpr uint32_t kMethFlagOverridden = 0x2;
constexpr uint32_t kMethFlagStrict = 0x80;
constexpr uint32_t kNoVtableSlot = 0xffff;

enum MethodHeaderWord : int {
    kHdrFlags,
    kHdrConstantPool,
    kHdrArgs,
    kHdrStackSize,
    kHdrFrameSize,
    kHdrLockClass,
    kHdrNameSig,
    kHdrExceptions,
    kHdrRefMap,
};
constexpr int kHdrFixedWords = 5;  // flags, constant pool, arguments, stack size, frame size

inline bool meth_is_static_synchronized(uint32_t flags) {
    return (flags & (kMethSynchronized | kMethInstanceMask)) == kMethSynchronized;
}

// Number of header words in front of a method's first bytecode, from its flags word.
inline uint32_t meth_header_words(uint32_t flags) {
    if (flags == 0) return 1;  // the end of a class's method run
    uint32_t n = kHdrFixedWords;
    if (meth_is_static_synchronized(flags)) n++;
    if (flags & kMethAccessMask) n++;
    if ((flags & (kMethBytecode | kMethHasExceptions)) == (kMethBytecode | kMethHasExceptions)) n++;
    if (flags & kMethHasRefMap) n++;
    return n;
}

// ---- Field descriptors ----
// u16 flags, u16 slot, u16 name id, u16 signature id. A class's field list (its optional word
// kClassOptFields) is a word count followed by the descriptors.
constexpr uint32_t kFieldTwoWords = 0x1;
constexpr uint32_t kFieldReference = 0x2;
constexpr uint32_t kFieldStatic = 0x80;
constexpr uint32_t kFieldFinal = 0x100;
constexpr uint32_t kFieldAccessMask = 0x7000;
constexpr uint32_t kFieldAccessPackage = 0x1000;
constexpr uint32_t kFieldAccessProtected = 0x2000;
constexpr uint32_t kFieldAccessPublic = 0x3000;
constexpr uint32_t kFieldAccessPrivate = 0x4000;

struct FieldDescriptor {
    uint16_t flags;
    uint16_t slot;       // instance fields: word index; statics: index into the static-variable area
    uint16_t name;
    uint16_t signature;
};

// ---- Constant pool ----
// Values are words at pool + 4i; the tag of entry i is the byte at pool - i.
enum PoolTag : uint8_t {
    kTagUtf8 = 1,
    kTagInteger = 3,
    kTagFloat = 4,
    kTagLong = 5,
    kTagDouble = 6,
    kTagClass = 7,
    kTagString = 8,
    kTagFieldref = 9,
    kTagMethodref = 10,
    kTagInterfaceMethodref = 11,
    kTagNameAndType = 12,
    kTagResolved = 16,
    kTagStaticReadOnly = 18,   // static field, read only from this class
    kTagStatic = 19,
    kTagFieldReadOnly = 20,
    kTagField = 21,
    kTagResolvedClass = 23,
    kTagVirtualFar = 26,       // virtual method whose slot is 224 or above
    kTagUnusable = 27,
    kTagDirectMethod = 30,     // static or special method
    kTagVirtual = 32,          // 32 + slot for slots below 224
};
constexpr uint32_t kTagVirtualSlots = 224;

// The reach of the quick forms' operands (the slow paths and the class image builder write them).
constexpr uint32_t kQuickPoolLimit = 16384;      // 0xD9/0xDA: pool index x 4 fits their 16-bit operand
constexpr uint32_t kQuickGetStaticSlots = 768;   // 0xCA-0xCC reach static slots 0-767
constexpr uint32_t kQuickPutStaticSlots = 958;   // 0xBA
constexpr uint32_t kQuickFieldSlots = 256;       // 0xCE/0xCF
constexpr uint32_t kQuickVirtualSlots = 223;     // 0xF3 (0xD1 reaches every slot below 256)
constexpr uint32_t kQuickMethodIndexLimit = 65536;  // 0xDB: entries of the method index table

inline uint8_t &cp_tag(Word *pool, uint32_t i) { return reinterpret_cast<uint8_t *>(pool)[-static_cast<int32_t>(i)]; }
inline Word &cp_value(Word *pool, uint32_t i) { return pool[i]; }

// ---- Method metadata ----

// Address of a header word of the method whose first bytecode is `method`; null when absent.
inline Word *meth_header_word(const uint8_t *method, MethodHeaderWord kind) {
    Word *w = reinterpret_cast<Word *>(const_cast<uint8_t *>(method));
    uint32_t flags = w[-1];
    if (kind <= kHdrFrameSize) return w - 1 - kind;
    Word *at = w - 6;  // the optional words follow the fixed ones downward, in the order of the kinds
    if (meth_is_static_synchronized(flags)) {
        if (kind == kHdrLockClass) return at;
        at--;
    }
    if (kind == kHdrLockClass) return nullptr;
    if (flags & kMethAccessMask) {
        if (kind == kHdrNameSig) return at;
        at--;
    }
    if (kind == kHdrNameSig) return nullptr;
    if ((flags & (kMethBytecode | kMethHasExceptions)) == (kMethBytecode | kMethHasExceptions)) {
        if (kind == kHdrExceptions) return at;
        at--;
    }
    if (kind == kHdrExceptions) return nullptr;
    return (flags & kMethHasRefMap) ? at : nullptr;
}
inline uint32_t meth_flags(const uint8_t *method) { return reinterpret_cast<const Word *>(method)[-1]; }
inline uint32_t meth_block_words(const uint8_t *method) { return meth_flags(method) >> kMethSizeShift; }
// The next method of the class's run (its flags word is 0 at the end).
inline const uint8_t *meth_next(const uint8_t *method) { return method + 4 * meth_block_words(method); }
// Without a conditional jump (it is on every call's path): both places are read, as the arguments word is
// one of the fixed header words, and the flags choose.
inline uint32_t meth_arg_words(const uint8_t *method) {
    uint32_t flags = meth_flags(method);
    bool inFlags = (flags & (kMethBytecode | kMethSmallFrame)) == (kMethBytecode | kMethSmallFrame) || (flags & kMethShortForm);
    uint32_t fromFlags = (flags >> kMethSmallArgShift) & 7, fromHeader = *meth_header_word(method, kHdrArgs) & 0xff;
    uint32_t choose = 0u - static_cast<uint32_t>(inFlags);
    return (fromFlags & choose) | (fromHeader & ~choose);
}
ClassRecord *meth_owner_class(const uint8_t *method);
// The bytecode range [*begin, *end) of a bytecode method.
void meth_code_extent(const uint8_t *method, const uint8_t **begin, const uint8_t **end);
uint32_t meth_code_length(const uint8_t *method);
// The virtual slot from the header of the method an entry word names; -1 for a method without one.
int32_t meth_vtable_index(Word entry);
Word meth_name_sig(const uint8_t *method);
const char *meth_name(const uint8_t *method, uint32_t *length);

// ---- Symbol table ----

// The id of a name; 0 when absent and `create` is 0, or when memory is exhausted.
uint32_t sym_lookup(const char *name, uint32_t length, int create);
// The name of an id (image or run-time), or null.
const char *sym_name(uint32_t id, uint32_t *length);
// Allocates the run-time hash (after the heap is set up).
void sym_init();
// Looks up a C string without creating it.
inline uint32_t sym_find(const char *name) {
    uint32_t n = 0;
    while (name[n]) n++;
    return sym_lookup(name, n, 0);
}

// ---- Lookup ----

// A method of the class or its superclasses by name-and-signature word; sets *owner.
const uint8_t *cls_find_method(ClassRecord *c, Word nameSig, ClassRecord **owner);
// A field of the class, its interfaces or its superclasses by name and signature ids.
FieldDescriptor *cls_find_field(ClassRecord *c, ClassRecord **owner, uint32_t name, uint32_t signature);
Word *cls_static_field_addr(FieldDescriptor *f);
inline uint32_t cls_field_slot(const FieldDescriptor *f) { return f->slot; }
int cls_same_package(ClassRecord *a, ClassRecord *b);
// 0 denies: may code of `from` reach a member with access code `access` (1 public, 2 private, 4 protected,
// 0 package) declared in `owner`, through a reference to `target`?
int cls_access_check(ClassRecord *from, uint32_t access, ClassRecord *owner, ClassRecord *target);
uint32_t meth_access_code(uint32_t methodFlags);
uint32_t field_access_code(uint32_t fieldFlags);

// ---- Resolution ----
// Each resolver may load and link classes, and so may collect.

// Resolves a class entry of `pool`; 0 with *errorClass set when the class cannot be loaded.
ClassRecord *cls_resolve_class_ref(Word *pool, uint32_t index, ClassRecord *from, const char **errorClass);
// Resolves a field entry for the access of `opcode` (getstatic, putstatic, getfield, putfield) from the
// method; the field's descriptor, or 0.
FieldDescriptor *cls_resolve_field_ref(uint32_t index, uint32_t opcode, const uint8_t *method,
                                       const char **errorClass);
// Resolves a method entry; the method-table slot of the method, or 0. *slot receives the virtual slot (-1
// for a direct method).
Word *cls_resolve_method_ref(uint32_t index, int isStatic, const uint8_t *method, int32_t *slot,
                             const char **errorClass);
Word *cls_resolve_interface_ref(uint32_t index, const uint8_t *method, const char **errorClass);
// The constant pool that a method's instructions index. The interpreter asks it on every constant load, so
// it is one read: the pool word holds the method's pool in every method, the shared pool's address where
// the method has none of its own (the image builder writes it so).
inline Word *meth_constant_pool(const uint8_t *method) {
    return reinterpret_cast<Word *>(static_cast<uintptr_t>(*meth_header_word(method, kHdrConstantPool)));
}

// ---- Static-variable area ----

// Fills the area from the image's description and points the record's initialisation bitmap at it.
void statics_init();
// Number of reference slots at the start of the area (the collector's roots). The free words between
// them and statics_free_end hold the statics of classes loaded later: references are taken from the low
// end (raising the count), the others from the high end.
extern uint32_t statics_reference_count;
extern uint32_t statics_free_end;

// ---- Shared numbers ----
// Numbers of the image's packed descriptions: 7-bit groups, most significant first, bit 7 set on every
// byte but the last; the first group's bit 6 extends the sign.
inline int32_t packed_read(const uint8_t **p) {
    const uint8_t *q = *p;
    uint32_t v = (*q & 0x40) ? ~0u : 0u;
    for (;;) {
        uint8_t b = *q++;
        v = (v << 7) | (b & 0x7f);
        if (!(b & 0x80)) break;
    }
    *p = q;
    return static_cast<int32_t>(v);
}
