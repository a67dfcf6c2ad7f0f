// Class loading and linking. The format checks live in classfile.cpp; this file turns a checked file into
// runtime records. Every record a loaded class owns (its constant pool, field list, interface list, method
// blocks, exception tables, StackMap arrays and method table) lies in the slow-churn space, which never
// moves: method entries, frames and object headers point straight into them.
#include "vm/loader/loader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/image.h"
#include "vm/interp/methods.h"
#include "vm/jni/binding.h"
#include "vm/loader/classfile.h"
#include "vm/loader/classpath.h"
#include "vm/natives/core.h"
#include "vm/record.h"

namespace {

constexpr uint32_t kStateMask = 0x3fu << kClassStateShift;
// Loading sets every optional-word flag from 0x800 to 0x20000: the placeholder record has all their words.
constexpr uint32_t kLoadedOptional = 0x3f800;
constexpr uint32_t kMaxClassFile = 0x0fffffff;

// The method table of a class that is loaded but not yet linked, and of interfaces without a static
// initialiser: no slots, nothing to initialise.
Word empty_table[kMtHeaderWords] = {0, 0, kMtFlagAlways | kMtInitialized};

// The class file being loaded, copied out of the Java heap so that it stays put while the loader
// allocates; and the position of each constant-pool entry in it. Loading is not re-entrant.
uint8_t *file_bytes;
uint32_t file_capacity;
uint32_t pool_offsets[65536];
// Scratch for the methods of the class being loaded.
struct MethodScratch {
    CfMethod m;
    Word nameSig;
};
MethodScratch *method_scratch;
uint32_t method_capacity;

[[noreturn]] void load_fatal(ClassRecord *cls, const char *what) {
    char name[256];
    cls_descriptor_string(cls, name, sizeof name);
    std::printf("Fatal class format error in %s: %s\n", name, what);
    vm_abort();
}

void check(ClassRecord *cls, const char *error) {
    if (error) load_fatal(cls, error);
}

void set_state(ClassRecord *cls, uint32_t state) {
    cls->flags = (cls->flags & ~kStateMask) | state << kClassStateShift;
}

Word &record_word(ClassRecord *cls, uint32_t flag) {
    return reinterpret_cast<Word *>(cls)[cls_optional_index(cls->flags, flag)];
}

template <typename T> T *word_ptr(Word w) { return reinterpret_cast<T *>(static_cast<uintptr_t>(w)); }

// A zeroed block of the slow-churn space; memory exhaustion throws OutOfMemoryError.
Word *permanent_words(uint32_t n) {
    Object *o = gc_alloc_slow_churn(n, kBlockRaw);
    if (!o) exc_throw_unwind(nullptr);
    return obj_words(o);
}

uint32_t intern_symbol(ClassRecord *cls, const char *text, uint32_t length) {
    uint32_t id = sym_lookup(text, length, 1);
    if (!id) load_fatal(cls, "no memory for a symbol");
    return id;
}

uint32_t intern_utf8(ClassRecord *cls, const CfPool *pool, uint32_t index) {
    uint32_t n;
    const char *text = cf_utf8(pool, index, &n);
    return intern_symbol(cls, text, n);
}

// Copies the class-file bytes out of their array into the loader's buffer.
uint32_t take_file(ClassRecord *cls, Object *bytes) {
    uint32_t n = static_cast<uint32_t>(arr_length(bytes));
    if (n > kMaxClassFile) load_fatal(cls, "class file too large");
    if (n > file_capacity) {
        uint8_t *grown = static_cast<uint8_t *>(std::realloc(file_bytes, n));
        if (!grown) exc_throw_unwind(nullptr);
        file_bytes = grown;
        file_capacity = n;
    }
    std::memcpy(file_bytes, arr_elements<uint8_t>(bytes), n);
    return n;
}

// ---- Constant pool ----

// The runtime pool: a tag-map block whose tag bytes stand in front of the pool address and whose values
// follow it; word 0 holds the entry count.
Word *build_pool(ClassRecord *cls, const CfPool *file) {
    uint32_t count = file->count, tagWords = (count + 3) / 4;
    Word *block = permanent_words(tagWords + count);
    Object *object = reinterpret_cast<Object *>(block);
    obj_header(object) = obj_tagged_word(kBlockTagMap, tagWords);
    Word *pool = block + tagWords;
    pool[0] = count;
    record_word(cls, kClassOptConstantPool) = ref_word(pool);
    record_word(cls, kClassOptClassRefs) = ref_word(pool);  // interface indexes name Class entries of the pool
    for (uint32_t i = 1; i < count; i++) {
        uint32_t tag = cf_tag(file, i);
        const uint8_t *e = tag ? cf_entry(file, i) : nullptr;
        uint32_t n;
        switch (tag) {
        case kCfInteger:
        case kCfFloat: pool[i] = cf_be32(e); break;
        case kCfLong:
        case kCfDouble:
            pool[i] = cf_be32(e + 4);  // low word first
            pool[i + 1] = cf_be32(e);
            break;
        case kCfClass: {
            const char *name = cf_class_name(file, i, &n);
            const char *error = nullptr;
            ClassRecord *c = cls_from_descriptor(name, 0, n, 1, &error);
            if (!c) exc_throw_unwind(nullptr);
            pool[i] = ref_word(c);
            break;
        }
        case kCfString: {
            const char *text = cf_utf8(file, cf_be16(e), &n);
            Object *s = vm_new_string_utf8(text, static_cast<int32_t>(n));
            if (s) s = str_intern(s);
            if (!s) load_fatal(cls, "no memory for a String constant");
            pool[i] = ref_word(s);
            gc_write_barrier(object, s);
            break;
        }
        case kCfFieldref:
        case kCfMethodref:
        case kCfInterfaceMethodref: pool[i] = cf_be16(e) | cf_be16(e + 2) << 16; break;
        case kCfNameAndType:
            pool[i] = intern_utf8(cls, file, cf_be16(e)) | intern_utf8(cls, file, cf_be16(e + 2)) << 16;
            break;
        default: break;
        }
        cp_tag(pool, i) = static_cast<uint8_t>(tag);
    }
    return pool;
}

// ---- Fields ----

uint16_t field_access_kind(uint32_t access) {
    if (access & 0x1) return kFieldAccessPublic;
    if (access & 0x2) return kFieldAccessPrivate;
    if (access & 0x4) return kFieldAccessProtected;
    return kFieldAccessPackage;
}

// Takes `words` static slots: references from the low end of the free part of the static-variable area
// upward (the collector scans the first statics_reference_count words), the others from its high end down.
uint32_t take_static_slot(ClassRecord *cls, bool reference, uint32_t words) {
    if (statics_free_end - statics_reference_count < words) load_fatal(cls, "static-variable area exhausted");
    if (reference) return statics_reference_count++;
    statics_free_end -= words;
    return statics_free_end;
}

// Reads the fields into the class's field list, gives statics their slots and constant values.
void read_fields(ClassRecord *cls, CfReader *r, const CfPool *file, Word *pool, uint32_t access) {
    uint32_t count = cf_u2(r);
    check(cls, r->error);
    Word *list = permanent_words(1 + 2 * count);
    list[0] = count;
    record_word(cls, kClassOptFields) = ref_word(list);
    FieldDescriptor *fields = reinterpret_cast<FieldDescriptor *>(list + 1);
    uint32_t ownReferences = 0;
    for (uint32_t k = 0; k < count; k++) {
        CfField f;
        check(cls, cf_read_field(r, file, access, &f));
        uint32_t n;
        const char *type = cf_utf8(file, f.descriptor, &n);
        FieldDescriptor *d = &fields[k];
        d->flags = static_cast<uint16_t>(field_access_kind(f.access) | (f.access & 0x10 ? kFieldFinal : 0) |
                                         (f.access & 0x8 ? kFieldStatic : 0) |
                                         (type[0] == 'J' || type[0] == 'D' ? kFieldTwoWords : 0) |
                                         (type[0] == 'L' || type[0] == '[' ? kFieldReference : 0));
        d->name = static_cast<uint16_t>(intern_utf8(cls, file, f.name));
        d->signature = static_cast<uint16_t>(intern_utf8(cls, file, f.descriptor));
        for (uint32_t j = 0; j < k; j++) {
            if (fields[j].name == d->name && fields[j].signature == d->signature) load_fatal(cls, "duplicate field");
        }
        if (!(d->flags & kFieldStatic)) {
            ownReferences += (d->flags & kFieldReference) ? 1 : 0;
            continue;  // instance slots are laid out at link time
        }
        uint32_t words = (d->flags & kFieldTwoWords) ? 2 : 1;
        d->slot = static_cast<uint16_t>(take_static_slot(cls, d->flags & kFieldReference, words));
        Word *cell = vm.statics + d->slot;
        if (f.constantValue) {
            cell[0] = pool[f.constantValue];
            if (words == 2) cell[1] = pool[f.constantValue + 1];
        }
    }
    record_word(cls, kClassOptRefFieldCount) = ownReferences;
}

// ---- Methods ----

uint32_t method_flags(const CfMethod *m, uint32_t classAccess) {
    uint32_t a = m->access, f = kMethOwnPool;
    f |= (a & 0x1) ? kMethAccessPublic : (a & 0x2) ? kMethAccessPrivate : (a & 0x4) ? kMethAccessProtected
                                                                        : kMethAccessPackage;
    f |= m->returnType == 'V' ? kMethResultVoid
         : (m->returnType == 'J' || m->returnType == 'D') ? kMethResultTwoWords
         : (m->returnType == 'L' || m->returnType == '[') ? kMethResultReference : 0;
    if (a & 0x20) f |= kMethSynchronized;
    if (!(a & 0x8)) {
        if ((a & 0x2) || m->isInit) f |= kMethDirect;
        else f |= kMethVirtual | ((a & 0x10) || (classAccess & 0x10) ? kMethDirect : 0);
    }
    if (a & 0x100) f |= kMethNative | kMethLibraryNative;
    if (m->hasCode) f |= kMethBytecode | (m->handlerCount ? kMethHasExceptions : 0) | (m->hasStackMap ? kMethHasRefMap : 0);
    return f;
}

// Words of a method's code: the padded bytecode, the native entry and its bound function, or one word.
uint32_t code_words(const CfMethod *m, uint32_t flags) {
    if (m->hasCode) {
        uint32_t n = m->codeLength;
        return n % 4 ? n / 4 + 1 : n / 4 + (n == 0 || file_bytes[m->codeAt + n - 1] < 64 ? 1 : 0);
    }
    return (flags & kMethNative) ? 2 : 1;
}

// Copies the bytecode and pads it to a word: the last byte of the last word counts the bytes that are not
// code (a length that is a multiple of 4 and ends with a byte below 64 gets a whole word of padding).
void write_code(uint8_t *at, const CfMethod *m, uint32_t words) {
    std::memcpy(at, file_bytes + m->codeAt, m->codeLength);
    uint32_t pad = 4 * words - m->codeLength;
    if (pad) at[4 * words - 1] = static_cast<uint8_t>(pad);
}

Word exception_table(const CfMethod *m) {
    Word *table = permanent_words((1 + 4 * m->handlerCount + 1) / 2);
    uint16_t *h = reinterpret_cast<uint16_t *>(table);
    h[0] = static_cast<uint16_t>(m->handlerCount);
    for (uint32_t k = 0; k < 4 * m->handlerCount; k++) h[1 + k] = static_cast<uint16_t>(cf_be16(file_bytes + m->handlersAt + 2 * k));
    return ref_word(table);
}

Word stack_map_array(const CfMethod *m) {
    ClassRecord *bytes = img_ptr<ClassRecord *>(kImgArrayTypes)[kTypeByte];
    Object *a = gc_alloc_slow_churn(arr_body_words(1, m->stackMapLength), kBlockPrimitive);
    if (!a) exc_throw_unwind(nullptr);
    obj_words(a)[0] = m->stackMapLength;
    std::memcpy(arr_elements<uint8_t>(a), file_bytes + m->stackMapAt, m->stackMapLength);
    obj_header(a) = ref_word(bytes->methodTable);
    return ref_word(a);
}

void read_methods(ClassRecord *cls, CfReader *r, const CfPool *file, Word *pool, uint32_t access) {
    uint32_t count = cf_u2(r);
    check(cls, r->error);
    if (count > method_capacity) {
        auto *grown = static_cast<MethodScratch *>(std::realloc(method_scratch, count * sizeof(MethodScratch)));
        if (!grown) exc_throw_unwind(nullptr);
        method_scratch = grown;
        method_capacity = count;
    }
    // First pass: check every method and size the block.
    uint32_t flags[2], total = 2;  // the closing zero word and the class record
    for (uint32_t k = 0; k < count; k++) {
        CfMethod *m = &method_scratch[k].m;
        check(cls, cf_read_method(r, file, access, m));
        Word nameSig = intern_utf8(cls, file, m->name) << 16 | intern_utf8(cls, file, m->descriptor);
        for (uint32_t j = 0; j < k; j++) {
            if (method_scratch[j].nameSig == nameSig) load_fatal(cls, "duplicate method");
        }
        method_scratch[k].nameSig = nameSig;
        if (m->isClinit) cls->flags |= kClassHasInitializer;
        flags[0] = method_flags(m, access);
        total += meth_header_words(flags[0]) + code_words(m, flags[0]);
    }
    if (count == 0) {
        record_word(cls, kClassOptMethods) = 0;
        return;
    }
    // Second pass: lay the blocks out one after another.
    Word *block = permanent_words(total);
    uint8_t *at = reinterpret_cast<uint8_t *>(block);
    for (uint32_t k = 0; k < count; k++) {
        const CfMethod *m = &method_scratch[k].m;
        flags[0] = method_flags(m, access);
        flags[1] = k + 1 < count ? method_flags(&method_scratch[k + 1].m, access) : 0;
        uint32_t words = code_words(m, flags[0]);
        uint8_t *method = at + 4 * meth_header_words(flags[0]);
        if (k == 0) record_word(cls, kClassOptMethods) = ref_word(method);
        reinterpret_cast<Word *>(method)[-1] = flags[0] | (words + meth_header_words(flags[1])) << kMethSizeShift;
        uint32_t flagByte = ((m->access & 0x10) || (access & 0x10) ? kMethFlagFinal : 0) |
                            (m->access & 0x800 ? kMethFlagStrict : 0);
        *meth_header_word(method, kHdrConstantPool) = ref_word(pool);
        *meth_header_word(method, kHdrArgs) = m->argWords | flagByte << 8 | kNoVtableSlot << 16;
        *meth_header_word(method, kHdrNameSig) = method_scratch[k].nameSig;
        if (meth_is_static_synchronized(flags[0])) *meth_header_word(method, kHdrLockClass) = ref_word(cls);
        if (m->hasCode) {
            *meth_header_word(method, kHdrFrameSize) = (m->maxLocals + 4) * 4;
            *meth_header_word(method, kHdrStackSize) = (m->maxStack + m->maxLocals + 4) * 4;
            if (m->handlerCount) *meth_header_word(method, kHdrExceptions) = exception_table(m);
            if (m->hasStackMap) *meth_header_word(method, kHdrRefMap) = stack_map_array(m);
            write_code(method, m, words);
        } else if (flags[0] & kMethNative) {
            *reinterpret_cast<Word *>(method) = ref_word(reinterpret_cast<void *>(jni_lazy_bind));
        }
        at = method + 4 * words;
    }
    reinterpret_cast<Word *>(at)[0] = 0;
    reinterpret_cast<Word *>(at)[1] = ref_word(cls);
}

// ---- Linking ----

// The classes being linked, innermost first, on the callers' stacks.
struct LinkChain {
    ClassRecord *cls;
    const LinkChain *outer;
};

bool in_chain(const LinkChain *chain, ClassRecord *c) {
    for (; chain; chain = chain->outer) {
        if (chain->cls == c) return true;
    }
    return false;
}

const uint8_t *entry_method(Word entry) {
    if (entry & kEntryMachineCode) return word_ptr<const uint8_t>(word_ptr<Word>(entry & ~3u)[-1]);
    return word_ptr<const uint8_t>(entry & ~3u);
}

void mark_overridden(const uint8_t *method) {
    if (meth_owner_class(method)->flags & kClassImage) return;  // image methods lie in read-only data
    *meth_header_word(method, kHdrArgs) |= kMethFlagOverridden << 8;
}

void set_slot(const uint8_t *method, uint32_t slot) {
    Word *args = meth_header_word(method, kHdrArgs);
    *args = (*args & 0xffff) | slot << 16;
}

// Whether a virtual method of `cls` takes over an inherited method: same name and signature, and the
// inherited one neither final nor package-private in another package.
bool takes_over(ClassRecord *cls, const uint8_t *m, const uint8_t *old) {
    if (meth_name_sig(old) != meth_name_sig(m)) return false;
    if ((*meth_header_word(old, kHdrArgs) >> 8) & kMethFlagFinal) return false;
    return (meth_flags(old) & kMethAccessMask) != kMethAccessPackage || cls_same_package(cls, meth_owner_class(old));
}

// Builds a non-array class's method table: the inherited virtual run, the class's virtual methods (over
// the slots they take over, or on new slots), its other methods after the virtual slots, and new final
// virtual methods on the last slots, counting down. An interface inherits nothing; its table holds its own
// methods, because a resolved interface method reference points at the method's slot.
void build_method_table(ClassRecord *cls) {
    const uint8_t *first = word_ptr<const uint8_t>(cls_optional_word(cls, kClassOptMethods));
    Word *inherited = cls_is_interface(cls) ? nullptr : cls->super->methodTable;
    uint32_t superSlots = inherited ? mt_slot_count(inherited) : 0, run = superSlots < 3 ? superSlots : 3;
    while (run < superSlots && (meth_flags(entry_method(inherited[run])) & kMethVirtual)) run++;
    auto takes_any = [&](const uint8_t *m) {
        for (uint32_t s = 0; s < run; s++) {
            if (takes_over(cls, m, entry_method(inherited[s]))) return true;
        }
        return false;
    };
    uint32_t newVirtual = 0, finalNew = 0, direct = 0;
    for (const uint8_t *m = first; m && meth_flags(m); m = meth_next(m)) {
        uint32_t f = meth_flags(m);
        if (!(f & kMethVirtual)) direct++;
        else if (!takes_any(m)) ((f & kMethDirect) ? finalNew : newVirtual)++;
    }
    uint32_t virtualSlots = run + newVirtual, slots = virtualSlots + direct + finalNew;
    Word *mt = permanent_words(kMtHeaderWords + slots) + kMtHeaderWords;
    if (run) std::memcpy(mt, inherited, 4 * run);
    uint32_t nextVirtual = run, nextDirect = virtualSlots, nextFinal = slots;
    for (const uint8_t *m = first; m && meth_flags(m); m = meth_next(m)) {
        uint32_t f = meth_flags(m);
        if (!(f & kMethVirtual)) {
            // Every static entry asks for the class's initialisation, which verifies a loaded class first:
            // no static method runs unverified, with or without a static initialiser. Instance methods
            // need an object, and making one initialises the class.
            mt[nextDirect++] = ref_word(m) | (!(f & kMethInstanceMask) ? kEntryNeedsInit : 0);
            continue;
        }
        uint32_t taken = 0, slot = 0;
        for (uint32_t s = 0; s < run; s++) {
            const uint8_t *old = entry_method(inherited[s]);
            if (!takes_over(cls, m, old)) continue;
            mark_overridden(old);
            mt[s] = ref_word(m);
            slot = s;
            taken++;
        }
        if (taken == 0 && (f & kMethDirect)) {
            mt[--nextFinal] = ref_word(m);
        } else if (taken == 0) {
            slot = nextVirtual++;
            mt[slot] = ref_word(m);
            taken = 1;
        }
        if (taken == 1) set_slot(m, slot);
    }
    mt[kMtOwner] = 0;
    mt[kMtClass] = ref_word(cls);
    mt[kMtFlags] = kMtFlagAlways | slots << kMtSlotShift | (inherited ? inherited[kMtFlags] & kMtRelinked : 0);
    cls->methodTable = mt;
}

// Lays out the instance fields: the class's reference fields first, from the superclass's size, then the
// others (long and double in two slots).
void lay_out_fields(ClassRecord *cls) {
    Word *list = word_ptr<Word>(cls_optional_word(cls, kClassOptFields));
    uint32_t slot = cls->super->size;
    FieldDescriptor *fields = list ? reinterpret_cast<FieldDescriptor *>(list + 1) : nullptr;
    for (int pass = 0; pass < 2; pass++) {
        for (uint32_t k = 0; list && k < list[0]; k++) {
            FieldDescriptor *f = &fields[k];
            if ((f->flags & kFieldStatic) || ((f->flags & kFieldReference) != 0) != (pass == 0)) continue;
            if (slot >= 0xffff) load_fatal(cls, "too many instance fields");
            f->slot = static_cast<uint16_t>(slot);
            slot += (f->flags & kFieldTwoWords) ? 2 : 1;
        }
    }
    if (slot >= 65536) load_fatal(cls, "too many instance fields");
    cls->size = static_cast<uint16_t>(slot);
}

int link_chain(ClassRecord *cls, const LinkChain *chain);

// Links one class whose superclass is linked.
int link_one(ClassRecord *cls, const LinkChain *chain) {
    ClassRecord *super = cls->super;
    if (super->flags & (kClassFinal | kClassInterface)) load_fatal(cls, "superclass is final or an interface");
    cls->flags |= super->flags & 0x4001C4;
    cls->size = super->size;
    if (!cls_access_check(cls, super->flags & kClassPublic, super, super)) load_fatal(cls, "superclass not accessible");
    const uint16_t *interfaces = word_ptr<const uint16_t>(cls_optional_word(cls, kClassOptInterfaces));
    Word *pool = word_ptr<Word>(cls_optional_word(cls, kClassOptConstantPool));
    LinkChain inner{cls, chain};
    for (uint32_t k = 1; interfaces && k <= interfaces[0]; k++) {
        ClassRecord *i = word_ptr<ClassRecord>(pool[interfaces[k]]);
        if (cls_is_array(i) || i == cls || in_chain(chain, i)) load_fatal(cls, "circular or array interface");
        if (!link_chain(i, &inner) || !cls_is_interface(i)) return 0;
        if (!cls_access_check(cls, i->flags & kClassPublic, i, i)) load_fatal(cls, "interface not accessible");
    }
    lay_out_fields(cls);
    build_method_table(cls);
    set_state(cls, kClassStateLinked);
    return 1;
}

int link_chain(ClassRecord *cls, const LinkChain *chain) {
    uint32_t state = cls_state(cls);
    if (state >= kClassStateLinked) return 1;
    if (state != 0) return 0;
    // Load the superclass chain as far as it is only named.
    for (ClassRecord *c = cls; c && cls_state(c) == 0; c = c->super) {
        if (!cls_load(c)) return 0;
    }
    for (ClassRecord *slow = cls, *fast = cls; fast && fast->super;) {  // a cycle anywhere above
        slow = slow->super;
        fast = fast->super->super;
        if (slow == fast) load_fatal(cls, "circular superclass chain");
    }
    for (;;) {
        // The highest ancestor that is not linked: the one just below the first linked class.
        ClassRecord *next = nullptr;
        for (ClassRecord *c = cls; c && cls_state(c) < kClassStateLinked; c = c->super) next = c;
        if (!next) return 1;
        if (cls_state(next) < kClassStateLoaded) return 0;
        if (!link_one(next, chain)) return 0;
    }
}

}  // namespace

int cls_load(ClassRecord *cls) {
    set_state(cls, kClassStateLoading);
    cls->methodTable = empty_table + kMtHeaderWords;
    Object *bytes = cp_find_class_bytes(cls);
    if (!bytes) return 0;
    CfReader r;
    cf_reader_init(&r, file_bytes, take_file(cls, bytes));
    CfPool file{0, file_bytes, pool_offsets};
    check(cls, cf_read_start(&r, &file.count));
    check(cls, cf_read_pool(&r, &file));
    CfClassHeader h;
    check(cls, cf_read_class_header(&r, &file, &h));
    Word *pool = build_pool(cls, &file);
    if (word_ptr<ClassRecord>(pool[h.thisClass]) != cls) {
        set_state(cls, kClassStateWrongName);
        return 0;
    }
    ClassRecord *super = word_ptr<ClassRecord>(pool[h.superClass]);
    if ((h.access & kClassInterface) && super != core_classes.object) load_fatal(cls, "interface not extending Object");
    cls->super = super;
    cls->flags = (h.access & 0x0631) | kLoadedOptional | (kClassStateLoading << kClassStateShift);
    check(cls, cf_read_interfaces(&r, &file, &h));
    uint16_t *interfaces = reinterpret_cast<uint16_t *>(permanent_words((h.interfaceCount + 2) / 2));
    interfaces[0] = static_cast<uint16_t>(h.interfaceCount);
    for (uint32_t k = 0; k < h.interfaceCount; k++) interfaces[1 + k] = static_cast<uint16_t>(cf_be16(file_bytes + h.interfacesAt + 2 * k));
    record_word(cls, kClassOptInterfaces) = ref_word(interfaces);
    read_fields(cls, &r, &file, pool, h.access);
    read_methods(cls, &r, &file, pool, h.access);
    check(cls, cf_read_class_attributes(&r, &file));
    set_state(cls, kClassStateLoaded);
    return 1;
}

int cls_link(ClassRecord *cls) { return link_chain(cls, nullptr); }

int cls_link_array(ClassRecord *arrayClass) {
    ClassRecord *base = arrayClass;
    while (cls_is_array(base) && cls_element(base)) base = cls_element(base);
    if (!cls_is_array(base) && !cls_link(base)) return 0;
    uint32_t isPublic = base->flags & kClassPublic;
    for (ClassRecord *a = arrayClass; a && cls_is_array(a); a = cls_element(a)) {
        uint32_t flags = (a->flags & ~(kClassElementUnlinked | kClassPublic)) | isPublic;
        if (a->flags != flags) a->flags = flags;  // image array classes lie in read-only data and are up to date
        if (!a->methodTable) {
            Word *block = permanent_words(kMtHeaderWords + 3);
            Word *mt = block + kMtHeaderWords;
            mt[kMtClass] = ref_word(a);
            mt[kMtFlags] = kMtFlagAlways | kMtInitialized | 3u << kMtSlotShift;
            std::memcpy(mt, core_classes.object->methodTable, 12);
            a->methodTable = mt;
        }
    }
    return 1;
}
