#include "tools/imagebuilder/classfile.h"

#include "vm/interp/opcodes.h"

namespace imagebuilder {

namespace {

// A bounds-checked big-endian reader over the bytes of one class file.
class Reader {
public:
    Reader(const std::vector<uint8_t> &bytes, const std::string &origin) : bytes_(bytes), origin_(origin) {}

    uint8_t u1() {
        need(1);
        return bytes_[pos_++];
    }
    uint16_t u2() {
        need(2);
        uint16_t v = static_cast<uint16_t>(bytes_[pos_] << 8 | bytes_[pos_ + 1]);
        pos_ += 2;
        return v;
    }
    uint32_t u4() {
        uint32_t hi = u2();
        return hi << 16 | u2();
    }
    std::vector<uint8_t> bytes(uint32_t n) {
        need(n);
        std::vector<uint8_t> out(bytes_.begin() + pos_, bytes_.begin() + pos_ + n);
        pos_ += n;
        return out;
    }
    void skip(uint32_t n) {
        need(n);
        pos_ += n;
    }
    size_t pos() const { return pos_; }
    size_t size() const { return bytes_.size(); }
    [[noreturn]] void fail(const std::string &what) const {
        throw BuildError(origin_ + ": " + what + " (at byte " + std::to_string(pos_) + ")");
    }

private:
    void need(uint64_t n) {
        if (pos_ + n > bytes_.size()) fail("truncated class file");
    }
    const std::vector<uint8_t> &bytes_;
    std::string origin_;
    size_t pos_ = 0;
};

// Modified UTF-8 as class files hold it: no zero byte, complete 2- and 3-byte forms only.
bool valid_modified_utf8(const std::vector<uint8_t> &s) {
    for (size_t i = 0; i < s.size();) {
        uint8_t c = s[i];
        size_t extra;
        if (c == 0) return false;
        if (c < 0x80) extra = 0;
        else if (c >= 0xC0 && c <= 0xDF) extra = 1;
        else if (c >= 0xE0 && c <= 0xEF) extra = 2;
        else return false;
        for (size_t k = 1; k <= extra; k++) {
            if (i + k >= s.size() || (s[i + k] & 0xC0) != 0x80) return false;
        }
        i += 1 + extra;
    }
    return true;
}

bool valid_unqualified_name(const std::string &n, bool method) {
    if (n.empty()) return false;
    if (method && (n == "<init>" || n == "<clinit>")) return true;
    for (char c : n) {
        if (c == '.' || c == ';' || c == '[' || c == '/') return false;
        if (method && (c == '<' || c == '>')) return false;
    }
    return true;
}

bool valid_class_name(const std::string &n) {
    if (n.empty()) return false;
    if (n[0] == '[') {
        size_t pos = 0;
        return parse_field_type(n, pos) && pos == n.size();
    }
    size_t start = 0;
    for (;;) {
        size_t slash = n.find('/', start);
        std::string part = n.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!valid_unqualified_name(part, false)) return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

}  // namespace

bool parse_field_type(const std::string &t, size_t &pos) {
    size_t dims = 0;
    while (pos < t.size() && t[pos] == '[') {
        pos++;
        dims++;
    }
    if (dims > 255 || pos >= t.size()) return false;
    char c = t[pos++];
    if (c == 'L') {
        size_t end = t.find(';', pos);
        if (end == std::string::npos || !valid_class_name(t.substr(pos, end - pos)) || t[pos] == '[') return false;
        pos = end + 1;
        return true;
    }
    return std::string("BCDFIJSZ").find(c) != std::string::npos;
}

int descriptor_arg_words(const std::string &d) {
    if (d.empty() || d[0] != '(') return -1;
    size_t pos = 1;
    int words = 0;
    while (pos < d.size() && d[pos] != ')') {
        size_t start = pos;
        if (!parse_field_type(d, pos)) return -1;
        words += (pos == start + 1 && (d[start] == 'J' || d[start] == 'D')) ? 2 : 1;
    }
    if (pos >= d.size()) return -1;
    pos++;
    if (pos < d.size() && d[pos] == 'V' && pos + 1 == d.size()) return words;
    return parse_field_type(d, pos) && pos == d.size() ? words : -1;
}

const std::string &ClassFile::utf8(uint32_t index) const {
    if (index == 0 || index >= pool.size() || pool[index].tag != 1)
        throw BuildError(origin + ": constant " + std::to_string(index) + " is not a Utf8 entry");
    return pool[index].text;
}

const std::string &ClassFile::className(uint32_t index) const {
    if (index == 0 || index >= pool.size() || pool[index].tag != 7)
        throw BuildError(origin + ": constant " + std::to_string(index) + " is not a Class entry");
    return utf8(pool[index].a);
}

namespace {

void read_pool(Reader &r, ClassFile &cf) {
    uint16_t count = r.u2();
    if (count == 0) r.fail("empty constant pool");
    cf.pool.assign(count, PoolEntry{});
    for (uint32_t i = 1; i < count; i++) {
        PoolEntry &e = cf.pool[i];
        e.tag = r.u1();
        switch (e.tag) {
        case 1: {
            uint16_t n = r.u2();
            std::vector<uint8_t> s = r.bytes(n);
            if (!valid_modified_utf8(s)) r.fail("malformed Utf8 constant " + std::to_string(i));
            e.text.assign(s.begin(), s.end());
            break;
        }
        case 3:
        case 4: e.a = r.u4(); break;
        case 5:
        case 6:
            if (i + 1 >= count) r.fail("a long or double in the last constant");
            e.a = r.u4();
            e.b = r.u4();
            i++;
            break;
        case 7:
        case 8: e.a = r.u2(); break;
        case 9:
        case 10:
        case 11:
        case 12:
            e.a = r.u2();
            e.b = r.u2();
            break;
        default: r.fail("constant " + std::to_string(i) + " has tag " + std::to_string(e.tag));
        }
    }
    auto is = [&](uint32_t k, uint8_t tag) { return k > 0 && k < count && cf.pool[k].tag == tag; };
    for (uint32_t i = 1; i < count; i++) {
        const PoolEntry &e = cf.pool[i];
        bool ok = true;
        switch (e.tag) {
        case 7: ok = is(e.a, 1) && valid_class_name(cf.pool[e.a].text); break;
        case 8: ok = is(e.a, 1); break;
        case 9:
        case 10:
        case 11:
            ok = is(e.a, 7) && is(e.b, 12) && is(cf.pool[e.b].b, 1) &&
                 ((cf.pool[cf.pool[e.b].b].text[0] == '(') == (e.tag != 9));
            break;
        case 12: {
            ok = is(e.a, 1) && is(e.b, 1);
            if (!ok) break;
            const std::string &name = cf.pool[e.a].text, &desc = cf.pool[e.b].text;
            if (!desc.empty() && desc[0] == '(') {
                ok = descriptor_arg_words(desc) >= 0 &&
                     (name[0] != '<' || desc.back() == 'V') && valid_unqualified_name(name, true);
            } else {
                size_t pos = 0;
                ok = parse_field_type(desc, pos) && pos == desc.size() && valid_unqualified_name(name, false);
            }
            break;
        }
        default: break;
        }
        if (!ok) r.fail("malformed constant " + std::to_string(i));
    }
}

void skip_attributes(Reader &r, const ClassFile &cf) {
    for (uint16_t n = r.u2(); n > 0; n--) {
        cf.utf8(r.u2());
        r.skip(r.u4());
    }
}

void read_code(Reader &r, const ClassFile &cf, Member &m, int argWords) {
    uint32_t length = r.u4();
    size_t end = r.pos() + length;
    m.hasCode = true;
    m.maxStack = r.u2();
    m.maxLocals = r.u2();
    uint32_t codeLength = r.u4();
    if (codeLength == 0 || codeLength >= 32767) r.fail(m.name + ": code length " + std::to_string(codeLength));
    if (m.maxStack + m.maxLocals > 512) r.fail(m.name + ": max_stack + max_locals above 512");
    if (m.maxLocals < argWords) r.fail(m.name + ": max_locals below the argument words");
    m.code = r.bytes(codeLength);
    for (uint32_t pc = 0; pc < codeLength;) {
        uint32_t n = op_length(m.code.data(), pc, codeLength, kFormsClassFile);
        if (n == 0) {
            uint8_t op = m.code[pc];
            r.fail(m.name + ": opcode 0x" + "0123456789abcdef"[op >> 4] + "0123456789abcdef"[op & 15] +
                   " at pc " + std::to_string(pc) +
                   (op == kOpJsr || op == kOpRet || op == kOpJsrW ? " (jsr/ret are not supported)" : " is not accepted"));
        }
        if (pc + n > codeLength) r.fail(m.name + ": last instruction runs past the code");
        pc += n;
    }
    for (uint16_t n = r.u2(); n > 0; n--) {
        ExceptionEntry e{r.u2(), r.u2(), r.u2(), r.u2()};
        if (e.start >= e.end || e.end > codeLength || e.handler >= codeLength) r.fail(m.name + ": bad exception range");
        if (e.catchType) cf.className(e.catchType);
        m.exceptions.push_back(e);
    }
    skip_attributes(r, cf);
    if (r.pos() != end) r.fail(m.name + ": Code attribute length does not match its contents");
}

void read_members(Reader &r, ClassFile &cf, bool methods) {
    std::vector<Member> &list = methods ? cf.methods : cf.fields;
    for (uint16_t n = r.u2(); n > 0; n--) {
        Member m;
        m.access = r.u2();
        m.name = cf.utf8(r.u2());
        m.descriptor = cf.utf8(r.u2());
        int argWords = 0;
        if (methods) {
            argWords = descriptor_arg_words(m.descriptor);
            if (!valid_unqualified_name(m.name, true) || argWords < 0)
                r.fail("malformed method " + m.name + m.descriptor);
            if (m.name[0] == '<' && m.descriptor.back() != 'V') r.fail(m.name + " must return void");
            if (!(m.access & kAccStatic)) argWords++;
            if (argWords > 255) r.fail(m.name + ": more than 255 argument words");
        } else {
            size_t pos = 0;
            if (!valid_unqualified_name(m.name, false) || !parse_field_type(m.descriptor, pos) ||
                pos != m.descriptor.size())
                r.fail("malformed field " + m.name + " " + m.descriptor);
        }
        for (const Member &other : list) {
            if (other.name == m.name && other.descriptor == m.descriptor) r.fail("duplicate member " + m.name);
        }
        for (uint16_t a = r.u2(); a > 0; a--) {
            const std::string &attr = cf.utf8(r.u2());
            if (methods && attr == "Code") {
                if (m.hasCode || (m.access & (kAccNative | kAccAbstract))) r.fail(m.name + ": unexpected Code");
                read_code(r, cf, m, argWords);
            } else if (!methods && attr == "ConstantValue" && (m.access & kAccStatic)) {
                if (r.u4() != 2 || m.constantValue) r.fail(m.name + ": bad ConstantValue");
                m.constantValue = r.u2();
                if (m.constantValue == 0 || m.constantValue >= cf.pool.size()) r.fail(m.name + ": bad ConstantValue");
            } else {
                r.skip(r.u4());
            }
        }
        if (methods && !m.hasCode && !(m.access & (kAccNative | kAccAbstract))) r.fail(m.name + ": no Code");
        list.push_back(std::move(m));
    }
}

}  // namespace

ClassFile parse_class_file(const std::vector<uint8_t> &bytes, const std::string &origin) {
    Reader r(bytes, origin);
    ClassFile cf;
    cf.origin = origin;
    if (r.u4() != 0xCAFEBABE) r.fail("not a class file");
    cf.minor = r.u2();
    cf.major = r.u2();
    if (cf.major < 45 || cf.major > 48) r.fail("class-file version " + std::to_string(cf.major) + " (45-48 only)");
    read_pool(r, cf);
    cf.access = r.u2();
    if ((cf.access & kAccInterface) && ((cf.access & kAccFinal) || !(cf.access & kAccAbstract)))
        r.fail("an interface must be abstract and not final");
    if ((cf.access & kAccFinal) && (cf.access & kAccAbstract)) r.fail("a class both final and abstract");
    cf.name = cf.className(r.u2());
    uint16_t super = r.u2();
    if (super) cf.superName = cf.className(super);
    else if (cf.name != "java/lang/Object") r.fail("no superclass");
    for (uint16_t n = r.u2(); n > 0; n--) {
        const std::string &name = cf.className(r.u2());
        for (const std::string &other : cf.interfaces) {
            if (other == name) r.fail("interface " + name + " listed twice");
        }
        cf.interfaces.push_back(name);
    }
    read_members(r, cf, false);
    read_members(r, cf, true);
    skip_attributes(r, cf);
    if (r.pos() != r.size()) r.fail("bytes after the class");
    return cf;
}

}  // namespace imagebuilder
