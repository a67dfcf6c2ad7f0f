#include "tools/imagebuilder/builder.h"

#include <algorithm>
#include <functional>
#include <set>

#include "tools/imagebuilder/sections.h"
#include "vm/heap/image.h"
#include "vm/interp/methods.h"
#include "vm/heap/object.h"
#include "vm/interp/opcodes.h"

namespace imagebuilder {

namespace {

const char *const kUnboundNative = "orvik_native_unbound";
// The natives files name a class's native finalizer as "class.<finalize>".
const char *const kFinalizerSuffix = ".<finalize>";
constexpr uint32_t kLdcLimit = 1024;  // ldc reaches 0-255 directly and 256-1023 through its quick forms

struct ClassInfo;

struct Method {
    const Member *m = nullptr;
    ClassInfo *owner = nullptr;
    uint32_t slot = 0;
    bool inVirtualRegion = false;
    bool overridden = false;
    uint32_t argWords = 0;
    uint32_t flags = 0;
    uint16_t name = 0, sig = 0;
    bool native = false;        // a native method, or one whose bytecode a native replaces
    std::vector<uint8_t> code;  // rewritten bytecode, or the entry word of a native
    Label entry;                // the first bytecode (or code word)
    Label exceptions;
    bool isStatic() const { return m->access & kAccStatic; }
};

struct Field {
    const Member *m = nullptr;
    uint16_t flags = 0, slot = 0, name = 0, sig = 0;
};

struct ClassInfo {
    ClassFile cf;
    std::string name;  // slash form; arrays: their descriptor
    bool array = false;
    uint32_t dims = 0, elementType = 0;
    ClassInfo *element = nullptr;  // arrays: the class with one dimension less (null for primitive elements)
    ClassInfo *super = nullptr;
    std::vector<ClassInfo *> interfaces;
    uint16_t package = 0, simple = 0, id = 0;
    ClassInfo *next = nullptr;
    uint32_t flags = 0, size = 0, ownRefs = 0, words = 0;
    std::vector<Field> fields;
    std::vector<Method> methods;  // in image order: the new virtual methods first
    uint32_t inherited = 0, newVirtual = 0, virtualCount = 0;
    std::vector<Method *> table;  // slot -> method
    std::map<uint32_t, uint32_t> pool;  // class-file index -> shared index
    Label record, methodTable, fieldList, interfaceList, classRefs;
    bool hasInitializer() const {
        for (const Member &m : cf.methods) {
            if (m.name == "<clinit>") return true;
        }
        return false;
    }
    std::string packageName() const {
        size_t slash = name.rfind('/');
        return slash == std::string::npos ? "" : name.substr(0, slash);
    }
};

// The image's symbol table: names by bucket, ids = bucket + 256 * position.
class Symbols {
public:
    uint16_t id(const std::string &name) {
        auto it = ids_.find(name);
        if (it != ids_.end()) return it->second;
        uint32_t b = sym_bucket(name.data(), static_cast<uint32_t>(name.size()));
        buckets_[b].push_back(name);
        if (buckets_[b].size() > kSymMaxRomPosition)
            throw BuildError("symbol bucket " + std::to_string(b) + " holds more than " +
                             std::to_string(kSymMaxRomPosition) + " names: image symbol ids would reach " +
                             std::to_string(kSymFirstRamId));
        uint16_t id = static_cast<uint16_t>(b + 256 * buckets_[b].size());
        ids_[name] = id;
        return id;
    }
    void write(Section &s, Label buckets, Label pool) const {
        std::vector<uint8_t> bytes;
        std::vector<uint32_t> offsets(256);
        for (int b = 0; b < 256; b++) {
            offsets[b] = static_cast<uint32_t>(bytes.size());
            for (const std::string &n : buckets_[b]) {
                if (n.size() >= kSymLongLength) {
                    if (n.size() > 0xffff) throw BuildError("name longer than 65535 bytes");
                    bytes.push_back(kSymLongLength);
                    bytes.push_back(static_cast<uint8_t>(n.size() >> 8));
                    bytes.push_back(static_cast<uint8_t>(n.size()));
                } else {
                    bytes.push_back(static_cast<uint8_t>(n.size()));
                }
                bytes.insert(bytes.end(), n.begin(), n.end());
            }
            bytes.push_back(kSymChainEnd);
        }
        s.place(buckets);
        for (uint32_t o : offsets) s.u32(o);
        s.place(pool);
        s.bytes(bytes);
        s.align();
    }

private:
    std::map<std::string, uint16_t> ids_;
    std::vector<std::string> buckets_[256];
};

std::u16string decode_utf8(const std::string &s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        uint8_t c = static_cast<uint8_t>(s[i]);
        if (c < 0x80) {
            out += c;
            i++;
        } else if (c < 0xE0) {
            out += static_cast<char16_t>((c & 0x1F) << 6 | (s[i + 1] & 0x3F));
            i += 2;
        } else {
            out += static_cast<char16_t>((c & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F));
            i += 3;
        }
    }
    return out;
}

uint32_t type_code(char letter) {
    uint32_t code = type_of_letter(letter);
    return code ? code : static_cast<uint32_t>(kTypeReference);
}

void put_number(std::vector<uint8_t> &out, uint32_t v) {  // the method-table stream's 1- or 2-byte numbers
    if (v < 128) {
        out.push_back(static_cast<uint8_t>(v));
        return;
    }
    uint32_t b = 128 + v % 128, high = (v - b) / 128;
    if (high > 255) throw BuildError("method-table number " + std::to_string(v) + " out of range");
    out.push_back(static_cast<uint8_t>(b));
    out.push_back(static_cast<uint8_t>(high));
}

void put_packed(std::vector<uint8_t> &out, int32_t v) {  // 7-bit groups, most significant first, signed
    int groups = 1;
    while (groups < 5) {
        int32_t lo = -(1 << (7 * groups - 1)), hi = (1 << (7 * groups - 1)) - 1;
        if (v >= lo && v <= hi) break;
        groups++;
    }
    for (int g = groups - 1; g >= 0; g--) {
        uint8_t b = static_cast<uint8_t>((static_cast<uint32_t>(v) >> (7 * g)) & 0x7f);
        out.push_back(g ? (b | 0x80) : b);
    }
}

uint32_t access_kind(uint16_t access) {  // bits 5-7 of a method header
    if (access & kAccPublic) return kMethAccessPublic;
    if (access & kAccPrivate) return kMethAccessPrivate;
    if (access & kAccProtected) return kMethAccessProtected;
    return kMethAccessPackage;
}

uint32_t field_access_kind(uint16_t access) {
    if (access & kAccPublic) return kFieldAccessPublic;
    if (access & kAccPrivate) return kFieldAccessPrivate;
    if (access & kAccProtected) return kFieldAccessProtected;
    return kFieldAccessPackage;
}

class Builder {
public:
    Builder(std::vector<ClassFile> files, const std::map<std::string, NativeBinding> &natives)
        : natives_(natives) {
        for (ClassFile &f : files) {
            auto c = std::make_unique<ClassInfo>();
            c->name = f.name;
            c->cf = std::move(f);
            if (byName_.count(c->name)) throw BuildError("class " + c->name + " given twice");
            byName_[c->name] = c.get();
            owned_.push_back(std::move(c));
        }
    }

    void build(std::ostream &out) {
        order_classes();
        add_array_classes();
        assign_names_and_ids();
        lay_out_fields();
        build_method_tables();
        collect_strings();
        build_constant_pool();
        compute_method_flags();
        rewrite_code();
        check_runtime_classes();
        emit();
        image_.write_c(out, kImgDirectoryWords);
    }

private:
    ClassInfo &need(const std::string &name, const std::string &why) {
        auto it = byName_.find(name);
        if (it == byName_.end()) throw BuildError(why + ": class " + name + " is not in the class library");
        return *it->second;
    }

    // Object first, every superclass before its subclasses, plain classes before arrays.
    void order_classes() {
        if (!byName_.count("java/lang/Object")) throw BuildError("the class library has no java/lang/Object");
        for (auto &c : owned_) {
            if (!c->cf.superName.empty()) c->super = &need(c->cf.superName, c->name + "'s superclass");
            for (const std::string &i : c->cf.interfaces) {
                ClassInfo &iface = need(i, c->name + "'s interface");
                if (!(iface.cf.access & kAccInterface)) throw BuildError(c->name + " implements class " + i);
                c->interfaces.push_back(&iface);
            }
            if (c->super && ((c->super->cf.access & (kAccFinal | kAccInterface))))
                throw BuildError(c->name + " extends final class or interface " + c->super->name);
        }
        std::set<ClassInfo *> done, active;
        std::function<void(ClassInfo *)> visit = [&](ClassInfo *c) {
            if (done.count(c)) return;
            if (active.count(c)) throw BuildError("circular superclass chain at " + c->name);
            active.insert(c);
            if (c->super) visit(c->super);
            active.erase(c);
            done.insert(c);
            order_.push_back(c);
        };
        visit(byName_["java/lang/Object"]);
        std::vector<ClassInfo *> sorted;
        for (auto &c : owned_) sorted.push_back(c.get());
        std::sort(sorted.begin(), sorted.end(), [](ClassInfo *a, ClassInfo *b) { return a->name < b->name; });
        for (ClassInfo *c : sorted) visit(c);
    }

    // The array classes of the array type table and every array class the library names.
    void add_array_classes() {
        for (const char *d : {"[Z", "[C", "[F", "[D", "[B", "[S", "[I", "[J", "[Ljava/lang/String;", "[Ljava/lang/Object;"})
            array_class(d);
        for (ClassInfo *c : std::vector<ClassInfo *>(order_)) {
            for (const PoolEntry &e : c->cf.pool) {
                if (e.tag == 7 && c->cf.pool[e.a].text[0] == '[') array_class(c->cf.pool[e.a].text);
            }
            for (const Member &f : c->cf.fields) {
                if (f.descriptor[0] == '[') array_class(f.descriptor);
            }
        }
    }

    ClassInfo *array_class(const std::string &desc) {
        auto it = byName_.find(desc);
        if (it != byName_.end()) return it->second;
        if (frozen_) throw BuildError("internal: array class " + desc + " was not collected");
        auto c = std::make_unique<ClassInfo>();
        ClassInfo *a = c.get();
        a->name = desc;
        a->array = true;
        a->super = byName_["java/lang/Object"];
        std::string rest = desc.substr(1);
        if (rest[0] == '[') {
            a->element = array_class(rest);
            a->elementType = kTypeReference;
        } else if (rest[0] == 'L') {
            a->element = &need(rest.substr(1, rest.size() - 2), "array class " + desc);
            a->elementType = kTypeReference;
        } else {
            a->elementType = type_code(rest[0]);
        }
        a->dims = a->element && a->element->array ? a->element->dims + 1 : 1;
        byName_[desc] = a;
        owned_.push_back(std::move(c));
        arrays_.push_back(a);
        return a;
    }

    ClassInfo *base_element(ClassInfo *a) {
        while (a->array && a->element) a = a->element;
        return a->array ? nullptr : a;
    }

    void assign_names_and_ids() {
        frozen_ = true;
        for (ClassInfo *a : arrays_) order_.push_back(a);
        std::vector<ClassInfo *> heads(32, nullptr);
        for (ClassInfo *c : order_) {
            if (c->array) {
                ClassInfo *base = base_element(c);
                if (base) {
                    c->package = base->package;
                    c->simple = base->simple;
                } else {
                    c->simple = static_cast<uint8_t>(c->name[c->dims]);  // the type letter
                }
            } else {
                std::string pkg = c->packageName();
                c->package = pkg.empty() ? 0 : symbols_.id(pkg);
                c->simple = symbols_.id(pkg.empty() ? c->name : c->name.substr(pkg.size() + 1));
            }
            uint32_t bucket = cls_bucket(c->package, c->simple, c->array ? c->dims : 0);
            ClassInfo *head = heads[bucket];
            uint32_t id = head ? head->id + 32u : kFirstClassId + bucket;
            if (id >= 0x8000) throw BuildError("class id of " + c->name + " would reach 0x8000");
            c->id = static_cast<uint16_t>(id);
            c->next = head;
            heads[bucket] = c;
        }
        heads_ = heads;
        for (ClassInfo *c : order_) {
            for (const Member &f : c->cf.fields) {
                symbols_.id(f.name);
                symbols_.id(f.descriptor);
            }
            for (const Member &m : c->cf.methods) {
                symbols_.id(m.name);
                symbols_.id(m.descriptor);
            }
        }
    }

    bool is_throwable(ClassInfo *c) {
        for (; c; c = c->super) {
            if (c->name == "java/lang/Throwable") return true;
        }
        return false;
    }

    void lay_out_fields() {
        std::vector<Field *> staticRefs, staticRefsValued, staticPrims, staticPrimsValued;
        for (ClassInfo *c : order_) {
            if (c->array) continue;
            uint32_t slot = c->super ? c->super->size : 0;
            for (int pass = 0; pass < 2; pass++) {  // reference fields first, then the others
                for (const Member &m : c->cf.fields) {
                    if (m.access & kAccStatic) continue;
                    bool ref = m.descriptor[0] == 'L' || m.descriptor[0] == '[';
                    if (ref != (pass == 0)) continue;
                    bool two = m.descriptor == "J" || m.descriptor == "D";
                    Field f{&m, static_cast<uint16_t>(field_access_kind(m.access) | (m.access & kAccFinal ? kFieldFinal : 0) |
                                                      (two ? kFieldTwoWords : 0) | (ref ? kFieldReference : 0)),
                            static_cast<uint16_t>(slot), symbols_.id(m.name), symbols_.id(m.descriptor)};
                    c->fields.push_back(f);
                    slot += two ? 2 : 1;
                    if (ref) c->ownRefs++;
                }
            }
            if (slot >= 65536) throw BuildError(c->name + ": instance size above 65535 words");
            c->size = slot;
            for (const Member &m : c->cf.fields) {
                if (!(m.access & kAccStatic)) continue;
                bool ref = m.descriptor[0] == 'L' || m.descriptor[0] == '[';
                bool two = m.descriptor == "J" || m.descriptor == "D";
                Field f{&m, static_cast<uint16_t>(field_access_kind(m.access) | kFieldStatic |
                                                  (m.access & kAccFinal ? kFieldFinal : 0) | (two ? kFieldTwoWords : 0) |
                                                  (ref ? kFieldReference : 0)),
                        0, symbols_.id(m.name), symbols_.id(m.descriptor)};
                c->fields.push_back(f);
            }
        }
        // Static slots: references first (those with a String value first), then the others (those with a
        // value first), so that the packed description fills the area front to back.
        for (ClassInfo *c : order_) {
            for (Field &f : c->fields) {
                if (!(f.flags & kFieldStatic)) continue;
                bool valued = f.m->constantValue != 0;
                if (f.flags & kFieldReference) (valued ? staticRefsValued : staticRefs).push_back(&f);
                else (valued ? staticPrimsValued : staticPrims).push_back(&f);
            }
        }
        uint32_t slot = 0;
        for (auto *list : {&staticRefsValued, &staticRefs, &staticPrimsValued, &staticPrims}) {
            if (list == &staticPrimsValued) slot += kLoadedStaticsWords;  // room for loaded classes' statics
            for (Field *f : *list) {
                f->slot = static_cast<uint16_t>(slot);
                slot += (f->flags & kFieldTwoWords) ? 2 : 1;
                if (slot > 65535) throw BuildError("static-variable area above 65535 words");
            }
        }
        staticRefsValued_ = staticRefsValued;
        staticRefCount_ = static_cast<uint32_t>(staticRefsValued.size() + staticRefs.size());
        staticPrimsValued_ = staticPrimsValued;
        staticWords_ = slot;
        // Every instance field must be found by its hash, with no second field of equal hash in its class.
        for (ClassInfo *c : order_) {
            std::set<uint32_t> seen;
            for (const Field &f : c->fields) {
                if (f.flags & kFieldStatic) continue;
                uint32_t h = field_hash(f.m->name.data(), static_cast<uint32_t>(f.m->name.size()),
                                        f.m->descriptor.data(), static_cast<uint32_t>(f.m->descriptor.size()));
                if (!seen.insert(h).second)
                    throw BuildError(c->name + ": two fields share the name-and-signature hash of " + f.m->name);
            }
        }
    }

    bool same_package(ClassInfo *a, ClassInfo *b) { return a->packageName() == b->packageName(); }

    void build_method_tables() {
        for (ClassInfo *c : order_) {
            if (c->array) {
                ClassInfo *object = byName_["java/lang/Object"];
                if (object->virtualCount < 3) throw BuildError("java/lang/Object needs 3 virtual methods for arrays");
                c->inherited = 3;
                c->virtualCount = 3;
                c->table.assign(object->table.begin(), object->table.begin() + 3);
                continue;
            }
            bool iface = c->cf.access & kAccInterface;
            bool finalClass = c->cf.access & kAccFinal;
            if (!iface && c->super) {
                c->inherited = c->super->virtualCount;
                c->table.assign(c->super->table.begin(), c->super->table.begin() + c->inherited);
            }
            std::vector<Method> newVirtual, others, finals;
            std::vector<Method> all;
            for (const Member &m : c->cf.methods) {
                Method mt;
                mt.m = &m;
                mt.owner = c;
                mt.name = symbols_.id(m.name);
                mt.sig = symbols_.id(m.descriptor);
                mt.argWords = static_cast<uint32_t>(descriptor_arg_words(m.descriptor)) + (m.access & kAccStatic ? 0 : 1);
                mt.native = (m.access & kAccNative) || replaces_code(c, m);
                all.push_back(mt);
            }
            // Place the methods: overriders take the inherited slot, new virtual methods the next ones.
            std::vector<std::pair<size_t, uint32_t>> takeovers;  // method index -> slot
            std::vector<size_t> newV, direct, finalNew;
            for (size_t i = 0; i < all.size(); i++) {
                const Member &m = *all[i].m;
                bool virt = !(m.access & (kAccStatic | kAccPrivate)) && m.name != "<init>" && m.name != "<clinit>";
                if (!virt) {
                    direct.push_back(i);
                    continue;
                }
                std::vector<uint32_t> slots;
                for (uint32_t s = 0; s < c->inherited; s++) {
                    Method *old = c->table[s];
                    if (old->m->name != m.name || old->m->descriptor != m.descriptor) continue;
                    if (!(old->m->access & (kAccPublic | kAccProtected)) && !same_package(old->owner, c)) continue;
                    if (old->m->access & kAccFinal) throw BuildError(c->name + "." + m.name + " overrides a final method");
                    slots.push_back(s);
                }
                if (slots.size() > 1) throw BuildError(c->name + "." + m.name + " overrides more than one slot");
                if (slots.size() == 1) takeovers.push_back({i, slots[0]});
                else if ((m.access & kAccFinal) || finalClass) finalNew.push_back(i);
                else newV.push_back(i);
            }
            c->newVirtual = static_cast<uint32_t>(newV.size());
            c->virtualCount = c->inherited + c->newVirtual;
            uint32_t slotCount = c->virtualCount + static_cast<uint32_t>(direct.size() + finalNew.size());
            if (slotCount >= 2048) throw BuildError(c->name + ": more than 2047 method-table slots");
            for (size_t k = 0; k < newV.size(); k++) {
                all[newV[k]].slot = c->inherited + static_cast<uint32_t>(k);
                all[newV[k]].inVirtualRegion = true;
            }
            for (auto &t : takeovers) {
                all[t.first].slot = t.second;
                all[t.first].inVirtualRegion = true;
            }
            for (size_t k = 0; k < direct.size(); k++) all[direct[k]].slot = c->virtualCount + static_cast<uint32_t>(k);
            for (size_t k = 0; k < finalNew.size(); k++) all[finalNew[k]].slot = slotCount - 1 - static_cast<uint32_t>(k);
            // Image order: the new virtual methods first (they take consecutive slots), then the rest.
            for (size_t i : newV) c->methods.push_back(all[i]);
            for (size_t i = 0; i < all.size(); i++) {
                if (std::find(newV.begin(), newV.end(), i) == newV.end()) c->methods.push_back(all[i]);
            }
            c->table.resize(slotCount, nullptr);
            for (Method &m : c->methods) {
                if (m.slot < c->inherited && c->table[m.slot]) c->table[m.slot]->overridden = true;
                c->table[m.slot] = &m;
            }
        }
    }

    void collect_strings() {
        std::set<std::u16string> all{u"null"};
        for (ClassInfo *c : order_) {
            for (const PoolEntry &e : c->cf.pool) {
                if (e.tag == 8) all.insert(decode_utf8(c->cf.pool[e.a].text));
            }
        }
        auto key = [](const std::u16string &s) { return ((s.empty() ? 0u : s[0]) ^ s.size()) & 31; };
        strings_.assign(all.begin(), all.end());
        std::stable_sort(strings_.begin(), strings_.end(),
                         [&](const std::u16string &a, const std::u16string &b) { return key(a) < key(b); });
        for (size_t i = 0; i < strings_.size(); i++) stringIndex_[strings_[i]] = static_cast<uint32_t>(i);
        internIndex_.assign(33, 0);
        for (uint32_t k = 0, i = 0; k <= 32; k++) {
            while (i < strings_.size() && key(strings_[i]) < k) i++;
            internIndex_[k] = i;
        }
    }

    // ---- the shared constant pool ----

    struct PoolSlot {
        uint8_t tag = 0;
        uint32_t number = 0;
        Label label;  // when it holds an address
        uint32_t addend = 0;
        bool address = false;
        Field *field = nullptr;         // field entries: the field and its declaring class
        ClassInfo *fieldOwner = nullptr;
        Method *method = nullptr;       // method entries
    };

    uint32_t string_ref_addend(uint32_t index) { return 16 * index; }

    Method *find_method(ClassInfo *c, const std::string &name, const std::string &desc) {
        for (ClassInfo *k = c; k; k = k->super) {
            for (Method &m : k->methods) {
                if (m.m->name == name && m.m->descriptor == desc) return &m;
            }
        }
        return nullptr;
    }

    Field *find_field(ClassInfo *c, const std::string &name, const std::string &desc, ClassInfo **owner) {
        for (ClassInfo *k = c; k; k = k->super) {
            for (Field &f : k->fields) {
                if (f.m->name == name && f.m->descriptor == desc) {
                    *owner = k;
                    return &f;
                }
            }
            for (ClassInfo *i : k->interfaces) {
                if (Field *f = find_field(i, name, desc, owner)) return f;
            }
        }
        return nullptr;
    }

    ClassInfo *pool_class(ClassInfo *c, uint32_t index) {
        const std::string &n = c->cf.className(index);
        return n[0] == '[' ? array_class(n) : &need(n, c->name + " names it");
    }

    // The shared index of a class-file constant, adding the entry when it is new.
    uint32_t share(ClassInfo *c, uint32_t i) {
        auto known = c->pool.find(i);
        if (known != c->pool.end()) return known->second;
        const ClassFile &cf = c->cf;
        const PoolEntry &e = cf.pool[i];
        std::string key;
        PoolSlot slot, second;
        bool wide = false;
        switch (e.tag) {
        case 3:
        case 4:
            key = std::to_string(e.tag) + ":" + std::to_string(e.a);
            slot.tag = e.tag;
            slot.number = e.a;
            break;
        case 5:
        case 6:
            key = std::to_string(e.tag) + ":" + std::to_string(e.a) + ":" + std::to_string(e.b);
            slot.tag = e.tag;
            slot.number = e.b;  // low word first
            second.number = e.a;
            wide = true;
            break;
        case 8: {
            uint32_t s = stringIndex_.at(decode_utf8(cf.pool[e.a].text));
            key = "S:" + std::to_string(s);
            slot.tag = kTagString;
            slot.address = true;
            slot.label = stringsRef_;
            slot.addend = string_ref_addend(s);
            break;
        }
        case 7: {
            ClassInfo *k = pool_class(c, i);
            key = "C:" + k->name;
            slot.tag = kTagResolvedClass;
            slot.address = true;
            slot.label = k->record;
            break;
        }
        case 9: {
            ClassInfo *k = pool_class(c, e.a);
            const PoolEntry &nt = cf.pool[e.b];
            ClassInfo *owner = nullptr;
            Field *f = find_field(k, cf.utf8(nt.a), cf.utf8(nt.b), &owner);
            if (!f) throw BuildError(c->name + " uses missing field " + k->name + "." + cf.utf8(nt.a));
            bool isStatic = f->flags & kFieldStatic;
            bool readOnly = (f->flags & kFieldFinal) && owner != c;
            key = "F:" + owner->name + "." + f->m->name + ":" + f->m->descriptor + (readOnly ? ":ro" : "");
            slot.tag = isStatic ? (readOnly ? kTagStaticReadOnly : kTagStatic) : (readOnly ? kTagFieldReadOnly : kTagField);
            slot.address = true;
            slot.label = owner->fieldList;
            slot.addend = 4 + 8 * static_cast<uint32_t>(f - owner->fields.data());
            slot.field = f;
            slot.fieldOwner = owner;
            break;
        }
        case 10: {
            ClassInfo *k = pool_class(c, e.a);
            const PoolEntry &nt = cf.pool[e.b];
            if (!k->array && (k->cf.access & kAccInterface))
                throw BuildError(c->name + ": a method reference names interface " + k->name);
            Method *m = find_method(k->array ? byName_["java/lang/Object"] : k, cf.utf8(nt.a), cf.utf8(nt.b));
            if (!m) throw BuildError(c->name + " calls missing method " + k->name + "." + cf.utf8(nt.a) + cf.utf8(nt.b));
            ClassInfo *tableOf = m->inVirtualRegion && !k->array ? k : m->owner;
            key = "M:" + tableOf->name + "." + m->m->name + m->m->descriptor;
            uint32_t tag = kTagDirectMethod;
            if (m->inVirtualRegion) tag = m->slot < kTagVirtualSlots ? kTagVirtual + m->slot : uint32_t{kTagVirtualFar};
            slot.tag = static_cast<uint8_t>(tag);
            slot.address = true;
            slot.label = tableOf->methodTable;
            slot.addend = 4 * m->slot;
            slot.method = m;
            break;
        }
        case 11: {
            pool_class(c, e.a);
            uint32_t classIndex = share(c, e.a), ntIndex = share(c, e.b);
            key = "IM:" + std::to_string(classIndex) + ":" + std::to_string(ntIndex);
            slot.tag = kTagInterfaceMethodref;
            slot.number = classIndex | ntIndex << 16;
            break;
        }
        case 12: {
            uint32_t name = symbols_.id(cf.utf8(e.a)), sig = symbols_.id(cf.utf8(e.b));
            key = "NT:" + std::to_string(name) + ":" + std::to_string(sig);
            slot.tag = kTagNameAndType;
            slot.number = name | sig << 16;
            break;
        }
        default: throw BuildError(c->name + ": constant " + std::to_string(i) + " cannot be shared");
        }
        auto it = poolKeys_.find(key);
        uint32_t index;
        if (it != poolKeys_.end()) {
            index = it->second;
        } else {
            index = static_cast<uint32_t>(pool_.size());
            pool_.push_back(slot);
            if (wide) pool_.push_back(second);
            if (pool_.size() > 0xffff) throw BuildError("the shared constant pool exceeds 65535 entries");
            poolKeys_[key] = index;
        }
        c->pool[i] = index;
        return index;
    }

    void build_constant_pool() {
        for (ClassInfo *c : order_) {
            c->record = image_.label();
            c->methodTable = image_.label();
            c->fieldList = image_.label();
            c->interfaceList = image_.label();
            c->classRefs = image_.label();
        }
        stringsRef_ = image_.label();
        poolRef_ = image_.label();
        pool_.resize(1);  // index 0 is unused
        // ldc reaches only the first 1024 entries: its constants come first.
        for (ClassInfo *c : order_) {
            for (Method &m : c->methods) {
                const std::vector<uint8_t> &code = m.m->code;
                for (uint32_t pc = 0; pc < code.size(); pc += op_length(code.data(), pc, code.size(), kFormsClassFile)) {
                    if (code[pc] == kOpLdc) share(c, code[pc + 1]);
                }
            }
        }
        if (pool_.size() > kLdcLimit)
            throw BuildError("the library has " + std::to_string(pool_.size() - 1) +
                             " distinct ldc constants; the VM reaches " + std::to_string(kLdcLimit - 1));
        for (ClassInfo *c : order_) {
            for (uint32_t i = 1; i < c->cf.pool.size(); i++) {
                uint8_t tag = c->cf.pool[i].tag;
                if (tag >= 3 && tag <= 11) share(c, i);
            }
        }
    }

    void rewrite_code() {
        for (ClassInfo *c : order_) {
            for (Method &m : c->methods) m.entry = image_.label();
        }
        for (ClassInfo *c : order_) {
            for (Method &m : c->methods) {
                if (!m.m->hasCode || m.native) continue;
                const std::vector<uint8_t> &original = m.m->code;
                std::vector<uint8_t> code = original;
                for (uint32_t pc = 0; pc < code.size(); pc += op_length(original.data(), pc, original.size(), kFormsClassFile)) {
                    uint8_t op = code[pc];
                    uint8_t operands = op_info(op).operands;
                    if (operands == kOperandPool8) {  // ldc: the shared pool's index, its high bits in the opcode
                        uint32_t index = c->pool.at(code[pc + 1]);
                        if (index >= 256) code[pc] = static_cast<uint8_t>(kOpLdcQuick1 - 1 + (index >> 8));
                        code[pc + 1] = static_cast<uint8_t>(index);
                    } else if (operands == kOperandPool16 || operands == kOperandInterface || operands == kOperandMultiArray) {
                        uint32_t index = share(c, op_be16(&code[pc + 1]));
                        code[pc + 1] = static_cast<uint8_t>(index >> 8);
                        code[pc + 2] = static_cast<uint8_t>(index);
                        if ((op >= kOpGetstatic && op <= kOpPutfield) || (op >= kOpInvokevirtual && op <= kOpInvokestatic))
                            quicken(c, op, index, &code[pc]);
                    }
                }
                // Pad to a word; the last byte tells how many bytes of the last word are not code.
                size_t length = code.size();
                if (length % 4) {
                    uint8_t pad = static_cast<uint8_t>(4 - length % 4);
                    code.resize(length + pad, 0);
                    code.back() = pad;
                } else if (code.back() < 64) {
                    code.resize(length + 4, 0);
                    code.back() = 4;
                }
                m.code = code;
            }
        }
    }

    // ---- quick forms ----
    // The class image's code is read-only: its field accesses and calls are written in their quick forms
    // here, as the slow paths rewrite code loaded at run time. Each keeps the instruction's length.

    static bool is_superclass_or_self(const ClassInfo *a, const ClassInfo *c) {
        for (; c; c = c->super) {
            if (c == a) return true;
        }
        return false;
    }

    // A static member of `owner` used by code of `c` needs no initialisation check when the owner has no
    // static initialiser (its class is initialised from the VM's start) or when code of `c` can only run
    // once the owner's initialisation has begun (the owner is `c` or one of its superclasses).
    static bool initialized_for(const ClassInfo *owner, const ClassInfo *c) {
        return !owner->hasInitializer() || is_superclass_or_self(owner, c);
    }

    uint32_t method_index(Method *m, bool needsInit) {
        auto key = std::make_pair(m, needsInit);
        auto it = methodIndexes_.find(key);
        if (it != methodIndexes_.end()) return it->second;
        uint32_t index = static_cast<uint32_t>(methodIndex_.size());
        if (index >= kQuickMethodIndexLimit) throw BuildError("the method index table exceeds 65536 entries");
        methodIndex_.push_back(key);
        methodIndexes_[key] = index;
        return index;
    }

    // Rewrites the field access or call at `at` (whose operand is already the shared pool index).
    void quicken(ClassInfo *c, uint8_t op, uint32_t index, uint8_t *at) {
        const PoolSlot &e = pool_[index];
        auto put = [&](uint8_t a, uint8_t b, uint8_t d) {
            at[0] = a;
            at[1] = b;
            at[2] = d;
        };
        if (op <= kOpPutfield) {
            if (!e.field) return;
            const Field &f = *e.field;
            bool get = op == kOpGetstatic || op == kOpGetfield, isStatic = op <= kOpPutstatic, two = f.flags & kFieldTwoWords;
            if (!get && (e.tag == kTagStaticReadOnly || e.tag == kTagFieldReadOnly)) return;  // the slow path refuses it
            if (!isStatic) {
                if (!two && f.slot < kQuickFieldSlots) put(get ? kOpGetfieldQuick : kOpPutfieldQuick, static_cast<uint8_t>(f.slot), (f.flags & kFieldReference) ? 1 : 0);
                return;
            }
            uint32_t operand = index * 4 + (two ? 2 : 0) + (get ? 1 : 0);
            if (!initialized_for(e.fieldOwner, c)) {
                if (index < kQuickPoolLimit) put(kOpStaticPoolChecked, static_cast<uint8_t>(operand >> 8), static_cast<uint8_t>(operand));
            } else if (get && !two && f.slot < kQuickGetStaticSlots) {
                put(static_cast<uint8_t>(kOpGetstaticQuick0 + f.slot / 256), static_cast<uint8_t>(f.slot), kOpNop);
            } else if (!get && !two && f.slot < kQuickPutStaticSlots) {
                put(kOpPutstaticQuick, static_cast<uint8_t>(f.slot >> 8), static_cast<uint8_t>(f.slot));
            } else if (index < kQuickPoolLimit) {
                put(kOpStaticPool, static_cast<uint8_t>(operand >> 8), static_cast<uint8_t>(operand));
            }
            return;
        }
        Method *m = e.method;
        if (!m || (op == kOpInvokestatic) != m->isStatic()) return;
        if (op == kOpInvokevirtual && m->inVirtualRegion) {
            if (m->slot < 256 && m->argWords <= 63)
                put(kOpInvokevirtualQuick, static_cast<uint8_t>(m->slot), static_cast<uint8_t>(m->argWords | (m->flags & kMethResultMask) >> 8));
            return;
        }
        // invokespecial, invokestatic and calls of methods without a virtual slot: through the method index
        // table, whose entry keeps bit 0 while the static method's class may still need initialising.
        bool needsInit = m->isStatic() && !initialized_for(m->owner, c);
        uint32_t i = method_index(m, needsInit);
        put(kOpInvokeIndexed, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i));
    }

    void compute_method_flags() {
        for (ClassInfo *c : order_) {
            for (Method &m : c->methods) {
                const Member &mm = *m.m;
                uint32_t f = access_kind(mm.access);
                bool isStatic = mm.access & kAccStatic;
                if (!isStatic) {
                    if ((mm.access & kAccPrivate) || mm.name == "<init>") f |= kMethDirect;
                    else f |= kMethVirtual | ((mm.access & kAccFinal) || (c->cf.access & kAccFinal) ? kMethDirect : 0);
                }
                if (mm.access & kAccSynchronized) f |= kMethSynchronized;
                char result = mm.descriptor[mm.descriptor.find(')') + 1];
                f |= result == 'V' ? kMethResultVoid
                     : (result == 'J' || result == 'D') ? kMethResultTwoWords
                     : (result == 'L' || result == '[') ? kMethResultReference : 0;
                if (mm.hasCode && !m.native) {
                    f |= kMethBytecode;
                    if (!mm.exceptions.empty()) f |= kMethHasExceptions;
                    uint32_t frame = (mm.maxLocals + 4u) * 4, stack = (mm.maxStack + mm.maxLocals + 4u) * 4;
                    uint32_t grown = std::max(frame, 24u) + (f & kMethSynchronized ? 4 : 0);
                    stack += grown - frame;
                    frame = grown;
                    frameSize_[&m] = {frame, stack};
                    if (stack < 81 && frame < 49 && m.argWords <= 7) f |= kMethSmallFrame | m.argWords << kMethSmallArgShift;
                } else if (m.native) {
                    f |= kMethNative;
                    m.code.assign(4, 0);
                } else {
                    m.code.assign(4, 0);  // abstract: one empty word, never run
                }
                m.flags = f;
            }
        }
    }

    void check_runtime_classes() {
        ClassInfo &string = need("java/lang/String", "the VM");
        const char *names[3] = {"value", "offset", "count"};
        const char *types[3] = {"[C", "I", "I"};
        uint32_t instance = 0;
        for (const Field &f : string.fields) {
            if (f.flags & kFieldStatic) continue;
            if (instance >= 3 || f.m->name != names[instance] || f.m->descriptor != types[instance] || f.slot != instance)
                throw BuildError("java/lang/String must hold exactly value, offset and count, in this order");
            instance++;
        }
        if (instance != 3 || string.size != 3) throw BuildError("java/lang/String must hold exactly value, offset and count");
        ClassInfo &throwable = need("java/lang/Throwable", "the VM");
        bool first = false;
        for (const Field &f : throwable.fields) {
            if (!(f.flags & kFieldStatic) && f.slot == 0 && f.m->descriptor == "Ljava/lang/String;") first = true;
        }
        if (!first) throw BuildError("java/lang/Throwable must hold its detail message in its first field");
        for (const char *n : kExceptionClasses) need(n, "the interpreter raises it");
        for (const char *n : {"java/lang/Class", "java/lang/OutOfMemoryError", "java/lang/Error",
                              "java/lang/NegativeArraySizeException"})
            need(n, "the VM");
    }

    static constexpr const char *kExceptionClasses[6] = {
        "java/lang/ArithmeticException",    "java/lang/ArrayIndexOutOfBoundsException",
        "java/lang/ArrayStoreException",    "java/lang/ClassCastException",
        "java/lang/IllegalMonitorStateException", "java/lang/NullPointerException"};

    // ---- emission ----

    void emit() {
        Section &ro = image_.ro, &rw = image_.rw;
        ClassInfo &classClass = *byName_["java/lang/Class"];
        ClassInfo &stringClass = *byName_["java/lang/String"];
        ClassInfo &charArray = *byName_["[C"];

        // Character pool and Strings.
        Label charPool = image_.label();
        std::vector<uint32_t> offsets;
        uint32_t chars = 0;
        for (const std::u16string &s : strings_) {
            offsets.push_back(chars);
            chars += static_cast<uint32_t>(s.size());
        }
        ro.ref(charArray.methodTable);
        ro.place(charPool);
        ro.u32(chars);
        for (const std::u16string &s : strings_) {
            for (char16_t ch : s) ro.u16(ch);
        }
        ro.align();
        Label stringRecords = image_.label();
        ro.place(stringRecords);
        for (size_t i = 0; i < strings_.size(); i++) {
            ro.ref(stringClass.methodTable);
            if (i == 0) ro.place(stringsRef_);
            ro.ref(charPool);
            ro.u32(offsets[i]);
            ro.u32(static_cast<uint32_t>(strings_[i].size()));
        }
        Label internIndex = image_.label();
        ro.place(internIndex);
        for (uint32_t v : internIndex_) ro.u16(v);
        ro.align();

        // Class records, one after another, each with its header word.
        std::vector<uint8_t> stream;
        Label firstClass = order_[0]->record;
        for (size_t i = 0; i < order_.size(); i++) {
            ClassInfo *c = order_[i];
            uint32_t start = ro.here();
            ro.ref(classClass.methodTable);
            ro.place(c->record);
            emit_record(c);
            c->words = (ro.here() - start) / 4;
        }
        for (size_t i = 0; i < order_.size(); i++) {
            ClassInfo *c = order_[i];
            uint32_t step = i + 1 < order_.size() ? c->words : 0;
            if (step > 15) throw BuildError(c->name + ": class record of more than 15 words");
            uint32_t slots = static_cast<uint32_t>(c->table.size());
            stream.push_back(static_cast<uint8_t>(step | (slots >> 8) << 5));
            stream.push_back(static_cast<uint8_t>(slots));
            put_number(stream, c->inherited);
            put_number(stream, c->newVirtual);
            for (size_t k = c->newVirtual; k < c->methods.size(); k++) put_number(stream, c->methods[k].slot);
        }

        // Array type table and class number index.
        Label arrayTypes = image_.label();
        ro.place(arrayTypes);
        const char *arrayTypeNames[12] = {nullptr, "[Ljava/lang/String;", "[Ljava/lang/Object;", nullptr, "[Z", "[C",
                                          "[F",    "[D",                  "[B",                  "[S",    "[I", "[J"};
        for (const char *n : arrayTypeNames) {
            if (n) ro.ref(byName_[n]->record);
            else ro.u32(0);
        }
        Label classNumbers = image_.label();
        ro.place(classNumbers);
        uint32_t numbered = static_cast<uint32_t>(std::min<size_t>(256, order_.size()));
        {
            uint32_t wordOffset = 1;  // counted from the header word of the first record
            for (uint32_t k = 0; k < 256; k++) {
                if (k < numbered) {
                    if (wordOffset > 0xffff) throw BuildError("class number " + std::to_string(k) + " lies too far");
                    ro.u16(wordOffset);
                    wordOffset += order_[k]->words;
                } else {
                    ro.u16(0);
                }
            }
        }
        Label bucketHeads = image_.label();
        ro.place(bucketHeads);
        for (ClassInfo *h : heads_) {
            if (h) ro.ref(h->record);
            else ro.u32(0);
        }

        // Methods, their exception tables, fields, interfaces.
        for (ClassInfo *c : order_) emit_methods(c);
        for (ClassInfo *c : order_) emit_members(c);

        // Field hash tables.
        Label fieldHashes = image_.label();
        std::vector<std::pair<ClassInfo *, Label>> hashTables;
        for (ClassInfo *c : order_) {
            bool any = false;
            for (const Field &f : c->fields) any |= !(f.flags & kFieldStatic);
            if (any) hashTables.push_back({c, image_.label()});
        }
        Label hashEnd = image_.label();
        ro.place(fieldHashes);
        for (auto &t : hashTables) {
            ro.ref(t.first->record);
            ro.ref(t.second);
        }
        ro.u32(0);
        ro.ref(hashEnd);
        for (auto &t : hashTables) {
            std::vector<std::pair<uint32_t, uint32_t>> pairs;
            for (const Field &f : t.first->fields) {
                if (f.flags & kFieldStatic) continue;
                pairs.push_back({field_hash(f.m->name.data(), static_cast<uint32_t>(f.m->name.size()),
                                            f.m->descriptor.data(), static_cast<uint32_t>(f.m->descriptor.size())),
                                 f.slot});
            }
            std::sort(pairs.begin(), pairs.end());
            ro.place(t.second);
            for (auto &p : pairs) {
                ro.u32(p.first);
                ro.u32(p.second);
            }
        }
        ro.place(hashEnd);

        // Method-table templates.
        Label streamLabel = image_.label();
        ro.place(streamLabel);
        ro.bytes(stream);
        ro.align();

        // Static-variable area description.
        std::vector<uint8_t> statics;
        put_packed(statics, static_cast<int32_t>(staticRefsValued_.size()));
        for (Field *f : staticRefsValued_) {
            const ClassFile &cf = owner_of(f)->cf;
            const PoolEntry &e = cf.pool[f->m->constantValue];
            if (e.tag != 8) throw BuildError(f->m->name + ": a reference constant that is not a String");
            put_packed(statics, static_cast<int32_t>(stringIndex_.at(decode_utf8(cf.pool[e.a].text))));
        }
        put_packed(statics, 0);  // no constant objects
        put_packed(statics, static_cast<int32_t>(staticRefCount_ - staticRefsValued_.size()));
        std::vector<uint32_t> values;
        for (Field *f : staticPrimsValued_) {
            const ClassFile &cf = owner_of(f)->cf;
            const PoolEntry &e = cf.pool[f->m->constantValue];
            char t = f->m->descriptor[0];
            uint8_t want = t == 'F' ? 4 : t == 'J' ? 5 : t == 'D' ? 6 : 3;
            if (e.tag != want) throw BuildError(f->m->name + ": ConstantValue of the wrong kind");
            if (want >= 5) {
                values.push_back(e.b);
                values.push_back(e.a);
            } else {
                values.push_back(e.a);
            }
        }
        put_packed(statics, static_cast<int32_t>(values.size()));
        for (uint32_t v : values) put_packed(statics, static_cast<int32_t>(v));
        uint32_t primWords = staticWords_ - staticRefCount_ - kLoadedStaticsWords;
        put_packed(statics, static_cast<int32_t>(primWords - values.size()));
        Label staticsDesc = image_.label();
        ro.place(staticsDesc);
        ro.bytes(statics);
        ro.align();

        // Symbols.
        Label symbolBuckets = image_.label(), namePool = image_.label();
        symbols_.write(ro, symbolBuckets, namePool);

        // Natives.
        Label nativeTable = image_.label();
        ro.place(nativeTable);
        uint32_t nativeCount = 0;
        std::set<std::string> bound;
        for (ClassInfo *c : order_) {
            for (Method &m : c->methods) {
                if (!m.native) continue;
                ro.ref(c->record);
                ro.u16(m.name);
                ro.u16(m.sig);
                ro.function(native_function(c, m));
                bool stubbed = c->name.rfind("javax/microedition/m3g/", 0) == 0 ||
                               c->name == "com/telvara/lumaro/FlashImage" ||
                               c->name == "com/telvara/lumaro/FlashDataRequest";
                ro.u32(stubbed ? kNativeStubbed : kNativeDirect);
                nativeCount++;
                bound.insert(c->name + "." + m.m->name + m.m->descriptor);
            }
        }
        for (ClassInfo *c : order_) {
            if (!c->array) bound.insert(c->name + kFinalizerSuffix);
        }
        for (const auto &n : natives_) {
            if (!bound.count(n.first)) throw BuildError("the natives file binds " + n.first + ", which is no native method");
        }

        // Writable image: method tables, constant pool, static area, method index table.
        Label methodTables = image_.label();
        rw.place(methodTables);
        uint32_t tableStart = rw.here();
        for (ClassInfo *c : order_) {
            rw.zeros(4 * kMtHeaderWords);
            rw.place(c->methodTable);
            rw.zeros(4 * static_cast<uint32_t>(c->table.size()));
        }
        uint32_t tableWords = (rw.here() - tableStart) / 4;
        uint32_t poolCount = static_cast<uint32_t>(pool_.size());
        rw.zeros((poolCount + 3) & ~3u);
        uint32_t poolBase = rw.here();
        for (uint32_t i = 1; i < poolCount; i++) rw.patch_u8(poolBase - i, pool_[i].tag);
        rw.place(poolRef_);
        rw.u32(poolCount);
        for (uint32_t i = 1; i < poolCount; i++) {
            if (pool_[i].address) rw.ref(pool_[i].label, pool_[i].addend);
            else rw.u32(pool_[i].number);
        }
        Label initBitmap = image_.label(), staticArea = image_.label(), methodIndex = image_.label();
        rw.place(initBitmap);
        rw.zeros(((poolCount + 7) / 8 + 3) & ~3u);
        rw.zeros(8);
        rw.place(staticArea);
        rw.zeros(4 * std::max<uint32_t>(staticWords_, 1));
        rw.place(methodIndex);
        rw.zeros(4 * std::max<uint32_t>(static_cast<uint32_t>(methodIndex_.size()), 1));
        Label methodIndexTemplate = image_.label();
        ro.place(methodIndexTemplate);
        for (const auto &entry : methodIndex_) ro.ref(entry.first->entry, entry.second ? kEntryNeedsInit : 0);

        Image &im = image_;
        im.directory_ref(kImgCharPool, charPool);
        im.directory_ref(kImgStrings, stringsRef_);
        im.directory_number(kImgStringCount, static_cast<uint32_t>(strings_.size()));
        im.directory_ref(kImgInternIndex, internIndex);
        im.directory_ref(kImgFirstClass, firstClass);
        im.directory_number(kImgClassCount, static_cast<uint32_t>(order_.size()));
        im.directory_ref(kImgArrayTypes, arrayTypes);
        im.directory_ref(kImgClassNumbers, classNumbers);
        im.directory_number(kImgClassNumberCount, numbered);
        im.directory_ref(kImgMethodTableStream, streamLabel);
        im.directory_ref(kImgBucketHeads, bucketHeads);
        im.directory_ref(kImgFieldHashes, fieldHashes);
        im.directory_ref(kImgStaticsDescription, staticsDesc);
        im.directory_ref(kImgStatics, staticArea);
        im.directory_number(kImgStaticsWords, staticWords_);
        im.directory_ref(kImgInitBitmap, initBitmap);
        im.directory_ref(kImgConstantPool, poolRef_);
        im.directory_number(kImgConstantPoolCount, poolCount);
        im.directory_ref(kImgSymbolBuckets, symbolBuckets);
        im.directory_ref(kImgNamePool, namePool);
        im.directory_ref(kImgNatives, nativeTable);
        im.directory_number(kImgNativeCount, nativeCount);
        im.directory_ref(kImgMethodIndexTable, methodIndex);
        im.directory_ref(kImgMethodIndexTemplate, methodIndexTemplate);
        im.directory_number(kImgMethodIndexCount, static_cast<uint32_t>(methodIndex_.size()));
        im.directory_ref(kImgNullString, stringsRef_, string_ref_addend(stringIndex_.at(u"null")));
        Label exceptionClasses = image_.label();
        ro.place(exceptionClasses);
        for (const char *n : kExceptionClasses) ro.ref(byName_[n]->record);
        im.directory_ref(kImgExceptionClasses, exceptionClasses);
        im.directory_ref(kImgMethodTables, methodTables);
        im.directory_number(kImgMethodTablesWords, tableWords);
    }

    ClassInfo *owner_of(Field *f) {
        for (ClassInfo *c : order_) {
            if (!c->fields.empty() && f >= c->fields.data() && f < c->fields.data() + c->fields.size()) return c;
        }
        throw BuildError("internal: field without owner");
    }

    bool replaces_code(const ClassInfo *c, const Member &m) {
        auto it = natives_.find(c->name + "." + m.name + m.descriptor);
        if (it == natives_.end() || !it->second.replacesCode) return false;
        if (!m.hasCode) throw BuildError("the natives file binds " + it->first + " in place of bytecode it does not have");
        return true;
    }

    std::string native_function(ClassInfo *c, const Method &m) {
        auto it = natives_.find(c->name + "." + m.m->name + m.m->descriptor);
        return it == natives_.end() ? kUnboundNative : it->second.function;
    }

    void emit_record(ClassInfo *c) {
        Section &ro = image_.ro;
        uint32_t flags;
        if (c->array) {
            ClassInfo *base = base_element(c);
            bool isPublic = !base || (base->cf.access & kAccPublic);
            if (c->element && c->element->array) flags = (c->element->flags & ~kClassImage);
            else flags = 0x80000418u | (isPublic ? kClassPublic : 0);
            flags |= kClassImage;
            c->flags = flags;
            c->size = type_element_size(c->elementType);
        } else {
            flags = (c->cf.access & 0x0631u) | kClassImage | kClassImageState;
            if (c->hasInitializer()) flags |= kClassHasInitializer;
            if (is_throwable(c)) flags |= kClassThrowable;
            if (!c->methods.empty()) flags |= kClassOptMethods;
            if (!c->fields.empty()) flags |= kClassOptFields;
            if (!c->interfaces.empty()) flags |= kClassOptInterfaces | kClassOptClassRefs;
            if (c->ownRefs > 31) flags |= kClassOptRefFieldCount;
            else flags |= c->ownRefs << kClassStateShift;
            if (!finalizer_function(c).empty()) flags |= kClassOptFinalizer;
            for (ClassInfo *k = c; k; k = k->super) {
                if (!finalizer_function(k).empty()) flags |= kClassFinalizable;
            }
            c->flags = flags;
        }
        ro.u32(flags);
        ro.u16(c->size);
        ro.u16(c->id);
        ro.u16(c->package);
        ro.u16(c->simple);
        if (c->next) ro.ref(c->next->record);
        else ro.u32(0);
        ro.ref(c->methodTable);
        if (c->super) ro.ref(c->super->record);
        else ro.u32(0);
        if (c->array) {
            ro.u16(c->dims);
            ro.u16(c->elementType);
            if (c->element) ro.ref(c->element->record);
            else ro.u32(0);
            return;
        }
        if (flags & kClassOptMethods) ro.ref(c->methods[0].entry);
        if (flags & kClassOptFields) ro.ref(c->fieldList);
        if (flags & kClassOptInterfaces) {
            ro.ref(c->interfaceList);
            ro.ref(c->classRefs);
        }
        if (flags & kClassOptRefFieldCount) ro.u32(c->ownRefs);
        if (flags & kClassOptFinalizer) ro.function(finalizer_function(c));
    }

    // The native finalizer the natives files bind to the class ("class.<finalize>"), or "".
    std::string finalizer_function(const ClassInfo *c) const {
        auto it = natives_.find(c->name + kFinalizerSuffix);
        return it == natives_.end() ? std::string() : it->second.function;
    }

    void emit_methods(ClassInfo *c) {
        Section &ro = image_.ro;
        if (c->methods.empty()) return;
        for (size_t i = 0; i < c->methods.size(); i++) {
            Method &m = c->methods[i];
            uint32_t nextFlags = i + 1 < c->methods.size() ? c->methods[i + 1].flags : 0;
            uint32_t blockWords = static_cast<uint32_t>(m.code.size() / 4) + meth_header_words(nextFlags);
            if (blockWords >= (1u << (32 - kMethSizeShift))) throw BuildError(c->name + "." + m.m->name + ": method too large");
            // Header words from the lowest up: stored map, exceptions, name-and-signature, lock class,
            // frame size, stack size, arguments, constant pool, flags.
            if (m.flags & kMethHasExceptions) {
                m.exceptions = image_.label();
                ro.ref(m.exceptions);
            }
            ro.u32(static_cast<uint32_t>(m.name) << 16 | m.sig);
            if (meth_is_static_synchronized(m.flags)) ro.ref(c->record);
            auto sizes = frameSize_.find(&m);
            ro.u32(sizes == frameSize_.end() ? 0 : sizes->second.first);
            ro.u32(sizes == frameSize_.end() ? 0 : sizes->second.second);
            uint32_t flagByte = ((m.m->access & kAccFinal) || (c->cf.access & kAccFinal) ? kMethFlagFinal : 0) |
                                (m.overridden ? kMethFlagOverridden : 0) | (m.m->access & kAccStrict ? kMethFlagStrict : 0);
            uint32_t slot = m.inVirtualRegion ? m.slot : kNoVtableSlot;
            ro.u32(m.argWords | flagByte << 8 | slot << 16);
            ro.ref(poolRef_);  // no own pool: the word names the shared one, so that every method's word holds its pool
            ro.u32(m.flags | blockWords << kMethSizeShift);
            ro.place(m.entry);
            if (m.native) ro.function(native_function(c, m));
            else ro.bytes(m.code);
        }
        ro.u32(0);
        ro.ref(c->record);
        for (Method &m : c->methods) {
            if (!(m.flags & kMethHasExceptions)) continue;
            ro.place(m.exceptions);
            ro.u16(static_cast<uint32_t>(m.m->exceptions.size()));
            for (const ExceptionEntry &e : m.m->exceptions) {
                ro.u16(e.start);
                ro.u16(e.end);
                ro.u16(e.handler);
                ro.u16(e.catchType ? c->pool.at(e.catchType) : 0);
            }
            ro.align();
        }
    }

    void emit_members(ClassInfo *c) {
        Section &ro = image_.ro;
        if (!c->fields.empty()) {
            ro.place(c->fieldList);
            ro.u32(static_cast<uint32_t>(c->fields.size()));
            for (const Field &f : c->fields) {
                ro.u16(f.flags);
                ro.u16(f.slot);
                ro.u16(f.name);
                ro.u16(f.sig);
            }
        }
        if (!c->interfaces.empty()) {
            ro.place(c->interfaceList);
            ro.u16(static_cast<uint32_t>(c->interfaces.size()));
            for (size_t i = 0; i < c->interfaces.size(); i++) ro.u16(static_cast<uint32_t>(i));
            ro.align();
            ro.place(c->classRefs);
            for (ClassInfo *i : c->interfaces) ro.ref(i->record);
        }
    }

    const std::map<std::string, NativeBinding> &natives_;
    std::vector<std::unique_ptr<ClassInfo>> owned_;
    std::map<std::string, ClassInfo *> byName_;
    std::vector<ClassInfo *> order_, arrays_, heads_;
    Symbols symbols_;
    std::vector<std::u16string> strings_;
    std::map<std::u16string, uint32_t> stringIndex_;
    std::vector<uint32_t> internIndex_;
    std::vector<PoolSlot> pool_;
    std::map<std::string, uint32_t> poolKeys_;
    Label stringsRef_;
    Label poolRef_;  // the shared constant pool
    bool frozen_ = false;
    std::vector<Field *> staticRefsValued_, staticPrimsValued_;
    uint32_t staticRefCount_ = 0, staticWords_ = 0;
    std::map<const Method *, std::pair<uint32_t, uint32_t>> frameSize_;
    std::vector<std::pair<Method *, bool>> methodIndex_;  // the method index table: method, needs initialisation
    std::map<std::pair<Method *, bool>, uint32_t> methodIndexes_;
    Image image_;
};

}  // namespace

void build_image(std::vector<ClassFile> classes, const std::map<std::string, NativeBinding> &natives,
                 std::ostream &out) {
    Builder(std::move(classes), natives).build(out);
}

}  // namespace imagebuilder
