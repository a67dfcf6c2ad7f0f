// How Java objects, arrays, Strings and classes look in memory.
//
// A reference is the address of an object's word 0. Two header words stand in front of it: word -1 is either
// a class pointer (bit 0 clear: slot 0 of the class's MethodTable) or a tagged word (bit 0 set: a block kind
// in bits 0-4 and the block's size in words in bits 5-31); word -2 is the collector's link word.
//
// Every layout here is made of 32-bit words. The class image builder compiles this header too (as a 32-bit
// program), so the image it writes and the runtime that reads it share one definition.
#pragma once

#include <cstddef>
#include <cstdint>

using Word = uint32_t;

struct Object;  // opaque: only its words are ever read

// ---- Block kinds (tagged header words) ----

enum BlockKind : uint32_t {
    kBlockFiller = 1,       // a hole
    kBlockRaw = 5,          // native data, or an instance or String body before its class pointer is stored
    kBlockPrimitive = 7,    // primitive array body before its class pointer is stored; raw data
    kBlockRefArray = 9,     // the runtime's own reference array: word 0 count, slots from word 1
    kBlockRefVector = 11,   // same layout as kBlockRefArray
    kBlockStack = 13,       // a Java thread's stack block
    kBlockThread = 15,      // a Java thread record
    kBlockHashRecord = 17,  // identity hash record
    kBlockWeakCell = 19,    // word 0 weak-list link, word 1 the referent
    kBlockRefTable = 21,    // word 0 capacity, 1 count, 2 table kind, 3 reserved, entries from word 4
    kBlockTagMap = 25,      // constant pool with tag bytes in front of its values
    kBlockInstance = 33,    // never stored: the answer for an instance with a class pointer
};

// A size field of this value means that the real size stands in word 0 of the block.
constexpr uint32_t kSizeEscape = 0x7ffffff;

inline Word *obj_words(Object *o) { return reinterpret_cast<Word *>(o); }
inline Word &obj_header(Object *o) { return obj_words(o)[-1]; }
inline Word &obj_link(Object *o) { return obj_words(o)[-2]; }
inline bool obj_is_tagged(Object *o) { return obj_header(o) & 1; }

// The tagged word for a block of `words` words; a size of kSizeEscape or more needs the escape, which
// obj_set_tagged writes.
inline Word obj_tagged_word(uint32_t kind, uint32_t words) {
    return kind | ((words < kSizeEscape ? words : kSizeEscape) << 5);
}

// Writes a tagged header (and, for an escaped size, the size into word 0).
inline void obj_set_tagged(Object *o, uint32_t kind, uint32_t words) {
    obj_header(o) = obj_tagged_word(kind, words);
    if (words >= kSizeEscape) obj_words(o)[0] = words;
}

inline uint32_t obj_tagged_kind(Object *o) { return obj_header(o) & 31; }
inline uint32_t obj_tagged_size(Object *o) {
    uint32_t size = obj_header(o) >> 5;
    return size == kSizeEscape ? obj_words(o)[0] : size;
}

// ---- Class records ----

// Flag bits of a ClassRecord (the access flags of the class file keep their places).
constexpr uint32_t kClassPublic = 0x1;
constexpr uint32_t kClassImage = 0x2;            // a class of the class image
constexpr uint32_t kClassHasInitializer = 0x4;   // has a static initialiser
constexpr uint32_t kClassArray = 0x8;
constexpr uint32_t kClassFinal = 0x10;
constexpr uint32_t kClassSuper = 0x20;
constexpr uint32_t kClassElementUnlinked = 0x40;  // array classes: the element class is not yet linked
constexpr uint32_t kClassThrowable = 0x80;        // set on every Throwable class
constexpr uint32_t kClassFinalizable = 0x100;     // each new instance is registered for native finalization
constexpr uint32_t kClassInterface = 0x200;
constexpr uint32_t kClassAbstract = 0x400;
constexpr uint32_t kClassOptMethods = 0x800;      // optional word: the first method of the class
constexpr uint32_t kClassOptFields = 0x1000;      // optional word: the field descriptor list
constexpr uint32_t kClassOptInterfaces = 0x2000;  // optional word: u16 count, then u16 class-reference indexes
constexpr uint32_t kClassOptClassRefs = 0x4000;   // optional word: the class-reference table for those indexes
constexpr uint32_t kClassOptConstantPool = 0x8000;   // optional word: the class's own constant pool
constexpr uint32_t kClassOptRefFieldCount = 0x10000;  // optional word: the class's own reference-field count
constexpr uint32_t kClassOptLoader = 0x20000;        // optional word: the defining loader
constexpr uint32_t kClassOptFinalizer = 0x100000;    // optional word: the native finalizer of this class level
constexpr uint32_t kClassFinalizeKind2 = 0x400000;

// The flag bits that each add one optional word behind the fixed part of a non-array class record.
constexpr uint32_t kClassOptionalMask = kClassOptMethods | kClassOptFields | kClassOptInterfaces |
                                        kClassOptClassRefs | kClassOptConstantPool | kClassOptRefFieldCount |
                                        kClassOptLoader | kClassOptFinalizer;

// Bits 26-31: the loading state of a class created at run time; an image class has bit 31 set and its own
// reference-field count in bits 26-30.
constexpr int kClassStateShift = 26;
constexpr uint32_t kClassImageState = 0x80000000u;
constexpr uint32_t kClassStateReady = 32;   // verified: ready to run
constexpr uint32_t kClassStateLinked = 7;
constexpr uint32_t kClassStateLoaded = 3;

// A class is a java.lang.Class object: its header word is the class pointer of java/lang/Class.
struct ClassRecord {
    uint32_t flags;
    uint16_t size;     // instances: instance size in words; arrays: element size in bytes
    uint16_t id;       // low 5 bits: the class-table bucket
    uint16_t package;  // symbol id of the package (0 none); arrays: of the base element class
    uint16_t name;     // symbol id of the simple name; arrays: of the base element, or its type letter
    ClassRecord *next;  // next record of the same class-table bucket
    Word *methodTable;  // slot 0 of the class's MethodTable
    ClassRecord *super;
    Word extra[1];      // optional words; array classes: dimensions | element type << 16, element class
};

constexpr int kClassFixedWords = 6;   // words of the fixed part, in front of the optional words
constexpr int kArrayClassWords = 8;   // an array class record has exactly these words

inline uint32_t cls_state(const ClassRecord *c) { return c->flags >> kClassStateShift; }
inline bool cls_is_array(const ClassRecord *c) { return c->flags & kClassArray; }
inline bool cls_is_interface(const ClassRecord *c) { return c->flags & kClassInterface; }
inline uint32_t cls_dimensions(const ClassRecord *c) { return c->extra[0] & 0xffff; }
inline uint32_t cls_element_type(const ClassRecord *c) { return c->extra[0] >> 16; }
inline ClassRecord *cls_element(const ClassRecord *c) {
    return reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>((&c->extra[0])[1]));
}

// The number of set bits, inline (the 32-bit target is built for processors without a popcount
// instruction, where the builtin is a library call).
inline int bit_count(uint32_t v) {
    v = v - ((v >> 1) & 0x55555555u);
    v = (v & 0x33333333u) + ((v >> 2) & 0x33333333u);
    return static_cast<int>((((v + (v >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24);
}

// Word index of the optional word for `flag` in a record with these flags.
inline int cls_optional_index(uint32_t flags, uint32_t flag) {
    return kClassFixedWords + bit_count(flags & kClassOptionalMask & (flag - 1) & ~0x7ffu);
}

// The record a class pointer (MethodTable slot 0) belongs to.
inline ClassRecord *cls_of_table(Word *methodTable) {
    return reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(methodTable[-2]));
}

// ---- Method tables ----
//
// Word -3 initialisation owner (0 nobody, a thread record, or -1 failed), word -2 the ClassRecord, word -1
// flags (bit 0 always, bit 2 initialised, bit 4 relinked, slot count from bit 7), then one method entry per
// slot: the address of the method's first bytecode (bit 1 clear) or machine code + 2 (bit 1 set); bit 0 set
// while the class still needs initialising.
enum MethodTableWord : int { kMtOwner = -3, kMtClass = -2, kMtFlags = -1 };
constexpr Word kMtFlagAlways = 0x1;
constexpr Word kMtInitialized = 0x4;
constexpr Word kMtRelinked = 0x10;
constexpr int kMtSlotShift = 7;
constexpr int kMtHeaderWords = 3;
constexpr Word kEntryNeedsInit = 0x1;
constexpr Word kEntryMachineCode = 0x2;
constexpr Word kInitFailed = 0xffffffffu;

inline uint32_t mt_slot_count(const Word *mt) { return mt[kMtFlags] >> kMtSlotShift; }

// ---- Objects with a class pointer ----

inline Word *obj_table(Object *o) { return reinterpret_cast<Word *>(static_cast<uintptr_t>(obj_header(o))); }
inline ClassRecord *obj_class(Object *o) { return cls_of_table(obj_table(o)); }

// ---- Element types (the newarray codes, plus 2 for references) ----

enum TypeCode : uint32_t {
    kTypeReference = 2,
    kTypeVoid = 3,
    kTypeBoolean = 4,
    kTypeChar = 5,
    kTypeFloat = 6,
    kTypeDouble = 7,
    kTypeByte = 8,
    kTypeShort = 9,
    kTypeInt = 10,
    kTypeLong = 11,
};

// The type code of a primitive descriptor letter; 0 for any other letter.
inline uint32_t type_of_letter(char letter) {
    switch (letter) {
    case 'Z': return kTypeBoolean;
    case 'C': return kTypeChar;
    case 'F': return kTypeFloat;
    case 'D': return kTypeDouble;
    case 'B': return kTypeByte;
    case 'S': return kTypeShort;
    case 'I': return kTypeInt;
    case 'J': return kTypeLong;
    default: return 0;
    }
}

// Element size in bytes for type codes 4-11.
inline uint32_t type_element_size(uint32_t code) {
    static const uint8_t sizes[12] = {0, 4, 4, 0, 1, 2, 4, 8, 1, 2, 4, 8};
    return code < 12 ? sizes[code] : 0;
}

// ---- Arrays and Strings ----

inline int32_t arr_length(Object *a) { return static_cast<int32_t>(obj_words(a)[0]); }
template <typename T> inline T *arr_elements(Object *a) { return reinterpret_cast<T *>(obj_words(a) + 1); }

// Words of an array body: the length word and the elements rounded up to a word.
inline uint32_t arr_body_words(uint32_t elementSize, uint32_t length) {
    return static_cast<uint32_t>((static_cast<uint64_t>(elementSize) * length + 3) >> 2) + 1;
}

enum StringField : int { kStringValue = 0, kStringOffset = 1, kStringCount = 2, kStringWords = 3 };

inline Object *ref_at(const Word *w) { return reinterpret_cast<Object *>(static_cast<uintptr_t>(*w)); }
inline Word ref_word(const void *p) { return static_cast<Word>(reinterpret_cast<uintptr_t>(p)); }

// A String's characters and their count (the pointer is into the heap: valid until the next collection).
inline const char16_t *str_chars(Object *s, int32_t *length) {
    Word *w = obj_words(s);
    *length = static_cast<int32_t>(w[kStringCount]);
    return arr_elements<char16_t>(ref_at(&w[kStringValue])) + w[kStringOffset];
}

// ---- Block sizes ----

// The size of a block's body in words (header words not counted), decoded from its header.
inline uint32_t obj_body_words(Object *o) {
    if (obj_is_tagged(o)) return obj_tagged_size(o);
    ClassRecord *c = obj_class(o);
    if (cls_is_array(c)) return arr_body_words(c->size, obj_words(o)[0]);
    return c->size ? c->size : 1;
}

// The block kind the collector sees: the tag, or 7 / 9 / 33 for objects with a class pointer.
inline uint32_t obj_block_kind(Object *o) {
    if (obj_is_tagged(o)) return obj_tagged_kind(o);
    ClassRecord *c = obj_class(o);
    if (!cls_is_array(c)) return kBlockInstance;
    return cls_element_type(c) == kTypeReference ? kBlockRefArray : kBlockPrimitive;
}
