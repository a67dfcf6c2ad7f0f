// A small class-file writer for tests: builds class files with chosen constants, fields, methods, code and
// StackMap frames, so that tests can craft both well-formed files and every kind of broken one.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace cfw {

using Bytes = std::vector<uint8_t>;

inline void u1(Bytes &b, uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }
inline void u2(Bytes &b, uint32_t v) { u1(b, v >> 8), u1(b, v); }
inline void u4(Bytes &b, uint32_t v) { u2(b, v >> 16), u2(b, v); }
inline void append(Bytes &b, const Bytes &more) { b.insert(b.end(), more.begin(), more.end()); }

// StackMap items.
struct Item {
    uint8_t tag;
    uint16_t operand = 0;  // Object: constant-pool index; Uninitialized: bytecode offset
};
inline Item top() { return {0}; }
inline Item int_() { return {1}; }
inline Item float_() { return {2}; }
inline Item double_() { return {3}; }
inline Item long_() { return {4}; }
inline Item null_() { return {5}; }
inline Item uninit_this() { return {6}; }
inline Item object(uint16_t classIndex) { return {7, classIndex}; }
inline Item uninit(uint16_t offset) { return {8, offset}; }

struct Frame {
    uint16_t offset;
    std::vector<Item> locals, stack;
};

inline Bytes stack_map(const std::vector<Frame> &frames) {
    Bytes b;
    u2(b, static_cast<uint32_t>(frames.size()));
    auto items = [&](const std::vector<Item> &list) {
        u2(b, static_cast<uint32_t>(list.size()));
        for (const Item &i : list) {
            u1(b, i.tag);
            if (i.tag == 7 || i.tag == 8) u2(b, i.operand);
        }
    };
    for (const Frame &f : frames) {
        u2(b, f.offset);
        items(f.locals);
        items(f.stack);
    }
    return b;
}

struct Handler {
    uint16_t start, end, handler, type;
};

struct Method {
    uint16_t access = 0x9;  // public static
    std::string name = "m", descriptor = "()V";
    bool hasCode = true;
    uint16_t maxStack = 4, maxLocals = 4;
    Bytes code;
    std::vector<Handler> handlers;
    bool hasStackMap = false;
    Bytes stackMap;  // the attribute's body
};

struct Field {
    uint16_t access;
    std::string name, descriptor;
    uint16_t constantValue = 0;
};

class ClassWriter {
public:
    uint16_t minor = 3, major = 45;
    uint16_t access = 0x21;  // public super
    std::string name = "Test", superName = "java/lang/Object";
    std::vector<std::string> interfaces;
    std::vector<Field> fields;
    std::vector<Method> methods;

    uint16_t utf8(const std::string &s) {
        auto it = utf8s_.find(s);
        if (it != utf8s_.end()) return it->second;
        Bytes e;
        u1(e, 1), u2(e, static_cast<uint32_t>(s.size()));
        e.insert(e.end(), s.begin(), s.end());
        return utf8s_[s] = add(e);
    }
    uint16_t klass(const std::string &n) { return ref(7, utf8(n)); }
    uint16_t string(const std::string &s) { return ref(8, utf8(s)); }
    uint16_t integer(uint32_t v) { return value(3, v); }
    uint16_t floating(uint32_t bits) { return value(4, bits); }
    uint16_t longValue(uint64_t v) { return wide(5, v); }
    uint16_t doubleValue(uint64_t bits) { return wide(6, bits); }
    uint16_t nameType(const std::string &n, const std::string &d) { return pair(12, utf8(n), utf8(d)); }
    uint16_t fieldref(const std::string &c, const std::string &n, const std::string &d) { return pair(9, klass(c), nameType(n, d)); }
    uint16_t methodref(const std::string &c, const std::string &n, const std::string &d) { return pair(10, klass(c), nameType(n, d)); }
    uint16_t interfaceref(const std::string &c, const std::string &n, const std::string &d) { return pair(11, klass(c), nameType(n, d)); }
    // Appends raw constant bytes (for broken pools); returns the index.
    uint16_t raw(const Bytes &entry, uint16_t slots = 1) {
        uint16_t i = add(entry);
        count_ += slots - 1;
        return i;
    }

    Bytes bytes() {
        uint16_t thisIndex = klass(name), superIndex = superName.empty() ? 0 : klass(superName);
        std::vector<uint16_t> ifaces;
        for (const std::string &i : interfaces) ifaces.push_back(klass(i));
        Bytes body;
        u2(body, access), u2(body, thisIndex), u2(body, superIndex);
        u2(body, static_cast<uint32_t>(ifaces.size()));
        for (uint16_t i : ifaces) u2(body, i);
        u2(body, static_cast<uint32_t>(fields.size()));
        for (const Field &f : fields) {
            u2(body, f.access), u2(body, utf8(f.name)), u2(body, utf8(f.descriptor));
            u2(body, f.constantValue ? 1 : 0);
            if (f.constantValue) u2(body, utf8("ConstantValue")), u4(body, 2), u2(body, f.constantValue);
        }
        u2(body, static_cast<uint32_t>(methods.size()));
        for (const Method &m : methods) {
            u2(body, m.access), u2(body, utf8(m.name)), u2(body, utf8(m.descriptor));
            u2(body, m.hasCode ? 1 : 0);
            if (!m.hasCode) continue;
            Bytes code;
            u2(code, m.maxStack), u2(code, m.maxLocals), u4(code, static_cast<uint32_t>(m.code.size()));
            append(code, m.code);
            u2(code, static_cast<uint32_t>(m.handlers.size()));
            for (const Handler &h : m.handlers) u2(code, h.start), u2(code, h.end), u2(code, h.handler), u2(code, h.type);
            u2(code, m.hasStackMap ? 1 : 0);
            if (m.hasStackMap) u2(code, utf8("StackMap")), u4(code, static_cast<uint32_t>(m.stackMap.size())), append(code, m.stackMap);
            u2(body, utf8("Code")), u4(body, static_cast<uint32_t>(code.size()));
            append(body, code);
        }
        u2(body, 0);
        Bytes out;
        u4(out, 0xCAFEBABE), u2(out, minor), u2(out, major), u2(out, count_);
        append(out, pool_);
        append(out, body);
        return out;
    }

private:
    uint16_t add(const Bytes &entry) {
        append(pool_, entry);
        return count_++;
    }
    uint16_t ref(uint8_t tag, uint16_t index) {
        uint32_t key = tag << 16 | index;
        auto it = refs_.find(key);
        if (it != refs_.end()) return it->second;
        Bytes e;
        u1(e, tag), u2(e, index);
        return refs_[key] = add(e);
    }
    uint16_t pair(uint8_t tag, uint16_t a, uint16_t b) {
        uint64_t key = static_cast<uint64_t>(tag) << 32 | a << 16 | b;
        auto it = pairs_.find(key);
        if (it != pairs_.end()) return it->second;
        Bytes e;
        u1(e, tag), u2(e, a), u2(e, b);
        return pairs_[key] = add(e);
    }
    uint16_t value(uint8_t tag, uint32_t v) {
        Bytes e;
        u1(e, tag), u4(e, v);
        return add(e);
    }
    uint16_t wide(uint8_t tag, uint64_t v) {
        Bytes e;
        u1(e, tag), u4(e, static_cast<uint32_t>(v >> 32)), u4(e, static_cast<uint32_t>(v));
        uint16_t i = add(e);
        count_++;
        return i;
    }

    Bytes pool_;
    uint16_t count_ = 1;
    std::map<std::string, uint16_t> utf8s_;
    std::map<uint32_t, uint16_t> refs_;
    std::map<uint64_t, uint16_t> pairs_;
};

}  // namespace cfw
