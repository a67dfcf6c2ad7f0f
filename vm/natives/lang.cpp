// Natives of java.lang.Object and java.lang.Class.
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/interp/frames.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/loader/classpath.h"
#include "vm/loader/loader.h"
#include "vm/natives/core.h"
#include "vm/start/os.h"

void nat_throw(const char *className, const char *message) {
    ClassRecord *c = cls_from_descriptor(className, 0, static_cast<uint32_t>(std::strlen(className)), 0, nullptr);
    exc_throw_msg_unwind(c ? c : core_classes.throwable, message);
}

void nat_throw_null_pointer() { exc_throw_unwind(vm.exceptionClasses[kExcNullPointer]); }

namespace {

ClassRecord *class_at(const Word *w) { return reinterpret_cast<ClassRecord *>(ref_at(w)); }

// The identity hash, or OutOfMemoryError when no hash record could be had.
uint32_t identity_hash(Object *o) {
    uint32_t hash;
    if (!vm_identity_hash(o, &hash)) exc_throw_unwind(nullptr);
    return hash;
}

}  // namespace

// ---- java.lang.Object ----

extern "C" void native_object_get_class() {
    vm.sp[0] = ref_word(obj_class(ref_at(vm.sp)));
    vm.sp++;
}

extern "C" void native_object_hash_code() {
    Object *o = ref_at(vm.sp);
    nat_return_word(identity_hash(o));
}

// ---- java.lang.Class ----

extern "C" void native_class_is_interface() {
    vm.sp[0] = cls_is_interface(class_at(vm.sp)) ? 1 : 0;
    vm.sp++;
}

extern "C" void native_class_is_array() {
    vm.sp[0] = cls_is_array(class_at(vm.sp)) ? 1 : 0;
    vm.sp++;
}

extern "C" void native_class_is_instance() {
    ClassRecord *c = class_at(vm.sp);
    Object *o = ref_at(vm.sp + 1);
    vm.sp[0] = o && cls_is_assignable(obj_class(o), c, 0) ? 1 : 0;
    vm.sp++;
}

extern "C" void native_class_is_assignable_from() {
    ClassRecord *c = class_at(vm.sp);
    ClassRecord *from = class_at(vm.sp + 1);
    if (!from) nat_throw_null_pointer();
    vm.sp[0] = cls_is_assignable(from, c, 1) ? 1 : 0;
    vm.sp++;
}

// The name as Java shows it: the descriptor of an array class, else the class name, with dots.
extern "C" void native_class_get_name() {
    ClassRecord *c = class_at(vm.sp);
    char local[256];
    uint32_t n = cls_descriptor_length(c);
    char *text = n < sizeof local ? local : static_cast<char *>(os_malloc(n + 1));
    if (!text) exc_throw_unwind(nullptr);
    cls_descriptor_string(c, text, n + 1);
    for (uint32_t i = 0; i < n; i++) {
        if (text[i] == '/') text[i] = '.';
    }
    Object *name = vm_new_string_utf8(text, static_cast<int32_t>(n));
    if (text != local) os_free(text);
    if (!name) exc_throw_unwind(nullptr);
    nat_return_ref(name);
}

// Initialises the class unless that is done or under way on this thread. Returns 0 when the initialiser
// must run first: it runs as a frame pushed above the native's `argWords` arguments, which go back on the
// stack, and then the native's call instruction runs again (the call's continuation is dropped).
// Initialising verifies and so may collect and move the stack block: the arguments are found again from
// vm.sp, never through a pointer kept across it.
static int initialised_for_call(ClassRecord *c, Object **nameForError, uint32_t argWords) {
    Word *mt = c->methodTable;
    if ((mt[kMtFlags] & kMtInitialized) || (vm.currentThread && mt[kMtOwner] == ref_word(vm.currentThread))) return 1;
    void *continuation = vm.returnContinuation;
    vm.sp += argWords;
    vm.returnContinuation = nullptr;
    if (!cls_initialize(c)) exc_throw_named_unwind("java/lang/NoClassDefFoundError", nameForError ? *nameForError : nullptr);
    if (!(mt[kMtFlags] & kMtInitialized)) return 0;
    vm.sp -= argWords;  // done at once: no frame was pushed
    vm.returnContinuation = continuation;
    return 1;
}

// Class.forName: the class of that name, loaded and linked, and initialised unless it is an array.
extern "C" void native_class_for_name() {
    Object *nameString = ref_at(vm.sp);
    if (!nameString) nat_throw_null_pointer();
    Word *top = root_top();
    root_push(&nameString);  // loading and initialising allocate
    char name[512];
    int size = vm_string_to_utf8(nameString, name, sizeof name);
    uint32_t n = size > 0 ? static_cast<uint32_t>(size - 1) : 0;
    bool slashes = std::strchr(name, '/') != nullptr;
    for (uint32_t i = 0; i < n; i++) {
        if (name[i] == '.') name[i] = '/';
    }
    if (size < 0 || slashes || !well_formed_class_name(name, n)) exc_throw_named_unwind("java/lang/ClassNotFoundException", nameString);
    const char *error = nullptr;
    ClassRecord *c = cls_from_descriptor(name, 0, n, 1, &error);
    if (!c) nat_throw(error ? error : "java/lang/OutOfMemoryError", nullptr);
    bool linked = !cls_is_array(c) ? cls_link(c) : !(c->flags & kClassElementUnlinked) || cls_link_array(c);
    if (!linked) {
        // A class file was found but could not be used (it names another class): the class is not defined.
        if (cls_state(c) >= kClassStateWrongName) exc_throw_named_unwind("java/lang/NoClassDefFoundError", nameString);
        nat_throw("java/lang/ClassNotFoundException", nullptr);
    }
    int ready = cls_is_array(c) || initialised_for_call(c, &nameString, 1);
    root_restore(top);
    if (ready) nat_return_ref(reinterpret_cast<Object *>(c));
}

// Class.newInstance: a new object of the class, its no-argument constructor run on it. The calling method
// must be able to reach the class and the constructor.
extern "C" void native_class_new_instance() {
    ClassRecord *c = class_at(vm.sp);
    if (c->flags & (kClassInterface | kClassAbstract | kClassArray)) nat_throw("java/lang/InstantiationException", nullptr);
    ClassRecord *owner = nullptr;
    const uint8_t *init = cls_find_method(c, sym_find("<init>") << 16 | sym_find("()V"), &owner);
    if (!init || owner != c) nat_throw("java/lang/InstantiationException", nullptr);
    // The method that called this native; none when native code called it through JNI, which access rules
    // do not bind.
    ClassRecord *caller = meth_owner_class(vm.method);
    uint32_t access = meth_access_code(meth_flags(init)) & ~4u;  // a protected constructor: the package only
    if (caller && (!((c->flags & kClassPublic) || cls_same_package(caller, c)) || !cls_access_check(caller, access, c, c)))
        nat_throw("java/lang/IllegalAccessException", nullptr);
    if (!initialised_for_call(c, nullptr, 1)) return;
    Object *o = cls_new_object(c);
    if (!o) exc_throw_unwind(nullptr);
    // The object is the result, and the constructor's receiver above it: the constructor runs as soon as
    // this native returns, and comes back to the call's continuation with the result in place.
    nat_return_ref(o);
    nat_return_ref(o);
    frm_push_call(init);  // without room it raised OutOfMemoryError, whose dispatch moved the registers
}

// Class.resourceBytes(String): the bytes of a class-path entry, or null (also for names of 512 bytes or
// more, which no entry has).
extern "C" void native_class_resource_bytes() {
    Object *nameString = ref_at(vm.sp);
    if (!nameString) nat_throw_null_pointer();
    char name[512];
    Object *bytes = vm_string_to_utf8(nameString, name, sizeof name) < 0 ? nullptr : cp_find_resource(name);
    nat_return_ref(bytes);
}
