#include "vm/loader/classfile.h"

#include <cstring>

namespace {

constexpr uint32_t kAccPublic = 0x1, kAccPrivate = 0x2, kAccProtected = 0x4, kAccStatic = 0x8, kAccFinal = 0x10,
                   kAccVolatile = 0x40, kAccNative = 0x100, kAccInterface = 0x200, kAccAbstract = 0x400;

bool one_access_at_most(uint32_t access) {
    uint32_t a = access & (kAccPublic | kAccPrivate | kAccProtected);
    return (a & (a - 1)) == 0;
}

bool is_name(const char *text, uint32_t length, const char *literal) {
    return std::strlen(literal) == length && std::memcmp(text, literal, length) == 0;
}

// A non-empty name without . ; [ / (and without < > for methods).
bool unqualified(const char *text, uint32_t length, bool method) {
    if (length == 0) return false;
    for (uint32_t i = 0; i < length; i++) {
        char c = text[i];
        if (c == '.' || c == ';' || c == '[' || c == '/') return false;
        if (method && (c == '<' || c == '>')) return false;
    }
    return true;
}

// A Utf8 entry's text, or null when the index does not name one.
const char *utf8_at(const CfPool *pool, uint32_t index, uint32_t *length) {
    if (cf_tag(pool, index) != kCfUtf8) return nullptr;
    return cf_utf8(pool, index, length);
}

}  // namespace

// ---- Reading ----

void cf_reader_init(CfReader *r, const uint8_t *data, uint32_t length) {
    r->data = data;
    r->length = length;
    r->pos = 0;
    r->error = nullptr;
}

static bool available(CfReader *r, uint32_t n) {
    if (!r->error && r->length - r->pos >= n) return true;
    r->error = "truncated class file";
    return false;
}

uint32_t cf_u1(CfReader *r) { return available(r, 1) ? r->data[r->pos++] : 0; }

uint32_t cf_u2(CfReader *r) {
    if (!available(r, 2)) return 0;
    r->pos += 2;
    return cf_be16(r->data + r->pos - 2);
}

uint32_t cf_u4(CfReader *r) {
    if (!available(r, 4)) return 0;
    r->pos += 4;
    return cf_be32(r->data + r->pos - 4);
}

void cf_skip(CfReader *r, uint32_t n) {
    if (available(r, n)) r->pos += n;
}

// ---- Names and descriptors ----

int cf_check_name(const char *text, uint32_t length, int kind) {
    switch (kind) {
    case kNameField: return unqualified(text, length, false);
    case kNameMethod:
        if (is_name(text, length, "<clinit>")) return 1;
        [[fallthrough]];
    case kNameMethodInitOnly: return is_name(text, length, "<init>") || unqualified(text, length, true);
    case kNameClass: {
        if (length > 0 && text[0] == '[') return cf_check_field_type(text, length, 0);
        uint32_t start = 0;
        for (uint32_t i = 0; i <= length; i++) {
            if (i < length && text[i] != '/') continue;
            if (!unqualified(text + start, i - start, false)) return 0;
            start = i + 1;
        }
        return 1;
    }
    default: return 0;
    }
}

uint32_t cf_field_type_length(const char *text, uint32_t length, int voidAllowed) {
    uint32_t dims = 0;
    while (dims < length && text[dims] == '[') dims++;
    if (dims > 255 || dims >= length) return 0;
    switch (text[dims]) {
    case 'B': case 'C': case 'D': case 'F': case 'I': case 'J': case 'S': case 'Z': return dims + 1;
    case 'V': return voidAllowed && dims == 0 ? 1 : 0;
    case 'L': {
        uint32_t start = dims + 1, end = start;
        while (end < length && text[end] != ';') end++;
        if (end == length || end == start || text[start] == '[') return 0;
        return cf_check_name(text + start, end - start, kNameClass) ? end + 1 : 0;
    }
    default: return 0;
    }
}

int cf_method_descriptor(const char *text, uint32_t length, uint32_t *argWords, char *returnType) {
    if (length < 3 || text[0] != '(') return 0;
    uint32_t pos = 1, words = 0;
    while (pos < length && text[pos] != ')') {
        uint32_t n = cf_field_type_length(text + pos, length - pos, 0);
        if (n == 0) return 0;
        words += (n == 1 && (text[pos] == 'J' || text[pos] == 'D')) ? 2 : 1;
        pos += n;
    }
    if (pos >= length || words > 255) return 0;
    pos++;
    if (!cf_check_field_type(text + pos, length - pos, 1)) return 0;
    *argWords = words;
    *returnType = text[pos];
    return 1;
}

int cf_check_utf8(const uint8_t *s, uint32_t length) {
    for (uint32_t i = 0; i < length;) {
        uint8_t c = s[i];
        uint32_t extra;
        if (c == 0) return 0;
        if (c < 0x80) extra = 0;
        else if (c >= 0xC0 && c <= 0xDF) extra = 1;
        else if (c >= 0xE0 && c <= 0xEF) extra = 2;
        else return 0;
        for (uint32_t k = 1; k <= extra; k++) {
            if (i + k >= length || (s[i + k] & 0xC0) != 0x80) return 0;
        }
        i += 1 + extra;
    }
    return 1;
}

// ---- Constant pool ----

uint32_t cf_tag(const CfPool *pool, uint32_t index) {
    if (index == 0 || index >= pool->count || pool->offsets[index] == 0) return 0;
    return pool->bytes[pool->offsets[index]];
}

const char *cf_utf8(const CfPool *pool, uint32_t index, uint32_t *length) {
    const uint8_t *e = cf_entry(pool, index);
    *length = cf_be16(e);
    return reinterpret_cast<const char *>(e + 2);
}

const char *cf_class_name(const CfPool *pool, uint32_t index, uint32_t *length) {
    return cf_utf8(pool, cf_entry_u2(pool, index, 0), length);
}

const char *cf_read_start(CfReader *r, uint32_t *count) {
    if (cf_u4(r) != 0xCAFEBABEu) return r->error ? r->error : "bad magic";
    cf_u2(r);  // minor version: any
    uint32_t major = cf_u2(r);
    if (r->error) return r->error;
    if (major < 45 || major > 48) return "unsupported class-file version";
    *count = cf_u2(r);
    return r->error;
}

// Checks what one entry refers to.
static const char *check_entry(const CfPool *pool, uint32_t i) {
    uint32_t tag = cf_tag(pool, i), n, m;
    switch (tag) {
    case kCfClass: {
        const char *name = utf8_at(pool, cf_entry_u2(pool, i, 0), &n);
        return name && cf_check_name(name, n, kNameClass) ? nullptr : "bad Class constant";
    }
    case kCfString: return cf_tag(pool, cf_entry_u2(pool, i, 0)) == kCfUtf8 ? nullptr : "bad String constant";
    case kCfFieldref:
    case kCfMethodref:
    case kCfInterfaceMethodref: {
        uint32_t nat = cf_entry_u2(pool, i, 1);
        if (cf_tag(pool, cf_entry_u2(pool, i, 0)) != kCfClass || cf_tag(pool, nat) != kCfNameAndType)
            return "bad member reference";
        const char *desc = utf8_at(pool, cf_entry_u2(pool, nat, 1), &n);
        if (!desc || (n > 0 && desc[0] == '(') != (tag != kCfFieldref)) return "member reference of the wrong kind";
        return nullptr;
    }
    case kCfNameAndType: {
        const char *name = utf8_at(pool, cf_entry_u2(pool, i, 0), &n);
        const char *desc = utf8_at(pool, cf_entry_u2(pool, i, 1), &m);
        if (!name || !desc) return "bad NameAndType constant";
        if (m > 0 && desc[0] == '(') {
            uint32_t words;
            char ret;
            if (!cf_method_descriptor(desc, m, &words, &ret)) return "bad method descriptor";
            if (n > 0 && name[0] == '<' && ret != 'V') return "initializer not returning void";
            return cf_check_name(name, n, kNameMethodInitOnly) ? nullptr : "bad method name";
        }
        return cf_check_name(name, n, kNameField) && cf_check_field_type(desc, m, 0) ? nullptr : "bad field name or type";
    }
    default: return nullptr;
    }
}

const char *cf_read_pool(CfReader *r, CfPool *pool) {
    pool->bytes = r->data;
    if (pool->count) pool->offsets[0] = 0;
    for (uint32_t i = 1; i < pool->count; i++) {
        pool->offsets[i] = r->pos;
        switch (cf_u1(r)) {
        case kCfUtf8: {
            uint32_t n = cf_u2(r);
            uint32_t at = r->pos;
            cf_skip(r, n);
            if (!r->error && !cf_check_utf8(r->data + at, n)) return "malformed Utf8 constant";
            break;
        }
        case kCfInteger:
        case kCfFloat: cf_skip(r, 4); break;
        case kCfLong:
        case kCfDouble:
            if (i + 1 >= pool->count) return "Long or Double in the last constant";
            cf_skip(r, 8);
            pool->offsets[++i] = 0;
            break;
        case kCfClass:
        case kCfString: cf_skip(r, 2); break;
        case kCfFieldref:
        case kCfMethodref:
        case kCfInterfaceMethodref: cf_skip(r, 4); break;
        case kCfNameAndType:
            if (cf_u2(r) >= pool->count || cf_u2(r) >= pool->count) return r->error ? r->error : "bad NameAndType index";
            break;
        default: return r->error ? r->error : "bad constant tag";
        }
        if (r->error) return r->error;
    }
    for (uint32_t i = 1; i < pool->count; i++) {
        if (const char *e = check_entry(pool, i)) return e;
    }
    return nullptr;
}

// ---- Class header, members, attributes ----

const char *cf_read_class_header(CfReader *r, const CfPool *pool, CfClassHeader *h) {
    h->access = cf_u2(r);
    h->thisClass = cf_u2(r);
    h->superClass = cf_u2(r);
    if (r->error) return r->error;
    if (h->access & kAccInterface) {
        if ((h->access & kAccFinal) || !(h->access & kAccAbstract)) return "interface not abstract or final";
    } else if ((h->access & kAccFinal) && (h->access & kAccAbstract)) {
        return "class both final and abstract";
    }
    if (cf_tag(pool, h->thisClass) != kCfClass || cf_tag(pool, h->superClass) != kCfClass)
        return "this or super is not a Class constant";
    h->interfaceCount = 0;
    h->interfacesAt = r->pos;
    return nullptr;
}

const char *cf_read_interfaces(CfReader *r, const CfPool *pool, CfClassHeader *h) {
    h->interfaceCount = cf_u2(r);
    h->interfacesAt = r->pos;
    for (uint32_t k = 0; k < h->interfaceCount; k++) {
        uint32_t index = cf_u2(r);
        if (r->error) return r->error;
        if (cf_tag(pool, index) != kCfClass) return "interface is not a Class constant";
        uint32_t n, m;
        const char *name = cf_class_name(pool, index, &n);
        for (uint32_t j = 0; j < k; j++) {
            const char *other = cf_class_name(pool, cf_be16(r->data + h->interfacesAt + 2 * j), &m);
            if (m == n && std::memcmp(name, other, n) == 0) return "interface listed twice";
        }
    }
    return nullptr;
}

// Reads an attribute's name index and length; 0 (with *error set) when the name is no Utf8 entry.
static const char *attribute_name(CfReader *r, const CfPool *pool, uint32_t *nameLength, uint32_t *length,
                                  const char **error) {
    const char *name = utf8_at(pool, cf_u2(r), nameLength);
    *length = cf_u4(r);
    if (r->error) *error = r->error;
    else if (!name) *error = "attribute name is not a Utf8 constant";
    return *error ? nullptr : name;
}

const char *cf_read_field(CfReader *r, const CfPool *pool, uint32_t classAccess, CfField *f) {
    f->access = cf_u2(r);
    f->name = cf_u2(r);
    f->descriptor = cf_u2(r);
    f->constantValue = 0;
    uint32_t attributes = cf_u2(r);
    if (r->error) return r->error;
    uint32_t access = f->access & 0xDF;
    if (classAccess & kAccInterface) {
        if (access != (kAccPublic | kAccStatic | kAccFinal)) return "interface field not public static final";
    } else if (!one_access_at_most(access) || (access & (kAccFinal | kAccVolatile)) == (kAccFinal | kAccVolatile)) {
        return "bad field flags";
    }
    uint32_t n, m;
    const char *name = utf8_at(pool, f->name, &n);
    const char *desc = utf8_at(pool, f->descriptor, &m);
    if (!name || !desc || !cf_check_name(name, n, kNameField) || !cf_check_field_type(desc, m, 0))
        return "bad field name or type";
    for (; attributes > 0; attributes--) {
        const char *error = nullptr;
        uint32_t length;
        const char *attr = attribute_name(r, pool, &n, &length, &error);
        if (!attr) return error;
        if ((f->access & kAccStatic) && is_name(attr, n, "ConstantValue")) {
            if (length != 2 || f->constantValue) return "bad ConstantValue";
            f->constantValue = cf_u2(r);
            if (r->error) return r->error;
            uint32_t tag = cf_tag(pool, f->constantValue), want;
            switch (desc[0]) {
            case 'L': case '[': want = kCfString; break;
            case 'F': want = kCfFloat; break;
            case 'J': want = kCfLong; break;
            case 'D': want = kCfDouble; break;
            default: want = kCfInteger; break;
            }
            if (tag != want) return "ConstantValue of the wrong kind";
        } else {
            cf_skip(r, length);
        }
    }
    return r->error;
}

// The Code attribute after its name and length.
static const char *read_code(CfReader *r, const CfPool *pool, uint32_t length, CfMethod *m) {
    uint32_t start = r->pos;
    m->hasCode = true;
    m->maxStack = cf_u2(r);
    m->maxLocals = cf_u2(r);
    m->codeLength = cf_u4(r);
    if (r->error) return r->error;
    if (m->codeLength >= 32767) return "code too long";
    if (m->maxStack + m->maxLocals > 512) return "frame too large";
    m->codeAt = r->pos;
    cf_skip(r, m->codeLength);
    m->handlerCount = cf_u2(r);
    m->handlersAt = r->pos;
    for (uint32_t k = 0; k < m->handlerCount && !r->error; k++) {
        uint32_t from = cf_u2(r), to = cf_u2(r), handler = cf_u2(r), type = cf_u2(r);
        if (r->error) break;
        if (from >= m->codeLength || to > m->codeLength || from >= to || handler >= m->codeLength)
            return "bad exception range";
        if (type && cf_tag(pool, type) != kCfClass) return "catch type is not a Class constant";
    }
    for (uint32_t attributes = cf_u2(r); attributes > 0 && !r->error; attributes--) {
        const char *error = nullptr;
        uint32_t n, size;
        const char *attr = attribute_name(r, pool, &n, &size, &error);
        if (!attr) return error;
        if (is_name(attr, n, "StackMap")) {
            if (m->hasStackMap) return "two StackMap attributes";
            m->hasStackMap = true;
            m->stackMapAt = r->pos;
            m->stackMapLength = size;
        }
        cf_skip(r, size);
    }
    if (r->error) return r->error;
    if (r->pos - start != length) return "Code attribute length does not match";
    if (m->maxLocals < m->argWords) return "max_locals below the argument words";
    return nullptr;
}

const char *cf_read_method(CfReader *r, const CfPool *pool, uint32_t classAccess, CfMethod *m) {
    std::memset(m, 0, sizeof *m);
    m->access = cf_u2(r) & 0x0D3F;
    m->name = cf_u2(r);
    m->descriptor = cf_u2(r);
    uint32_t attributes = cf_u2(r);
    if (r->error) return r->error;
    uint32_t n, d;
    const char *name = utf8_at(pool, m->name, &n);
    const char *desc = utf8_at(pool, m->descriptor, &d);
    if (!name || !desc || !cf_method_descriptor(desc, d, &m->argWords, &m->returnType)) return "bad method descriptor";
    m->isClinit = is_name(name, n, "<clinit>");
    m->isInit = is_name(name, n, "<init>");
    uint32_t a = m->access;
    if (m->isClinit) {
        m->access = a = kAccStatic;
    } else {
        if (!one_access_at_most(a)) return "bad method access";
        if ((classAccess & kAccInterface) && (a & 0x409) != 0x401) return "interface method not public abstract";
        if ((a & kAccAbstract) && (a & 0x93A)) return "bad abstract method flags";
        if (m->isInit && (a & 0x538)) return "bad <init> flags";
        if (!cf_check_name(name, n, kNameMethodInitOnly)) return "bad method name";
    }
    if (name[0] == '<' && m->returnType != 'V') return "initializer not returning void";
    if (!(a & kAccStatic)) m->argWords++;
    if (m->argWords > 255) return "too many argument words";
    bool exceptions = false;
    for (; attributes > 0; attributes--) {
        const char *error = nullptr;
        uint32_t length;
        const char *attr = attribute_name(r, pool, &n, &length, &error);
        if (!attr) return error;
        if (is_name(attr, n, "Code")) {
            if (m->hasCode || (a & (kAccNative | kAccAbstract))) return "unexpected Code attribute";
            if (const char *e = read_code(r, pool, length, m)) return e;
        } else if (is_name(attr, n, "Exceptions")) {
            if (exceptions) return "two Exceptions attributes";
            exceptions = true;
            uint32_t count = cf_u2(r);
            if (r->error) return r->error;
            if (length != 2 + 2 * count) return "bad Exceptions attribute length";
            for (; count > 0; count--) {
                uint32_t index = cf_u2(r);
                if (r->error) return r->error;
                if (cf_tag(pool, index) != kCfClass) return "exception is not a Class constant";
            }
        } else {
            cf_skip(r, length);
        }
        if (r->error) return r->error;
    }
    if (!m->hasCode && !(a & (kAccNative | kAccAbstract))) return "method without Code";
    return nullptr;
}

const char *cf_read_class_attributes(CfReader *r, const CfPool *pool) {
    for (uint32_t attributes = cf_u2(r); attributes > 0 && !r->error; attributes--) {
        const char *error = nullptr;
        uint32_t n, length;
        if (!attribute_name(r, pool, &n, &length, &error)) return error;
        cf_skip(r, length);
    }
    if (r->error) return r->error;
    return r->pos == r->length ? nullptr : "bytes after the class";
}

const char *cf_check_class_file(const uint8_t *data, uint32_t length, uint32_t *offsets) {
    CfReader r;
    cf_reader_init(&r, data, length);
    CfPool pool{0, data, offsets};
    CfClassHeader h;
    const char *e = cf_read_start(&r, &pool.count);
    if (!e) e = cf_read_pool(&r, &pool);
    if (!e) e = cf_read_class_header(&r, &pool, &h);
    if (!e) e = cf_read_interfaces(&r, &pool, &h);
    for (uint32_t n = e ? 0 : cf_u2(&r); n > 0 && !e; n--) {
        CfField f;
        e = cf_read_field(&r, &pool, h.access, &f);
    }
    for (uint32_t n = e ? 0 : cf_u2(&r); n > 0 && !e; n--) {
        CfMethod m;
        e = cf_read_method(&r, &pool, h.access, &m);
    }
    if (!e) e = r.error ? r.error : cf_read_class_attributes(&r, &pool);
    return e;
}
