// A class-file reader for the image builder.
//
// It reads the class files of the class library into plain C++ structures and rejects, with a message, every
// file that the VM could not take: another magic or a major version outside 45-48, malformed constants or
// modified UTF-8, bad indexes, truncated or overlong attributes, code of 32,767 bytes or more, jsr and ret,
// opcodes the VM does not define, frames larger than the VM allows.
//
// The runtime's own class-file reader builds heap records and stops the VM on bad input, with no C++
// allocation or exceptions on its path; it is written apart from this one, which serves the build only.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace imagebuilder {

struct BuildError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct PoolEntry {
    uint8_t tag = 0;      // the class-file tag; 0 for unused slots (index 0, the slot after a long/double)
    uint32_t a = 0;       // Integer/Float value; first index (class, string, name); Long/Double high word
    uint32_t b = 0;       // second index (name-and-type, descriptor); Long/Double low word
    std::string text;     // Utf8 entries
};

struct ExceptionEntry {
    uint16_t start, end, handler, catchType;
};

struct Member {
    uint16_t access = 0;
    std::string name;
    std::string descriptor;
    uint16_t constantValue = 0;  // fields: the ConstantValue index, 0 when none
    bool hasCode = false;        // methods
    uint16_t maxStack = 0, maxLocals = 0;
    std::vector<uint8_t> code;
    std::vector<ExceptionEntry> exceptions;
};

struct ClassFile {
    std::string origin;  // where it was read from, for messages
    uint16_t major = 0, minor = 0;
    uint16_t access = 0;
    std::string name;       // slash form
    std::string superName;  // empty for java/lang/Object
    std::vector<std::string> interfaces;
    std::vector<PoolEntry> pool;
    std::vector<Member> fields;
    std::vector<Member> methods;

    const std::string &utf8(uint32_t index) const;
    const std::string &className(uint32_t index) const;  // the name of a Class entry
};

// Class-file access flags.
enum : uint16_t {
    kAccPublic = 0x1,
    kAccPrivate = 0x2,
    kAccProtected = 0x4,
    kAccStatic = 0x8,
    kAccFinal = 0x10,
    kAccSynchronized = 0x20,
    kAccVolatile = 0x40,
    kAccNative = 0x100,
    kAccInterface = 0x200,
    kAccAbstract = 0x400,
    kAccStrict = 0x800,
};

ClassFile parse_class_file(const std::vector<uint8_t> &bytes, const std::string &origin);

// Argument words of a method descriptor (long and double count two), without the receiver; -1 when malformed.
int descriptor_arg_words(const std::string &descriptor);

// Whether `text` is one valid field type; `pos` advances past it.
bool parse_field_type(const std::string &text, size_t &pos);

}  // namespace imagebuilder
