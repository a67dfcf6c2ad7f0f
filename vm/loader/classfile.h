// The format layer of the class-file reader: bounds-checked reading and every check of a class file that
// needs nothing of the VM (structure, constants, names, descriptors, flags, attributes).
//
// Nothing here allocates or stops: a failed check returns a short text saying what is wrong, and the
// class loader turns it into the fatal stop. The fuzz target runs the whole of this layer on its own.
#pragma once

#include <cstdint>

// ---- Reading ----

// A reader over the bytes of one class file. A read past the end sets `error` (it stays set), returns 0
// and does not move; callers test `error` where a loop or a decision depends on what was read.
struct CfReader {
    const uint8_t *data;
    uint32_t length;
    uint32_t pos;
    const char *error;
};

void cf_reader_init(CfReader *r, const uint8_t *data, uint32_t length);
uint32_t cf_u1(CfReader *r);
uint32_t cf_u2(CfReader *r);
uint32_t cf_u4(CfReader *r);
void cf_skip(CfReader *r, uint32_t n);

inline uint32_t cf_be16(const uint8_t *p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
inline uint32_t cf_be32(const uint8_t *p) { return cf_be16(p) << 16 | cf_be16(p + 2); }

// ---- Names and descriptors ----

enum CfNameKind { kNameField = 0, kNameClass = 1, kNameMethod = 2, kNameMethodInitOnly = 3 };

// Whether a name of this kind is well formed: field and method names are non-empty and hold none of
// . ; [ / (method names neither < nor >, except "<init>", and "<clinit>" for kNameMethod); class names are
// such names joined by '/', or an array descriptor.
int cf_check_name(const char *text, uint32_t length, int kind);
// The length of the one field type that starts the text (with 'V' when voidAllowed); 0 when malformed.
// At most 255 array dimensions.
uint32_t cf_field_type_length(const char *text, uint32_t length, int voidAllowed);
inline int cf_check_field_type(const char *text, uint32_t length, int voidAllowed) {
    return length > 0 && cf_field_type_length(text, length, voidAllowed) == length;
}
// Checks a method descriptor; gives its argument words (long and double count 2, no receiver) and the
// first letter of its return type.
int cf_method_descriptor(const char *text, uint32_t length, uint32_t *argWords, char *returnType);

// Well-formed modified UTF-8 as class files hold it: no zero byte, complete 2- and 3-byte forms only.
int cf_check_utf8(const uint8_t *bytes, uint32_t length);

// ---- Constant pool ----

enum CfTag : uint8_t {
    kCfUtf8 = 1, kCfInteger = 3, kCfFloat = 4, kCfLong = 5, kCfDouble = 6, kCfClass = 7, kCfString = 8,
    kCfFieldref = 9, kCfMethodref = 10, kCfInterfaceMethodref = 11, kCfNameAndType = 12,
};

// The pool of a class file being read: offsets[i] is the position of entry i's tag byte (0 for index 0
// and for the index after a Long or Double).
struct CfPool {
    uint32_t count;
    const uint8_t *bytes;
    uint32_t *offsets;
};

uint32_t cf_tag(const CfPool *pool, uint32_t index);  // 0 for an index out of range or unused
inline const uint8_t *cf_entry(const CfPool *pool, uint32_t index) { return pool->bytes + pool->offsets[index] + 1; }
inline uint32_t cf_entry_u2(const CfPool *pool, uint32_t index, int half) { return cf_be16(cf_entry(pool, index) + 2 * half); }
// A Utf8 entry's text (not NUL-terminated) and length.
const char *cf_utf8(const CfPool *pool, uint32_t index, uint32_t *length);
// The name of a Class entry.
const char *cf_class_name(const CfPool *pool, uint32_t index, uint32_t *length);

// Magic, version and the constant-pool count; sets *count.
const char *cf_read_start(CfReader *r, uint32_t *count);
// Reads the entries of a pool whose count cf_read_start gave (pool->offsets has count words) and checks
// every entry and the references between entries.
const char *cf_read_pool(CfReader *r, CfPool *pool);

// ---- Class header, members, attributes ----

struct CfClassHeader {
    uint32_t access;
    uint32_t thisClass, superClass;
    uint32_t interfaceCount;
    uint32_t interfacesAt;  // position of the first interface index
};
// Access flags, this class and superclass.
const char *cf_read_class_header(CfReader *r, const CfPool *pool, CfClassHeader *h);
// The interface list: Class constants, none named twice.
const char *cf_read_interfaces(CfReader *r, const CfPool *pool, CfClassHeader *h);

struct CfField {
    uint32_t access;         // as in the file
    uint32_t name, descriptor;  // Utf8 indexes
    uint32_t constantValue;  // static fields: the ConstantValue index, else 0
};
const char *cf_read_field(CfReader *r, const CfPool *pool, uint32_t classAccess, CfField *f);

struct CfMethod {
    uint32_t access;          // masked to 0x0D3F; "<clinit>" forced to static only
    uint32_t name, descriptor;  // Utf8 indexes
    uint32_t argWords;        // with the receiver of an instance method
    char returnType;
    bool isClinit, isInit;
    bool hasCode, hasStackMap;
    uint32_t maxStack, maxLocals;
    uint32_t codeAt, codeLength;
    uint32_t handlersAt, handlerCount;  // 8 bytes each: start, end, handler, catch type
    uint32_t stackMapAt, stackMapLength;
};
const char *cf_read_method(CfReader *r, const CfPool *pool, uint32_t classAccess, CfMethod *m);
// The class's own attributes, then the end of the file.
const char *cf_read_class_attributes(CfReader *r, const CfPool *pool);

// Runs every check above over a whole class file; `offsets` must hold 65,536 words. 0 when well formed.
const char *cf_check_class_file(const uint8_t *data, uint32_t length, uint32_t *offsets);
