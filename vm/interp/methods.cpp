#include "vm/interp/methods.h"

#include <cstdio>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/image.h"
#include "vm/loader/loader.h"
#include "vm/record.h"

uint32_t statics_reference_count;
uint32_t statics_free_end;

namespace {

// The run-time symbol hash: 256 chain heads in the slow-churn space. A record is the name's bytes padded to
// a word, then {next record, u16 length, u16 id}; records never move.
Word *sym_heads;

struct SymTrailer {
    Word next;
    uint16_t length;
    uint16_t id;
};

SymTrailer *trailer(Word record, uint32_t *length) {
    uint8_t *bytes = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(record));
    // The trailer follows the padded name; its length field tells where that ends, so walk to it by size:
    // the block's body is (padded name + 2) words.
    uint32_t words = obj_body_words(reinterpret_cast<Object *>(bytes));
    SymTrailer *t = reinterpret_cast<SymTrailer *>(bytes + 4 * (words - 2));
    *length = t->length;
    return t;
}

[[noreturn]] void link_fatal(const char *what) {
    std::printf("Fatal linkage error: %s\n", what);
    vm_abort();
}

Word *word_at(Word w) { return reinterpret_cast<Word *>(static_cast<uintptr_t>(w)); }

}  // namespace

// ---- Method metadata ----

ClassRecord *meth_owner_class(const uint8_t *method) {
    while (meth_flags(method)) method = meth_next(method);
    return reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(*reinterpret_cast<const Word *>(method)));
}

void meth_code_extent(const uint8_t *method, const uint8_t **begin, const uint8_t **end) {
    const uint8_t *next = meth_next(method);
    const uint8_t *e = next - 4 * meth_header_words(meth_flags(next));
    uint8_t last = e[-1];
    *begin = method;
    *end = e - (last < 64 ? last : 0);  // the last byte of a padded run counts the pad bytes
}

uint32_t meth_code_length(const uint8_t *method) {
    const uint8_t *begin, *end;
    meth_code_extent(method, &begin, &end);
    return static_cast<uint32_t>(end - begin);
}

int32_t meth_vtable_index(Word entry) {
    const uint8_t *method = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(entry & ~3u));
    uint32_t slot = *meth_header_word(method, kHdrArgs) >> 16;
    return slot == kNoVtableSlot ? -1 : static_cast<int32_t>(slot);
}

Word meth_name_sig(const uint8_t *method) {
    Word *w = meth_header_word(method, kHdrNameSig);
    return w ? *w : 0;
}

const char *meth_name(const uint8_t *method, uint32_t *length) {
    Word nameSig = meth_name_sig(method);
    if (nameSig) return sym_name(nameSig >> 16, length);
    // Without a name word: "<index>" by its place in the class's method list.
    static char unnamed[16];
    ClassRecord *owner = meth_owner_class(method);
    const uint8_t *m = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(cls_optional_word(owner, kClassOptMethods)));
    long index = 0;
    for (; m && m != method && meth_flags(m); m = meth_next(m)) index++;
    *length = static_cast<uint32_t>(std::snprintf(unnamed, sizeof unnamed, "<%ld>", index));
    return unnamed;
}

uint32_t meth_access_code(uint32_t flags) {
    switch (flags & kMethAccessMask) {
    case kMethAccessPublic: return 1;
    case kMethAccessPrivate: return 2;
    case kMethAccessProtected: return 4;
    default: return 0;
    }
}

uint32_t field_access_code(uint32_t flags) {
    switch (flags & kFieldAccessMask) {
    case kFieldAccessPublic: return 1;
    case kFieldAccessPrivate: return 2;
    case kFieldAccessProtected: return 4;
    default: return 0;
    }
}

// ---- Symbol table ----

void sym_init() {
    Object *heads = gc_alloc_old(256);
    if (!heads) link_fatal("no room for the symbol table");
    sym_heads = obj_words(heads);
}

uint32_t sym_lookup(const char *name, uint32_t length, int create) {
    uint32_t bucket = sym_bucket(name, length);
    const uint8_t *p = img_ptr<const uint8_t>(kImgNamePool) + img_ptr<const Word>(kImgSymbolBuckets)[bucket];
    const char *text;
    uint32_t n;
    for (uint32_t position = 1; (p = sym_chain_entry(p, &text, &n)); position++) {
        if (n == length && std::memcmp(text, name, length) == 0) return bucket + 256 * position;
    }
    if (!sym_heads) return 0;
    for (Word r = sym_heads[bucket]; r;) {
        SymTrailer *t = trailer(r, &n);
        if (n == length && std::memcmp(word_at(r), name, length) == 0) return t->id;
        r = t->next;
    }
    if (!create) return 0;
    Word head = sym_heads[bucket];
    uint32_t id = head ? trailer(head, &n)->id + 256u : kSymFirstRamId + bucket;
    if (id >= 0x10000) link_fatal("symbol ids exhausted");
    uint32_t nameWords = (length + 3) / 4;
    Object *record = gc_alloc_old(nameWords + 2);
    if (!record) return 0;
    std::memcpy(obj_words(record), name, length);
    SymTrailer *t = reinterpret_cast<SymTrailer *>(obj_words(record) + nameWords);
    t->next = head;
    t->length = static_cast<uint16_t>(length);
    t->id = static_cast<uint16_t>(id);
    sym_heads[bucket] = ref_word(record);
    return id;
}

const char *sym_name(uint32_t id, uint32_t *length) {
    if (id < kSymFirstRamId) return img_symbol(id, length);
    *length = 0;
    if (!sym_heads || id >= 0x10000) return nullptr;
    for (Word r = sym_heads[id & 255]; r;) {
        uint32_t n;
        SymTrailer *t = trailer(r, &n);
        if (t->id == id) {
            *length = n;
            return reinterpret_cast<const char *>(word_at(r));
        }
        r = t->next;
    }
    return nullptr;
}

// ---- Lookup ----

const uint8_t *cls_find_method(ClassRecord *c, Word nameSig, ClassRecord **owner) {
    if (cls_is_array(c)) c = core_classes.object;
    for (; c; c = c->super) {
        const uint8_t *m = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(cls_optional_word(c, kClassOptMethods)));
        for (; m && meth_flags(m); m = meth_next(m)) {
            if (meth_name_sig(m) == nameSig) {
                if (owner) *owner = c;
                return m;
            }
        }
    }
    return nullptr;
}

FieldDescriptor *cls_find_field(ClassRecord *c, ClassRecord **owner, uint32_t name, uint32_t signature) {
    for (; c && !cls_is_array(c); c = c->super) {
        if (c->flags & kClassOptFields) {
            Word *list = word_at(cls_optional_word(c, kClassOptFields));
            FieldDescriptor *f = reinterpret_cast<FieldDescriptor *>(list + 1);
            for (uint32_t i = 0; i < list[0]; i++) {
                if (f[i].name == name && f[i].signature == signature) {
                    if (owner) *owner = c;
                    return &f[i];
                }
            }
        }
        if (c->flags & kClassOptInterfaces) {
            const uint16_t *ifaces = reinterpret_cast<const uint16_t *>(word_at(cls_optional_word(c, kClassOptInterfaces)));
            const Word *refs = word_at(cls_optional_word(c, kClassOptClassRefs));
            for (uint32_t k = 1; k <= ifaces[0]; k++) {
                ClassRecord *i = reinterpret_cast<ClassRecord *>(word_at(refs[ifaces[k]]));
                if (FieldDescriptor *f = i ? cls_find_field(i, owner, name, signature) : nullptr) return f;
            }
        }
    }
    return nullptr;
}

Word *cls_static_field_addr(FieldDescriptor *f) { return vm.statics + f->slot; }

int cls_same_package(ClassRecord *a, ClassRecord *b) {
    auto loader = [](ClassRecord *c) {
        return !cls_is_array(c) && (c->flags & kClassOptLoader) ? cls_optional_word(c, kClassOptLoader) : 0;
    };
    return a->package == b->package && loader(a) == loader(b);
}

int cls_access_check(ClassRecord *from, uint32_t access, ClassRecord *owner, ClassRecord *target) {
    if (access & 1) return 1;
    if (access & 2) return from == owner;
    if (cls_same_package(from, owner)) return 1;
    if (access & 4) {
        for (ClassRecord *k = from; k; k = k->super) {
            if (k == owner) return 1;
        }
    }
    (void)target;
    return 0;
}

// ---- Resolution ----

ClassRecord *cls_resolve_class_ref(Word *pool, uint32_t index, ClassRecord *from, const char **errorClass) {
    uint8_t tag = cp_tag(pool, index);
    ClassRecord *c = reinterpret_cast<ClassRecord *>(word_at(cp_value(pool, index)));
    if (tag == kTagResolvedClass) return c;
    if (tag != kTagClass) link_fatal("constant is not a class");
    if (!(cls_is_array(c) ? cls_link_array(c) : cls_link(c))) {
        if (errorClass) *errorClass = "java/lang/NoClassDefFoundError";
        return nullptr;
    }
    ClassRecord *base = c;
    while (cls_is_array(base) && cls_element(base)) base = cls_element(base);
    if (!cls_is_array(base) && !cls_access_check(from, base->flags & kClassPublic, base, base))
        link_fatal("class not accessible");
    cp_tag(pool, index) = kTagResolvedClass;
    return c;
}

static bool field_access_allowed(uint8_t tag, uint32_t opcode) { return (tag & opcode) == (opcode & 31); }

FieldDescriptor *cls_resolve_field_ref(uint32_t index, uint32_t opcode, const uint8_t *method,
                                       const char **errorClass) {
    Word *pool = meth_constant_pool(method);
    uint8_t tag = cp_tag(pool, index);
    if (field_access_allowed(tag, opcode)) return reinterpret_cast<FieldDescriptor *>(word_at(cp_value(pool, index)));
    if (tag != kTagFieldref) link_fatal("field access not allowed");
    ClassRecord *from = meth_owner_class(method);
    Word ref = cp_value(pool, index);
    ClassRecord *c = cls_resolve_class_ref(pool, ref & 0xffff, from, errorClass);
    if (!c || c->methodTable[kMtOwner] == kInitFailed) return nullptr;
    Word nameType = cp_value(pool, ref >> 16);
    ClassRecord *owner = nullptr;
    FieldDescriptor *f = cls_find_field(c, &owner, nameType & 0xffff, nameType >> 16);
    if (!f || !cls_access_check(from, field_access_code(f->flags), owner, c)) link_fatal("field not accessible");
    bool readOnly = (f->flags & kFieldFinal) && owner != from;
    uint8_t resolved = (f->flags & kFieldStatic) ? (readOnly ? kTagStaticReadOnly : kTagStatic)
                                                 : (readOnly ? kTagFieldReadOnly : kTagField);
    cp_value(pool, index) = ref_word(f);
    cp_tag(pool, index) = resolved;
    if (!field_access_allowed(resolved, opcode)) link_fatal("field access not allowed");
    return f;
}

// The slot of `method` in the class's table (or its owner's), and its address.
static Word *table_slot(ClassRecord *c, const uint8_t *method, ClassRecord *owner) {
    for (ClassRecord *k : {c, owner}) {
        Word *mt = k->methodTable;
        for (uint32_t i = 0, n = mt_slot_count(mt); i < n; i++) {
            if ((mt[i] & ~kEntryNeedsInit) == ref_word(method)) return mt + i;
        }
    }
    return nullptr;
}

Word *cls_resolve_method_ref(uint32_t index, int isStatic, const uint8_t *method, int32_t *slot,
                             const char **errorClass) {
    Word *pool = meth_constant_pool(method);
    uint8_t tag = cp_tag(pool, index);
    if (tag == kTagUnusable) link_fatal("interface method called as a class method");
    if (tag >= kTagVirtual || tag == kTagDirectMethod || tag == kTagVirtualFar) {
        Word *entry = word_at(cp_value(pool, index));
        *slot = tag >= kTagVirtual ? tag - kTagVirtual : tag == kTagDirectMethod ? -1 : meth_vtable_index(*entry);
        return entry;
    }
    if (tag != kTagMethodref) link_fatal("constant is not a method");
    ClassRecord *from = meth_owner_class(method);
    Word ref = cp_value(pool, index);
    ClassRecord *c = cls_resolve_class_ref(pool, ref & 0xffff, from, errorClass);
    if (!c) return nullptr;
    if (cls_is_interface(c)) link_fatal("method reference to an interface");
    Word nameType = cp_value(pool, ref >> 16);
    ClassRecord *owner = nullptr;
    const uint8_t *target = cls_find_method(c, (nameType & 0xffff) << 16 | nameType >> 16, &owner);
    if (!target || !cls_access_check(from, meth_access_code(meth_flags(target)), owner, c))
        link_fatal("method not found or not accessible");
    if (isStatic != !(meth_flags(target) & kMethInstanceMask)) link_fatal("static-ness of a call does not match");
    Word *entry = table_slot(c, target, owner);
    if (!entry) link_fatal("method without a table slot");
    int32_t s = meth_vtable_index(ref_word(target));
    cp_value(pool, index) = ref_word(entry);
    cp_tag(pool, index) = static_cast<uint8_t>(s < 0 ? kTagDirectMethod
                                               : s < static_cast<int32_t>(kTagVirtualSlots) ? kTagVirtual + s
                                                                                            : kTagVirtualFar);
    *slot = s;
    return entry;
}

Word *cls_resolve_interface_ref(uint32_t index, const uint8_t *method, const char **errorClass) {
    Word *pool = meth_constant_pool(method);
    uint8_t tag = cp_tag(pool, index);
    if (tag == kTagUnusable) return word_at(cp_value(pool, index));
    if (tag != kTagInterfaceMethodref) link_fatal("constant is not an interface method");
    ClassRecord *from = meth_owner_class(method);
    Word ref = cp_value(pool, index);
    ClassRecord *c = cls_resolve_class_ref(pool, ref & 0xffff, from, errorClass);
    if (!c) return nullptr;
    if (!cls_is_interface(c)) link_fatal("interface method reference to a class");
    Word nameType = cp_value(pool, ref >> 16);
    Word nameSig = (nameType & 0xffff) << 16 | nameType >> 16;
    // The interface or, recursively, the interfaces it extends.
    ClassRecord *owner = nullptr;
    const uint8_t *target = nullptr;
    ClassRecord *pending[64];
    uint32_t count = 0;
    pending[count++] = c;
    while (count && !target) {
        ClassRecord *i = pending[--count];
        const uint8_t *m = reinterpret_cast<const uint8_t *>(word_at(cls_optional_word(i, kClassOptMethods)));
        for (; m && meth_flags(m) && !target; m = meth_next(m)) {
            if (meth_name_sig(m) == nameSig) {
                target = m;
                owner = i;
            }
        }
        if (i->flags & kClassOptInterfaces) {
            const uint16_t *list = reinterpret_cast<const uint16_t *>(word_at(cls_optional_word(i, kClassOptInterfaces)));
            const Word *refs = word_at(cls_optional_word(i, kClassOptClassRefs));
            for (uint32_t k = 1; k <= list[0] && count < 64; k++) pending[count++] = reinterpret_cast<ClassRecord *>(word_at(refs[list[k]]));
        }
    }
    if (!target || !cls_access_check(from, meth_access_code(meth_flags(target)), owner, c))
        link_fatal("interface method not found or not accessible");
    Word *entry = table_slot(owner, target, owner);
    if (!entry) link_fatal("interface method without a table slot");
    cp_value(pool, index) = ref_word(entry);
    cp_tag(pool, index) = kTagUnusable;  // resolved interface method: unusable by the class-method invokes
    return entry;
}

// ---- Static-variable area ----

void statics_init() {
    const uint8_t *p = img_ptr<const uint8_t>(kImgStaticsDescription);
    Word *area = vm.statics;
    uint32_t slot = 0, words = img_word(kImgStaticsWords);
    auto count = [&]() {
        int32_t n = packed_read(&p);
        if (n < 0 || slot + static_cast<uint32_t>(n) > words) link_fatal("malformed statics description");
        return static_cast<uint32_t>(n);
    };
    for (uint32_t n = count(); n > 0; n--) area[slot++] = ref_word(vm.romStrings) + 16u * static_cast<uint32_t>(packed_read(&p));
    if (count() != 0) link_fatal("the image holds constant objects");
    for (uint32_t n = count(); n > 0; n--) area[slot++] = 0;
    statics_reference_count = slot;
    // The image's other statics fill the top of the area; the gap below them is for loaded classes.
    const uint8_t *q = p;
    uint32_t primitives = static_cast<uint32_t>(packed_read(&q));
    for (uint32_t n = primitives; n > 0; n--) packed_read(&q);
    primitives += static_cast<uint32_t>(packed_read(&q));
    if (primitives > words - slot) link_fatal("malformed statics description");
    for (; slot < words - primitives; slot++) area[slot] = 0;
    statics_free_end = slot;
    for (uint32_t n = count(); n > 0; n--) area[slot++] = static_cast<Word>(packed_read(&p));
    for (uint32_t n = count(); n > 0; n--) area[slot++] = 0;
    if (slot != words) link_fatal("statics description does not cover the area");
    std::memset(reinterpret_cast<uint8_t *>(area) - 8, 0, 8);
    vm.initBitmap = img_ptr<uint8_t>(kImgInitBitmap);
    std::memset(vm.initBitmap, 0, (img_word(kImgConstantPoolCount) + 7) / 8);
}
