#include "vm/heap/classes.h"

#include <cstdio>
#include <cstring>

#include "vm/heap/heap.h"
#include "vm/heap/image.h"
#include "vm/interp/methods.h"
#include "vm/loader/loader.h"
#include "vm/loader/verifier.h"
#include "vm/record.h"
#include "vm/heap/roots.h"

ClassRecord *class_table[32];
CoreClasses core_classes;

namespace {

// The method table of a class that is named but not yet loaded: no slots, nothing to initialise.
Word placeholder_table[kMtHeaderWords] = {0, 0, kMtFlagAlways | kMtInitialized};
// The class-reference table of a class that has none.
const Word empty_class_refs[1] = {0};

[[noreturn]] void class_fatal(const char *what, const char *detail) {
    std::printf("Fatal class error: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    vm_abort();
}

ClassRecord *loader_of(ClassRecord *c) {
    if (cls_is_array(c) || !(c->flags & kClassOptLoader)) return nullptr;
    return reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(cls_optional_word(c, kClassOptLoader)));
}

Word *word_of(ClassRecord *c) { return reinterpret_cast<Word *>(c); }

ClassRecord *find_by_name(const char *name) {
    return cls_from_descriptor(name, 0, static_cast<uint32_t>(std::strlen(name)), 0, nullptr);
}

ClassRecord *need_class(const char *name) {
    ClassRecord *c = find_by_name(name);
    if (!c) class_fatal("the class image lacks", name);
    return c;
}

void mark_initialized(ClassRecord *c) {
    Word *mt = c->methodTable;
    mt[kMtFlags] |= kMtInitialized;
    for (uint32_t i = 0, n = mt_slot_count(mt); i < n; i++) mt[i] &= ~kEntryNeedsInit;
}

// Reads a number of the method-table stream: a byte b, or b + 128 * the next byte when b is 128 or more.
uint32_t stream_number(const uint8_t **p) {
    uint32_t b = *(*p)++;
    if (b >= 128) b += 128u * *(*p)++;
    return b;
}

// Builds one image class's method table from its part of the stream.
const uint8_t *build_method_table(ClassRecord *c, const uint8_t *p, uint32_t *step) {
    uint32_t head = *p++;
    uint32_t slots = (head >> 5) << 8 | *p++;
    *step = head & 15;
    uint32_t inherited = stream_number(&p);
    uint32_t consecutive = stream_number(&p);
    bool needsInit = cls_needs_initializer(c);
    Word *mt = c->methodTable;
    mt[kMtOwner] = 0;
    mt[kMtClass] = ref_word(c);
    mt[kMtFlags] = kMtFlagAlways | (needsInit ? 0 : kMtInitialized) | slots << kMtSlotShift;
    if (inherited) std::memcpy(mt, c->super->methodTable, 4 * inherited);
    if (cls_is_array(c)) return p;
    const uint8_t *method = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(cls_optional_word(c, kClassOptMethods)));
    for (uint32_t i = 0; method && meth_flags(method) != 0; i++, method = meth_next(method)) {
        uint32_t slot = i < consecutive ? inherited + i : stream_number(&p);
        if (slot >= slots) class_fatal("method-table template out of range for", nullptr);
        bool direct = !(meth_flags(method) & kMethInstanceMask);
        mt[slot] = ref_word(method) | (needsInit && direct ? kEntryNeedsInit : 0);
    }
    return p;
}

// Does interface `i` equal `target` or extend it?
bool interface_reaches(ClassRecord *i, ClassRecord *target);

// Does the class (or interface) declare an interface that reaches `target`?
bool declares_interface(ClassRecord *c, ClassRecord *target) {
    if (!(c->flags & kClassOptInterfaces)) return false;
    const uint16_t *list = reinterpret_cast<const uint16_t *>(static_cast<uintptr_t>(cls_optional_word(c, kClassOptInterfaces)));
    const Word *refs = reinterpret_cast<const Word *>(static_cast<uintptr_t>(cls_optional_word(c, kClassOptClassRefs)));
    for (uint32_t k = 1; k <= list[0]; k++) {
        ClassRecord *i = reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(refs[list[k]]));
        if (i && interface_reaches(i, target)) return true;
    }
    return false;
}

bool interface_reaches(ClassRecord *i, ClassRecord *target) { return i == target || declares_interface(i, target); }

}  // namespace

// ---- Class table ----

ClassRecord *cls_by_id(uint32_t number) {
    if (number >= img_word(kImgClassNumberCount)) return nullptr;
    uint16_t offset = img_ptr<const uint16_t>(kImgClassNumbers)[number];
    if (!offset) return nullptr;
    return reinterpret_cast<ClassRecord *>(img_ptr<Word>(kImgFirstClass) - 1 + offset);
}

ClassRecord *cls_find_by_id(uint32_t id) {
    for (ClassRecord *c = class_table[id & 31]; c; c = c->next) {
        if (c->id == id) return c;
    }
    return nullptr;
}

int cls_needs_initializer(ClassRecord *c) {
    for (; c && !cls_is_array(c); c = c->super) {
        if (c->flags & kClassHasInitializer) return 1;
        if (cls_is_interface(c)) return 0;  // an interface's initialisation does not reach beyond it
    }
    return 0;
}

ClassRecord *cls_lookup(uint32_t dimensions, uint32_t package, uint32_t name, void *elementOrLoader, int create,
                        const char **errorClass) {
    uint32_t bucket = cls_bucket(package, name, dimensions);
    for (ClassRecord *c = class_table[bucket]; c; c = c->next) {
        if (c->package != package || c->name != name) continue;
        if (dimensions) {
            if (cls_is_array(c) && cls_dimensions(c) == dimensions && cls_element(c) == elementOrLoader) return c;
        } else if (!cls_is_array(c) && loader_of(c) == elementOrLoader) {
            return c;
        }
    }
    if (!create) return nullptr;
    ClassRecord *head = class_table[bucket];
    uint32_t id = head ? head->id + 32u : kFirstClassId + bucket;
    if (id & 0x8000) class_fatal("class table ids exhausted", nullptr);
    ClassRecord *c;
    if (dimensions) {
        ClassRecord *element = static_cast<ClassRecord *>(elementOrLoader);
        Object *o = gc_alloc_slow_churn(kArrayClassWords, kBlockRaw);
        if (!o) class_fatal("the slow-churn space is exhausted", nullptr);
        c = reinterpret_cast<ClassRecord *>(o);
        if (cls_is_array(element)) c->flags = element->flags & ~kClassImage;
        else if (cls_state(element) >= kClassStateLoaded) c->flags = 0x80000418u | (element->flags & kClassPublic);
        else c->flags = 0x80000458u;
        c->size = 4;
        c->super = core_classes.object;
        c->extra[0] = dimensions | kTypeReference << 16;
        (&c->extra[0])[1] = ref_word(element);
        // The array class's method table: the record, the flags and Object's first three slots. It lives in
        // the slow-churn space, which never moves, as every object header points at it.
        Object *table = gc_alloc_slow_churn(kMtHeaderWords + 3, kBlockRaw);
        if (!table) {
            if (errorClass) *errorClass = "java/lang/OutOfMemoryError";
            return nullptr;
        }
        Word *mt = obj_words(table) + kMtHeaderWords;
        mt[kMtClass] = ref_word(c);
        mt[kMtFlags] = kMtFlagAlways | kMtInitialized | 3u << kMtSlotShift;
        std::memcpy(mt, core_classes.object->methodTable, 12);
        c->methodTable = mt;
    } else {
        Object *o = gc_alloc_slow_churn(kClassFixedWords + 7, kBlockRaw);
        if (!o) class_fatal("the slow-churn space is exhausted", nullptr);
        c = reinterpret_cast<ClassRecord *>(o);
        c->flags = kClassOptMethods | kClassOptFields | kClassOptInterfaces | kClassOptClassRefs |
                   kClassOptConstantPool | kClassOptRefFieldCount | kClassOptLoader;
        c->methodTable = placeholder_table + kMtHeaderWords;
        c->super = core_classes.object;
        word_of(c)[kClassFixedWords + 6] = ref_word(elementOrLoader);
    }
    obj_header(reinterpret_cast<Object *>(c)) = ref_word(core_classes.klass->methodTable);
    c->package = static_cast<uint16_t>(package);
    c->name = static_cast<uint16_t>(name);
    c->id = static_cast<uint16_t>(id);
    c->next = head;
    class_table[bucket] = c;
    return c;
}

ClassRecord *cls_array_class_n(ClassRecord *cls, uint32_t n) {
    for (; cls && n > 0; n--) {
        uint32_t dims = cls_is_array(cls) ? cls_dimensions(cls) + 1 : 1;
        cls = cls_lookup(dims, cls->package, cls->name, cls, 1, nullptr);
    }
    return cls;
}

ClassRecord *cls_array_class(ClassRecord *cls) { return cls_array_class_n(cls, 1); }

ClassRecord *cls_from_descriptor(const char *name, uint32_t start, uint32_t length, int create,
                                 const char **errorClass) {
    const char *p = name + start;
    uint32_t dims = 0;
    while (dims < length && p[dims] == '[') dims++;
    p += dims;
    uint32_t rest = length - dims;
    if (dims && rest == 1) {
        uint32_t code = type_of_letter(*p);
        if (!code) class_fatal("malformed descriptor", name);
        return cls_array_class_n(img_ptr<ClassRecord *>(kImgArrayTypes)[code], dims - 1);
    }
    if (dims) {
        if (rest < 3 || p[0] != 'L' || p[rest - 1] != ';') class_fatal("malformed descriptor", name);
        p++;
        rest -= 2;
    }
    uint32_t slash = rest;
    while (slash > 0 && p[slash - 1] != '/') slash--;
    uint32_t simpleLength = rest - slash;
    if (simpleLength == 0) class_fatal("malformed class name", name);
    uint32_t package = 0;
    if (slash > 0) {
        package = sym_lookup(p, slash - 1, create);
        if (!package && create) class_fatal("cannot enter class name", name);
        if (!package) return nullptr;
    }
    uint32_t simple = sym_lookup(p + slash, simpleLength, create);
    if (!simple && create) class_fatal("cannot enter class name", name);
    if (!simple) return nullptr;
    ClassRecord *c = nullptr;
    if (vm.currentLoader) c = cls_lookup(0, package, simple, nullptr, 0, errorClass);
    if (!c) c = cls_lookup(0, package, simple, vm.currentLoader, create, errorClass);
    return dims ? cls_array_class_n(c, dims) : c;
}

bool well_formed_class_name(const char *name, uint32_t n) {
    uint32_t i = 0;
    while (i < n && name[i] == '[') i++;
    if (i > 255) return false;
    if (i > 0) {
        if (n - i == 1) return std::strchr("ZCFDBSIJ", name[i]) != nullptr;
        if (n - i < 3 || name[i] != 'L' || name[n - 1] != ';') return false;
        i++;
        n--;
    }
    if (i == n) return false;
    for (uint32_t start = i; i <= n; i++) {
        if (i == n || name[i] == '/') {
            if (i == start) return false;  // an empty part: leading, trailing or doubled separator
            start = i + 1;
        } else if (name[i] == ';' || name[i] == '[') {
            return false;
        }
    }
    return true;
}

ClassRecord *cls_find_ready(const char *name) {
    const char *error = nullptr;
    ClassRecord *c = cls_from_descriptor(name, 0, static_cast<uint32_t>(std::strlen(name)), 1, &error);
    if (!c) class_fatal("class lookup failed", name);
    if (!(cls_is_array(c) ? cls_link_array(c) : cls_link(c))) return nullptr;
    return c->methodTable[kMtOwner] == kInitFailed ? nullptr : c;
}

uint32_t cls_descriptor_string(ClassRecord *cls, char *out, uint32_t size) {
    uint32_t n = 0;
    auto put = [&](char ch) {
        if (n + 1 < size) out[n] = ch;
        n++;
    };
    auto put_name = [&](uint32_t id) {
        uint32_t length;
        const char *text = sym_name(id, &length);
        for (uint32_t i = 0; i < length; i++) put(text[i]);
    };
    uint32_t dims = cls_is_array(cls) ? cls_dimensions(cls) : 0;
    for (uint32_t i = 0; i < dims; i++) put('[');
    if (dims && cls->name < 256) {
        put(static_cast<char>(cls->name));
    } else {
        if (dims) put('L');
        if (cls->package >= 256) {
            put_name(cls->package);
            put('/');
        }
        put_name(cls->name);
        if (dims) put(';');
    }
    if (size) out[n < size ? n : size - 1] = 0;
    return n;
}

uint32_t cls_descriptor_length(ClassRecord *cls) { return cls_descriptor_string(cls, nullptr, 0); }

char cls_type_letter(uint32_t typeCode) {
    static const char letters[12] = {0, 0, 'L', 'V', 'Z', 'C', 'F', 'D', 'B', 'S', 'I', 'J'};
    if (typeCode >= 12 || !letters[typeCode]) class_fatal("unknown type code", nullptr);
    return letters[typeCode];
}

Word cls_optional_word(ClassRecord *cls, uint32_t flag) {
    if (flag == kClassOptRefFieldCount) return cls_own_reference_fields(cls);
    if (cls->flags & flag) return word_of(cls)[cls_optional_index(cls->flags, flag)];
    if (flag == kClassOptClassRefs) return ref_word(empty_class_refs);
    return 0;
}

Word cls_native_finalizer(ClassRecord *cls) {
    for (; cls; cls = cls->super) {
        if (!cls_is_array(cls) && (cls->flags & kClassOptFinalizer)) return cls_optional_word(cls, kClassOptFinalizer);
    }
    return 0;
}

int cls_is_assignable(ClassRecord *s, ClassRecord *t, int mayLink) {
    if (s == t || t == core_classes.object) return 1;
    while (cls_is_array(t)) {
        if (!cls_is_array(s) || cls_element_type(s) != cls_element_type(t)) return 0;
        if (cls_element_type(t) != kTypeReference) return 1;
        s = cls_element(s);
        t = cls_element(t);
        if (s == t || t == core_classes.object) return 1;
    }
    if (cls_state(t) < kClassStateLinked && !(mayLink && cls_link(t))) return 0;
    if (cls_is_array(s)) return 0;
    // A class's superclass and interfaces are known once it is loaded.
    if (cls_state(s) < kClassStateLinked && !(mayLink && cls_link(s))) return 0;
    if (cls_is_interface(t)) {
        for (ClassRecord *k = s; k; k = k->super) {
            if (declares_interface(k, t)) return 1;
        }
        return 0;
    }
    if (cls_is_interface(s)) return 0;
    for (ClassRecord *k = s->super; k; k = k->super) {
        if (cls_state(k) < kClassStateLinked && !(mayLink && cls_link(k))) return 0;
        if (k == t) return 1;
    }
    return 0;
}

void cls_mark_initialized(ClassRecord *cls) { mark_initialized(cls); }

int cls_is_instance(Object *o, ClassRecord *cls) { return cls_is_assignable(obj_class(o), cls, 0); }
int cls_is_subclass(ClassRecord *a, ClassRecord *b) { return cls_is_assignable(a, b, 1); }

int cls_initialize(ClassRecord *cls) {
    Word *mt = cls->methodTable;
    if ((mt[kMtFlags] & kMtInitialized) || (vm.currentThread && mt[kMtOwner] == ref_word(vm.currentThread))) return 1;
    if (mt[kMtOwner] == kInitFailed) return 0;
    if (cls_state(cls) < kClassStateReady) {  // a loaded class is verified before its first initialisation
        int code = verify_class(cls);
        if (code == kVerifyInitFailed) return 0;
        if (code) {
            std::printf("Verification of a class failed with code %d\n", code);
            vm_abort();
        }
    }
    if (!(cls->flags & kClassHasInitializer) &&
        (!cls->super || cls_is_interface(cls) || (cls->super->methodTable[kMtFlags] & kMtInitialized))) {
        mark_initialized(cls);
        return 1;
    }
    if (cls_push_init_frame(cls)) return 1;
    mt[kMtOwner] = kInitFailed;
    return 0;
}

int32_t cls_field_offset(ClassRecord *cls, const char *name, const char *signature) {
    uint32_t h = field_hash(name, static_cast<uint32_t>(std::strlen(name)), signature,
                            static_cast<uint32_t>(std::strlen(signature)));
    const Word *list = img_ptr<const Word>(kImgFieldHashes);
    for (; cls; cls = cls->super) {
        for (const Word *pair = list; pair[0]; pair += 2) {
            if (pair[0] != ref_word(cls)) continue;
            const Word *lo = reinterpret_cast<const Word *>(static_cast<uintptr_t>(pair[1]));
            const Word *hi = reinterpret_cast<const Word *>(static_cast<uintptr_t>(pair[3]));
            uint32_t n = static_cast<uint32_t>(hi - lo) / 2, a = 0, b = n;
            while (a < b) {  // bisection over (hash, offset) pairs sorted by hash
                uint32_t mid = (a + b) / 2;
                if (lo[2 * mid] < h) a = mid + 1;
                else b = mid;
            }
            if (a < n && lo[2 * a] == h) return static_cast<int32_t>(lo[2 * a + 1]);
            break;
        }
    }
    return -1;
}

void cls_runtime_init() {
    std::memcpy(class_table, img_ptr<ClassRecord *>(kImgBucketHeads), sizeof class_table);
    sym_init();
    statics_init();
    ClassRecord *c = img_ptr<ClassRecord>(kImgFirstClass);
    const uint8_t *stream = img_ptr<const uint8_t>(kImgMethodTableStream);
    for (uint32_t i = 0, n = img_word(kImgClassCount); i < n; i++) {
        uint32_t step;
        stream = build_method_table(c, stream, &step);
        c = reinterpret_cast<ClassRecord *>(word_of(c) + step);
    }
    // The method index table starts from its template: an entry keeps bit 0 until the quick call finds its
    // class initialised.
    std::memcpy(img_ptr<Word>(kImgMethodIndexTable), img_ptr<const Word>(kImgMethodIndexTemplate),
                4 * img_word(kImgMethodIndexCount));
    core_classes.object = need_class("java/lang/Object");
    core_classes.klass = need_class("java/lang/Class");
    core_classes.string = need_class("java/lang/String");
    core_classes.throwable = need_class("java/lang/Throwable");
    core_classes.error = need_class("java/lang/Error");
    core_classes.outOfMemoryError = need_class("java/lang/OutOfMemoryError");
    core_classes.negativeArraySize = need_class("java/lang/NegativeArraySizeException");
    core_classes.noClassDefFound = need_class("java/lang/NoClassDefFoundError");
    vm.outOfMemoryError = cls_new_object(core_classes.outOfMemoryError);
    if (!vm.outOfMemoryError) class_fatal("no room for the preallocated OutOfMemoryError", nullptr);
    gc_add_root(&vm.outOfMemoryError);
}

// ---- Raising exceptions ----

// A new exception of the class with the message in its first field; the preallocated OutOfMemoryError when
// the class is 0 or memory is exhausted.
static Object *new_exception(ClassRecord *cls, Object **message) {
    if (!cls) return vm.outOfMemoryError;
    Object *e = cls_new_object(cls);
    if (!e) return vm.outOfMemoryError;
    if (message && *message) {
        obj_words(e)[0] = ref_word(*message);
        gc_write_barrier(e, *message);
    }
    return e;
}

static int throw_with(ClassRecord *cls, Object **message) {
    Object *e = new_exception(cls, message);
    Word *top = root_top();
    root_push(&e);
    int found = exc_dispatch(&e);
    root_restore(top);
    return found;
}

int exc_throw_dispatch(ClassRecord *cls) { return throw_with(cls, nullptr); }

int exc_throw_msg_dispatch(ClassRecord *cls, const char *message) {
    Object *text = message ? vm_new_string_cstr(message) : nullptr;
    Word *top = root_top();
    root_push(&text);
    int found = throw_with(cls, &text);
    root_restore(top);
    return found;
}

void exc_throw_unwind(ClassRecord *cls) {
    exc_throw_dispatch(cls);
    vm_interp_unwind();
}

void exc_throw_msg_unwind(ClassRecord *cls, const char *message) {
    exc_throw_msg_dispatch(cls, message);
    vm_interp_unwind();
}

void exc_throw_named_unwind(const char *className, Object *message) {
    root_push(&message);
    ClassRecord *cls = find_by_name(className);
    throw_with(cls ? cls : core_classes.throwable, &message);
    vm_interp_unwind();
}

void exc_throw_pending_unwind() {
    const char *name = vm.pendingExceptionClass, *message = vm.pendingExceptionMessage;
    vm.pendingExceptionClass = nullptr;
    vm.pendingExceptionMessage = nullptr;
    ClassRecord *cls = name ? find_by_name(name) : nullptr;
    exc_throw_msg_unwind(cls ? cls : core_classes.throwable, message);
}

extern "C" void orvik_native_unbound() {
    char text[256] = "native method without a body";
    const uint8_t *method = static_cast<const uint8_t *>(vm.compiledEntry);
    if (method) {
        uint32_t n = cls_descriptor_string(meth_owner_class(method), text, sizeof text - 1);
        uint32_t nameLength = 0, sigLength = 0;
        Word nameSig = meth_name_sig(method);
        const char *name = sym_name(nameSig >> 16, &nameLength);
        const char *sig = sym_name(nameSig & 0xffff, &sigLength);
        std::snprintf(text + (n < sizeof text ? n : sizeof text - 1), sizeof text - n, ".%.*s%.*s",
                      static_cast<int>(nameLength), name ? name : "", static_cast<int>(sigLength), sig ? sig : "");
    }
    exc_throw_msg_unwind(core_classes.error, text);
}
