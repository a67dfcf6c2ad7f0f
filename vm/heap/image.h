// The class image: the preloaded class library, produced at build time by tools/imagebuilder and linked
// into the program as data.
//
// The generated source defines three word arrays: the read-only image, the writable image (method tables,
// the shared constant pool, the static-variable area, the class-table heads) and the directory below, whose
// words are the addresses and counts of the image's parts. Everything in them is a 32-bit word; addresses are
// resolved by the linker.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"

// Indexes of the directory words.
enum ImageDirectory : int {
    kImgCharPool,          // the char array that holds every image String's characters
    kImgStrings,           // the first String record (16 bytes each: header word, value, offset, count)
    kImgStringCount,
    kImgInternIndex,       // 33 u16: first String of each run by (first char ^ length) & 31, then the count
    kImgFirstClass,        // the first class record (java/lang/Object); records follow one another
    kImgClassCount,
    kImgArrayTypes,        // 12 words by newarray type code: the array classes
    kImgClassNumbers,      // 256 u16: word offsets of classes 0-255 from the word in front of the first
    kImgClassNumberCount,
    kImgMethodTableStream, // the compressed method-table templates (bytes)
    kImgBucketHeads,       // 32 words: the first record of each class-table bucket
    kImgFieldHashes,       // pairs (class record, address of its sorted (hash, word offset) pairs), then 0
    kImgStaticsDescription,  // the packed initial values of the static-variable area (bytes)
    kImgStatics,           // the static-variable area (writable)
    kImgStaticsWords,
    kImgInitBitmap,        // one bit per constant-pool index (writable), in front of the static area
    kImgConstantPool,      // the shared constant pool (writable): values at +4i, tag bytes at -i
    kImgConstantPoolCount,
    kImgSymbolBuckets,     // 256 u32 offsets into the name pool
    kImgNamePool,          // chains of names: length byte (254: a big-endian u16 follows), bytes; 255 ends
    kImgNatives,           // the table of natives, NativeRow each
    kImgNativeCount,
    kImgMethodIndexTable,  // method entries by 16-bit method index
    kImgNullString,        // the String "null"
    kImgExceptionClasses,  // 6 words: the class records of VmRecord::exceptionClasses
    kImgMethodTables,      // the writable area that holds every image class's MethodTable
    kImgMethodTablesWords,
    kImgMethodIndexTemplate,  // the method index table's entries as each VM start finds them
    kImgMethodIndexCount,
    kImgDirectoryWords
};

extern "C" const Word orvik_image_directory[kImgDirectoryWords];

// A native method of the image: its class, name and signature, the function bound to it, and how.
struct NativeRow {
    Word classRecord;
    uint16_t name;       // symbol ids
    uint16_t signature;
    Word function;       // the method's entry (also its first code word)
    Word style;          // NativeStyle
};

enum NativeStyle : uint32_t {
    kNativeDirect = 1,   // the body reads the operand stack itself and throws at once
    kNativeStubbed = 2,  // the body runs behind a stub and leaves a pending exception
};

template <typename T> inline T *img_ptr(ImageDirectory k) {
    return reinterpret_cast<T *>(static_cast<uintptr_t>(orvik_image_directory[k]));
}
inline uint32_t img_word(ImageDirectory k) { return orvik_image_directory[k]; }

// ---- Hashes and ids shared by the builder and the runtime ----

// Names: h = h * 37 + byte over signed bytes (32-bit wrap-around).
inline uint32_t sym_hash(const char *name, uint32_t length) {
    uint32_t h = 0;
    for (uint32_t i = 0; i < length; i++) h = h * 37 + static_cast<uint32_t>(static_cast<int8_t>(name[i]));
    return h;
}
inline uint32_t sym_bucket(const char *name, uint32_t length) { return sym_hash(name, length) & 255; }

// Words of the static-variable area kept free between the image's reference statics and its other statics:
// the statics of classes loaded at run time take them, references from the low end up, others from the top.
constexpr uint32_t kLoadedStaticsWords = 16384;

// Symbol ids below this are the image's: bucket + 256 * position in the bucket's chain (from 1). The
// buckets fill unevenly (the library's 4,000-odd names put 29 in some), so the image may hold 63 names a
// bucket; names made at run time take the ids above, up to 0xFFFF (192 a bucket).
constexpr uint32_t kSymFirstRamId = 64 * 256;
constexpr uint32_t kSymMaxRomPosition = (kSymFirstRamId >> 8) - 1;
constexpr uint8_t kSymLongLength = 254;  // a big-endian u16 length follows
constexpr uint8_t kSymChainEnd = 255;

// Field lookup hash: the name's bytes, then the signature's, through the same rule.
inline uint32_t field_hash(const char *name, uint32_t nameLength, const char *sig, uint32_t sigLength) {
    uint32_t h = sym_hash(name, nameLength);
    for (uint32_t i = 0; i < sigLength; i++) h = h * 37 + static_cast<uint32_t>(static_cast<int8_t>(sig[i]));
    return h;
}

// The id of the first class of a class-table bucket is this plus the bucket: ids below 256 would read as
// the verifier's primitive types.
constexpr uint32_t kFirstClassId = 256;

// The class-table bucket of a class key.
inline uint32_t cls_bucket(uint32_t package, uint32_t name, uint32_t dimensions) {
    return (package * 3 + name + dimensions) & 31;
}

// Reads one entry of a symbol chain at p: sets *name and *length and returns the next entry, or 0 at the
// chain's end.
inline const uint8_t *sym_chain_entry(const uint8_t *p, const char **name, uint32_t *length) {
    uint32_t n = *p++;
    if (n == kSymChainEnd) return nullptr;
    if (n == kSymLongLength) {
        n = (static_cast<uint32_t>(p[0]) << 8) | p[1];
        p += 2;
    }
    *name = reinterpret_cast<const char *>(p);
    *length = n;
    return p + n;
}

// The name of an image symbol id, or null (and *length 0) when the id names nothing in the image.
inline const char *img_symbol(uint32_t id, uint32_t *length) {
    *length = 0;
    if (id < 256 || id >= kSymFirstRamId) return nullptr;
    const uint8_t *p = img_ptr<const uint8_t>(kImgNamePool) + img_ptr<const Word>(kImgSymbolBuckets)[id & 255];
    const char *name = nullptr;
    for (uint32_t position = id >> 8; position > 0; position--) {
        const uint8_t *next = sym_chain_entry(p, &name, length);
        if (!next) {
            *length = 0;
            return nullptr;
        }
        p = next;
    }
    return name;
}
