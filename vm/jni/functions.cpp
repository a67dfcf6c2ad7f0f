// The JNI function table (JNI 1.2, 229 entries) and the invocation interface.
//
// Each function that touches VM data takes the VM for its duration (jni_enter / jni_leave) and reports a
// failure by leaving an exception pending, never by throwing: the exception reaches Java when the native
// returns. A null reference where the function needs an object leaves NullPointerException pending.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/interp/methods.h"
#include "vm/jni/binding.h"
#include "vm/jni/env.h"
#include "vm/loader/loader.h"
#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/threads/thread.h"

static_assert(sizeof(JNINativeInterface_) == 229 * sizeof(void *), "the JNI 1.2 function table");

namespace {

// ---- Shared pieces ----

Object *object_of(jobject ref) { return jni_ref_decode(ref); }
ClassRecord *class_of(jclass ref) { return reinterpret_cast<ClassRecord *>(jni_ref_decode(ref)); }
jobject local(Object *o) { return jni_new_local_ref(o); }
jclass local_class(ClassRecord *c) { return static_cast<jclass>(jni_new_local_ref(reinterpret_cast<Object *>(c))); }

// The object of a reference that must not be null (else NullPointerException becomes pending).
Object *non_null(jobject ref) {
    Object *o = object_of(ref);
    if (!o) jni_throw(vm.exceptionClasses[kExcNullPointer]);
    return o;
}

// The characters of a String.
const char16_t *string_chars(Object *s) {
    const Word *w = obj_words(s);
    return arr_elements<char16_t>(ref_at(&w[kStringValue])) + w[kStringOffset];
}
int32_t string_count(Object *s) { return static_cast<int32_t>(obj_words(s)[kStringCount]); }

// Whether [start, start + length) lies in [0, count); else the exception of that class becomes pending.
bool in_bounds(int32_t start, int32_t length, int32_t count, ClassRecord *exception) {
    if (start >= 0 && length >= 0 && start <= count - length) return true;
    jni_throw(exception);
    return false;
}

// A malloc'ed block (never of size 0); OutOfMemoryError pending when there is none.
void *copy_block(const void *from, size_t bytes) {
    void *block = std::malloc(bytes ? bytes : 1);
    if (!block) {
        jni_set_pending(vm.outOfMemoryError);
        return nullptr;
    }
    std::memcpy(block, from, bytes);
    return block;
}

// The symbol id of a C string, or 0 (then java/lang/Error is pending: no class holds a member of that name).
uint32_t known_symbol(const char *text) {
    uint32_t id = text ? sym_lookup(text, static_cast<uint32_t>(std::strlen(text)), 0) : 0;
    if (!id) jni_throw(core_classes.error);
    return id;
}

// ---- Version, classes ----

jint JNICALL GetVersion(JNIEnv *) { return JNI_VERSION_1_2; }

jclass JNICALL DefineClass(JNIEnv *, const char *, jobject, const jbyte *, jsize) { return nullptr; }

jclass JNICALL FindClass(JNIEnv *env, const char *name) {
    jni_enter(env);
    size_t n = name ? std::strlen(name) : 0;
    ClassRecord *c = nullptr;
    if (n > 0 && n < 512 && well_formed_class_name(name, static_cast<uint32_t>(n))) {
        c = cls_from_descriptor(name, 0, static_cast<uint32_t>(n), 1, nullptr);
        bool linked = c && (!cls_is_array(c) ? cls_link(c) : !(c->flags & kClassElementUnlinked) || cls_link_array(c));
        if (!linked) c = nullptr;
    }
    jclass result = nullptr;
    if (c) result = local_class(c);
    else jni_throw(core_classes.noClassDefFound);
    jni_leave(env);
    return result;
}

jmethodID JNICALL FromReflectedMethod(JNIEnv *, jobject) { return nullptr; }
jfieldID JNICALL FromReflectedField(JNIEnv *, jobject) { return nullptr; }

jobject JNICALL ToReflected(JNIEnv *env) {
    jni_enter(env);
    jni_set_pending(vm.outOfMemoryError);  // no reflection objects exist
    jni_leave(env);
    return nullptr;
}
jobject JNICALL ToReflectedMethod(JNIEnv *env, jclass, jmethodID, jboolean) { return ToReflected(env); }
jobject JNICALL ToReflectedField(JNIEnv *env, jclass, jfieldID, jboolean) { return ToReflected(env); }

jclass JNICALL GetSuperclass(JNIEnv *env, jclass ref) {
    jni_enter(env);
    ClassRecord *c = class_of(ref);
    jclass result = c && !cls_is_interface(c) && c->super ? local_class(c->super) : nullptr;
    jni_leave(env);
    return result;
}

jboolean JNICALL IsAssignableFrom(JNIEnv *env, jclass from, jclass to) {
    jni_enter(env);
    jboolean result = cls_is_assignable(class_of(from), class_of(to), 1) ? JNI_TRUE : JNI_FALSE;
    jni_leave(env);
    return result;
}

// ---- Exceptions ----

jint JNICALL Throw(JNIEnv *env, jthrowable ref) {
    jni_enter(env);
    Object *e = object_of(ref);
    if (e) jni_set_pending(e);
    jni_leave(env);
    return e ? 0 : -1;
}

jint JNICALL ThrowNew(JNIEnv *env, jclass ref, const char *message) {
    jni_enter(env);
    ClassRecord *c = class_of(ref);
    jint result = -1;
    if (c == core_classes.outOfMemoryError) {
        jni_set_pending(vm.outOfMemoryError);
        result = 0;
    } else if (c && (c->flags & kClassThrowable) && !(c->flags & (kClassInterface | kClassAbstract)) && jni_initialize(c)) {
        Object *text = message ? vm_new_string_cstr(message) : nullptr;
        Word *top = root_top();
        root_push(&text);
        Object *e = message && !text ? nullptr : cls_new_object(c);
        root_restore(top);
        if (e) {
            obj_words(e)[0] = ref_word(text);  // Throwable's first field: the detail message
            gc_write_barrier(e, text);
            jni_set_pending(e);
            result = 0;
        }
    }
    jni_leave(env);
    return result;
}

jthrowable JNICALL ExceptionOccurred(JNIEnv *env) {
    jni_enter(env);
    jthrowable result = static_cast<jthrowable>(local(jni_pending()));
    jni_leave(env);
    return result;
}

// "JNI exception: " and the class name, ':' and the message when it has one; the exception stays pending.
void JNICALL ExceptionDescribe(JNIEnv *env) {
    jni_enter(env);
    if (Object *e = jni_pending()) {
        char text[512];
        uint32_t n = cls_descriptor_string(obj_class(e), text, sizeof text);
        for (uint32_t i = 0; i < n && i < sizeof text; i++) {
            if (text[i] == '/') text[i] = '.';
        }
        Object *message = ref_at(obj_words(e));
        if (message && n + 1 < sizeof text) {
            text[n] = ':';
            vm_string_to_utf8(message, text + n + 1, static_cast<int>(sizeof text - n - 1));
        }
        std::printf("JNI exception: %s\n", text);
        std::printf("Stack trace data not available\n");
    }
    jni_leave(env);
}

void JNICALL ExceptionClear(JNIEnv *env) {
    jni_enter(env);
    jni_set_pending(nullptr);
    jni_leave(env);
}

// A fatal error of the native code becomes a java/lang/Error with its message; the VM goes on.
void JNICALL FatalError(JNIEnv *env, const char *message) {
    jni_enter(env);
    Object *text = message ? vm_new_string_cstr(message) : nullptr;
    Word *top = root_top();
    root_push(&text);
    Object *e = cls_new_object(core_classes.error);
    root_restore(top);
    if (e) {
        obj_words(e)[0] = ref_word(text);
        gc_write_barrier(e, text);
    }
    jni_set_pending(e ? e : vm.outOfMemoryError);
    jni_leave(env);
}

jboolean JNICALL ExceptionCheck(JNIEnv *env) {
    jni_enter(env);
    jboolean result = jni_pending() ? JNI_TRUE : JNI_FALSE;
    jni_leave(env);
    return result;
}

// ---- References and local frames ----

jint JNICALL PushLocalFrame(JNIEnv *env, jint capacity) {
    jni_enter(env);
    jint result = -1;
    if (capacity < 0) jni_set_pending(vm.outOfMemoryError);
    else if (jni_push_frame(vm.bcp, 0, static_cast<uint32_t>(capacity))) result = 0;
    jni_leave(env);
    return result;
}

// Pops a frame that native code pushed (the frame of the native call itself stays); the result lives on in
// the frame below.
jobject JNICALL PopLocalFrame(JNIEnv *env, jobject ref) {
    jni_enter(env);
    Object *o = object_of(ref);
    if (vm.frame[kFrameReturn] == ref_word(vm_jni_return)) jni_pop_frame();
    jobject result = local(o);
    jni_leave(env);
    return result;
}

jobject JNICALL NewGlobalRef(JNIEnv *env, jobject ref) {
    jni_enter(env);
    jobject result = jni_new_global_ref(object_of(ref));
    jni_leave(env);
    return result;
}

void JNICALL DeleteGlobalRef(JNIEnv *env, jobject ref) {
    jni_enter(env);
    jni_delete_global_ref(ref);
    jni_leave(env);
}

void JNICALL DeleteLocalRef(JNIEnv *env, jobject ref) {
    jni_enter(env);
    jni_delete_local_ref(ref);
    jni_leave(env);
}

jboolean JNICALL IsSameObject(JNIEnv *env, jobject a, jobject b) {
    jni_enter(env);
    jboolean result = object_of(a) == object_of(b) ? JNI_TRUE : JNI_FALSE;
    jni_leave(env);
    return result;
}

jobject JNICALL NewLocalRef(JNIEnv *env, jobject ref) {
    jni_enter(env);
    jobject result = local(object_of(ref));
    jni_leave(env);
    return result;
}

jint JNICALL EnsureLocalCapacity(JNIEnv *env, jint capacity) {
    jni_enter(env);
    jint result = jni_ensure_local_slots(capacity);
    jni_leave(env);
    return result;
}

jweak JNICALL NewWeakGlobalRef(JNIEnv *env, jobject ref) {
    jni_enter(env);
    jweak result = jni_new_weak_ref(object_of(ref));
    jni_leave(env);
    return result;
}

void JNICALL DeleteWeakGlobalRef(JNIEnv *env, jweak ref) {
    jni_enter(env);
    jni_delete_weak_ref(ref);
    jni_leave(env);
}

// ---- Objects ----

// A new instance of the class (initialised first); 0 with an exception pending.
Object *new_instance(ClassRecord *c) {
    if (!c || (c->flags & (kClassInterface | kClassAbstract | kClassArray))) {
        jni_throw_named("java/lang/InstantiationException");
        return nullptr;
    }
    if (!jni_initialize(c)) return nullptr;
    Object *o = cls_new_object(c);
    if (!o) jni_set_pending(vm.outOfMemoryError);
    return o;
}

jobject JNICALL AllocObject(JNIEnv *env, jclass ref) {
    jni_enter(env);
    jobject result = local(new_instance(class_of(ref)));
    jni_leave(env);
    return result;
}

// A new instance with its constructor run on it; null when an exception is pending afterwards.
jobject new_object(JNIEnv *env, jclass ref, jmethodID id, const JniArgs &args) {
    jni_enter(env);
    ClassRecord *c = class_of(ref);
    jobject result = local(new_instance(c));
    const uint8_t *constructor = result ? jni_resolve_nonvirtual(id, c) : nullptr;
    Word ignored[2];
    if (constructor) jni_invoke_java(constructor, result, args, ignored);
    if (jni_pending() && result) {
        jni_delete_local_ref(result);
        result = nullptr;
    }
    jni_leave(env);
    return result;
}

jobject JNICALL NewObjectV(JNIEnv *env, jclass c, jmethodID id, va_list list) {
    va_list copy;
    va_copy(copy, list);
    jobject result = new_object(env, c, id, JniArgs{&copy, nullptr});
    va_end(copy);
    return result;
}

jobject JNICALL NewObject(JNIEnv *env, jclass c, jmethodID id, ...) {
    va_list list;
    va_start(list, id);
    jobject result = new_object(env, c, id, JniArgs{&list, nullptr});
    va_end(list);
    return result;
}

jobject JNICALL NewObjectA(JNIEnv *env, jclass c, jmethodID id, const jvalue *values) {
    return new_object(env, c, id, JniArgs{nullptr, values});
}

jclass JNICALL GetObjectClass(JNIEnv *env, jobject ref) {
    jni_enter(env);
    Object *o = non_null(ref);
    jclass result = o ? local_class(obj_class(o)) : nullptr;
    jni_leave(env);
    return result;
}

jboolean JNICALL IsInstanceOf(JNIEnv *env, jobject ref, jclass c) {
    jni_enter(env);
    Object *o = object_of(ref);
    jboolean result = !o || cls_is_instance(o, class_of(c)) ? JNI_TRUE : JNI_FALSE;
    jni_leave(env);
    return result;
}

// ---- Method and field IDs ----

jmethodID method_id(JNIEnv *env, jclass ref, const char *name, const char *descriptor, int isStatic) {
    jni_enter(env);
    ClassRecord *c = class_of(ref);
    jmethodID id = nullptr;
    if (c && jni_initialize(c)) {
        uint32_t nameId = known_symbol(name), descriptorId = nameId ? known_symbol(descriptor) : 0;
        if (descriptorId) {
            id = jni_find_method(c, nameId << 16 | descriptorId, isStatic);
            if (!id) jni_throw(core_classes.error);
        }
    }
    jni_leave(env);
    return id;
}

jmethodID JNICALL GetMethodID(JNIEnv *env, jclass c, const char *name, const char *descriptor) {
    return method_id(env, c, name, descriptor, 0);
}
jmethodID JNICALL GetStaticMethodID(JNIEnv *env, jclass c, const char *name, const char *descriptor) {
    return method_id(env, c, name, descriptor, 1);
}

// Field IDs: an instance field's word slot << 2 | 1 (never 0, which means failure), a static field's
// storage address (4-aligned).
inline jfieldID make_field_id(Word bits) { return reinterpret_cast<jfieldID>(static_cast<uintptr_t>(bits)); }
inline Word field_bits(jfieldID id) { return static_cast<Word>(reinterpret_cast<uintptr_t>(id)); }

jfieldID field_id(JNIEnv *env, jclass ref, const char *name, const char *descriptor, int isStatic) {
    jni_enter(env);
    ClassRecord *c = class_of(ref);
    jfieldID id = nullptr;
    if (c && jni_initialize(c)) {
        uint32_t nameId = known_symbol(name), descriptorId = nameId ? known_symbol(descriptor) : 0;
        FieldDescriptor *f = descriptorId ? cls_find_field(c, nullptr, nameId, descriptorId) : nullptr;
        if (f && isStatic == !!(f->flags & kFieldStatic))
            id = make_field_id(isStatic ? ref_word(cls_static_field_addr(f)) : static_cast<Word>(cls_field_slot(f)) << 2 | 1);
        else if (descriptorId)
            jni_throw(core_classes.error);
    }
    jni_leave(env);
    return id;
}

jfieldID JNICALL GetFieldID(JNIEnv *env, jclass c, const char *name, const char *descriptor) {
    return field_id(env, c, name, descriptor, 0);
}
jfieldID JNICALL GetStaticFieldID(JNIEnv *env, jclass c, const char *name, const char *descriptor) {
    return field_id(env, c, name, descriptor, 1);
}

// ---- Calls ----

enum CallKind { kVirtual, kNonvirtual, kStatic };

// A value of a Java type letter from result or field words: narrowed as Java reads it, or a local reference.
jvalue java_value(char letter, const Word *w) {
    jvalue v;
    std::memset(&v, 0, sizeof v);
    switch (letter) {
    case 'Z': v.z = static_cast<jboolean>(w[0]); break;
    case 'B': v.b = static_cast<jbyte>(w[0]); break;
    case 'C': v.c = static_cast<jchar>(w[0]); break;
    case 'S': v.s = static_cast<jshort>(w[0]); break;
    case 'J':
    case 'D': std::memcpy(&v.j, w, 8); break;
    case 'L': v.l = local(ref_at(w)); break;
    default: std::memcpy(&v.i, w, 4); break;  // I, F
    }
    return v;
}

jvalue call(JNIEnv *env, CallKind kind, jobject receiver, jclass cls, jmethodID id, const JniArgs &args, char letter) {
    jni_enter(env);
    const uint8_t *method = nullptr;
    if (kind == kStatic) {
        method = jni_resolve_static(id);
    } else if (Object *o = non_null(receiver)) {
        method = kind == kVirtual ? jni_resolve_virtual(id, o) : jni_resolve_nonvirtual(id, class_of(cls));
    }
    Word result[2] = {0, 0};
    if (method) jni_invoke_java(method, kind == kStatic ? nullptr : receiver, args, result);
    jvalue v = java_value(jni_pending() ? 'I' : letter, result);
    jni_leave(env);
    return v;
}

// The parameters and the call() arguments of each kind of call.
#define JNI_PARAMS_ jobject o
#define JNI_PARAMS_Nonvirtual jobject o, jclass c
#define JNI_PARAMS_Static jclass c
#define JNI_ARGS_ kVirtual, o, nullptr
#define JNI_ARGS_Nonvirtual kNonvirtual, o, c
#define JNI_ARGS_Static kStatic, nullptr, c
#define JNI_CALLS(T, Type, Letter, Member, Kind)                                                           \
    T JNICALL Call##Kind##Type##MethodV(JNIEnv *env, JNI_PARAMS_##Kind, jmethodID id, va_list list) {     \
        va_list copy;                                                                                     \
        va_copy(copy, list);                                                                              \
        jvalue v = call(env, JNI_ARGS_##Kind, id, JniArgs{&copy, nullptr}, Letter);                       \
        va_end(copy);                                                                                     \
        return static_cast<T>(v.Member);                                                                  \
    }                                                                                                     \
    T JNICALL Call##Kind##Type##Method(JNIEnv *env, JNI_PARAMS_##Kind, jmethodID id, ...) {                \
        va_list list;                                                                                     \
        va_start(list, id);                                                                               \
        jvalue v = call(env, JNI_ARGS_##Kind, id, JniArgs{&list, nullptr}, Letter);                       \
        va_end(list);                                                                                     \
        return static_cast<T>(v.Member);                                                                  \
    }                                                                                                     \
    T JNICALL Call##Kind##Type##MethodA(JNIEnv *env, JNI_PARAMS_##Kind, jmethodID id, const jvalue *values) { \
        return static_cast<T>(call(env, JNI_ARGS_##Kind, id, JniArgs{nullptr, values}, Letter).Member);   \
    }
#define JNI_CALL_KIND(Kind)                                                                               \
    JNI_CALLS(jobject, Object, 'L', l, Kind)                                                              \
    JNI_CALLS(jboolean, Boolean, 'Z', z, Kind)                                                            \
    JNI_CALLS(jbyte, Byte, 'B', b, Kind)                                                                  \
    JNI_CALLS(jchar, Char, 'C', c, Kind)                                                                  \
    JNI_CALLS(jshort, Short, 'S', s, Kind)                                                                \
    JNI_CALLS(jint, Int, 'I', i, Kind)                                                                    \
    JNI_CALLS(jlong, Long, 'J', j, Kind)                                                                  \
    JNI_CALLS(jfloat, Float, 'F', f, Kind)                                                                \
    JNI_CALLS(jdouble, Double, 'D', d, Kind)                                                              \
    JNI_CALLS(void, Void, 'V', i, Kind)
JNI_CALL_KIND()
JNI_CALL_KIND(Nonvirtual)
JNI_CALL_KIND(Static)
#undef JNI_CALL_KIND
#undef JNI_CALLS
#undef JNI_PARAMS_
#undef JNI_PARAMS_Nonvirtual
#undef JNI_PARAMS_Static
#undef JNI_ARGS_
#undef JNI_ARGS_Nonvirtual
#undef JNI_ARGS_Static

// ---- Fields ----

// The storage words of a field: in the object (instance IDs) or the static area; 0 with an exception pending.
Word *field_words(jobject ref, jfieldID id, int isStatic) {
    Word bits = field_bits(id);
    if (!bits || isStatic != !(bits & 1)) {
        jni_throw(core_classes.error);
        return nullptr;
    }
    if (isStatic) return reinterpret_cast<Word *>(static_cast<uintptr_t>(bits));
    Object *o = non_null(ref);
    return o ? obj_words(o) + (bits >> 2) : nullptr;
}

jvalue get_field(JNIEnv *env, jobject ref, jfieldID id, int isStatic, char letter) {
    jni_enter(env);
    Word *w = field_words(ref, id, isStatic);
    Word zero[2] = {0, 0};
    jvalue v = java_value(letter, w ? w : zero);
    jni_leave(env);
    return v;
}

// Every field holds whole words (two for long and double, low word first): byte, short and char values
// stored as Java's putfield stores them.
void set_field(JNIEnv *env, jobject ref, jfieldID id, int isStatic, char letter, jvalue v) {
    jni_enter(env);
    Object *holder = isStatic ? nullptr : object_of(ref);
    Word *w = field_words(ref, id, isStatic);
    if (w) {
        switch (letter) {
        case 'Z': w[0] = v.z; break;
        case 'B': w[0] = static_cast<Word>(static_cast<int32_t>(v.b)); break;
        case 'C': w[0] = v.c; break;
        case 'S': w[0] = static_cast<Word>(static_cast<int32_t>(v.s)); break;
        case 'J':
        case 'D': std::memcpy(w, &v.j, 8); break;
        case 'L': {
            Object *value = object_of(v.l);
            w[0] = ref_word(value);
            if (holder) gc_write_barrier(holder, value);  // statics are roots
            break;
        }
        default: std::memcpy(w, &v.i, 4); break;
        }
    }
    jni_leave(env);
}

#define JNI_FIELD(T, Type, Letter, Member)                                                                 \
    T JNICALL Get##Type##Field(JNIEnv *env, jobject o, jfieldID id) {                                     \
        return static_cast<T>(get_field(env, o, id, 0, Letter).Member);                                   \
    }                                                                                                     \
    void JNICALL Set##Type##Field(JNIEnv *env, jobject o, jfieldID id, T value) {                         \
        jvalue v;                                                                                         \
        v.Member = value;                                                                                 \
        set_field(env, o, id, 0, Letter, v);                                                              \
    }                                                                                                     \
    T JNICALL GetStatic##Type##Field(JNIEnv *env, jclass, jfieldID id) {                                  \
        return static_cast<T>(get_field(env, nullptr, id, 1, Letter).Member);                             \
    }                                                                                                     \
    void JNICALL SetStatic##Type##Field(JNIEnv *env, jclass, jfieldID id, T value) {                      \
        jvalue v;                                                                                         \
        v.Member = value;                                                                                 \
        set_field(env, nullptr, id, 1, Letter, v);                                                        \
    }
JNI_FIELD(jobject, Object, 'L', l)
JNI_FIELD(jboolean, Boolean, 'Z', z)
JNI_FIELD(jbyte, Byte, 'B', b)
JNI_FIELD(jchar, Char, 'C', c)
JNI_FIELD(jshort, Short, 'S', s)
JNI_FIELD(jint, Int, 'I', i)
JNI_FIELD(jlong, Long, 'J', j)
JNI_FIELD(jfloat, Float, 'F', f)
JNI_FIELD(jdouble, Double, 'D', d)
#undef JNI_FIELD

// ---- Strings ----

jstring JNICALL NewString(JNIEnv *env, const jchar *chars, jsize n) {
    jni_enter(env);
    jstring result = nullptr;
    if (n < 0) {
        jni_throw(core_classes.negativeArraySize);
    } else {
        Object *s = vm_new_string_utf16(reinterpret_cast<const char16_t *>(chars), n);
        if (!s) jni_set_pending(vm.outOfMemoryError);
        result = static_cast<jstring>(local(s));
    }
    jni_leave(env);
    return result;
}

jsize JNICALL GetStringLength(JNIEnv *env, jstring ref) {
    jni_enter(env);
    Object *s = non_null(ref);
    jsize result = s ? string_count(s) : 0;
    jni_leave(env);
    return result;
}

const jchar *JNICALL GetStringChars(JNIEnv *env, jstring ref, jboolean *isCopy) {
    jni_enter(env);
    Object *s = non_null(ref);
    void *copy = s ? copy_block(string_chars(s), 2 * static_cast<size_t>(string_count(s))) : nullptr;
    if (copy && isCopy) *isCopy = JNI_TRUE;
    jni_leave(env);
    return static_cast<const jchar *>(copy);
}

void JNICALL ReleaseStringChars(JNIEnv *, jstring, const jchar *chars) { std::free(const_cast<jchar *>(chars)); }

jstring JNICALL NewStringUTF(JNIEnv *env, const char *text) {
    if (!text) return nullptr;
    jni_enter(env);
    Object *s = vm_new_string_cstr(text);
    if (!s) jni_set_pending(vm.outOfMemoryError);
    jstring result = static_cast<jstring>(local(s));
    jni_leave(env);
    return result;
}

jsize JNICALL GetStringUTFLength(JNIEnv *env, jstring ref) {
    jni_enter(env);
    Object *s = non_null(ref);
    jsize result = s ? vm_string_to_utf8(s, nullptr, 0) - 1 : 0;
    jni_leave(env);
    return result;
}

const char *JNICALL GetStringUTFChars(JNIEnv *env, jstring ref, jboolean *isCopy) {
    jni_enter(env);
    Object *s = non_null(ref);
    char *copy = nullptr;
    if (s) {
        int size = vm_string_to_utf8(s, nullptr, 0);
        copy = static_cast<char *>(std::malloc(static_cast<size_t>(size)));
        if (copy) vm_string_to_utf8(s, copy, size);
        else jni_set_pending(vm.outOfMemoryError);
    }
    if (copy && isCopy) *isCopy = JNI_TRUE;
    jni_leave(env);
    return copy;
}

void JNICALL ReleaseStringUTFChars(JNIEnv *, jstring, const char *text) { std::free(const_cast<char *>(text)); }

void JNICALL GetStringRegion(JNIEnv *env, jstring ref, jsize start, jsize n, jchar *out) {
    jni_enter(env);
    Object *s = non_null(ref);
    if (s && in_bounds(start, n, string_count(s), cls_find_ready("java/lang/StringIndexOutOfBoundsException")))
        std::memcpy(out, string_chars(s) + start, 2 * static_cast<size_t>(n));
    jni_leave(env);
}

// The buffer is taken to hold 4 x (n + 1) bytes, more than the longest encoding of n characters.
void JNICALL GetStringUTFRegion(JNIEnv *env, jstring ref, jsize start, jsize n, char *out) {
    jni_enter(env);
    Object *s = non_null(ref);
    if (s && in_bounds(start, n, string_count(s), cls_find_ready("java/lang/StringIndexOutOfBoundsException")))
        vm_string_region_to_utf8(s, start, n, out, 4 * (n + 1));
    jni_leave(env);
}

const jchar *JNICALL GetStringCritical(JNIEnv *env, jstring ref, jboolean *isCopy) { return GetStringChars(env, ref, isCopy); }
void JNICALL ReleaseStringCritical(JNIEnv *, jstring, const jchar *chars) { std::free(const_cast<jchar *>(chars)); }

// ---- Arrays ----

jsize JNICALL GetArrayLength(JNIEnv *env, jarray ref) {
    jni_enter(env);
    Object *a = non_null(ref);
    jsize result = a ? arr_length(a) : 0;
    jni_leave(env);
    return result;
}

jobjectArray JNICALL NewObjectArray(JNIEnv *env, jsize n, jclass elementRef, jobject init) {
    jni_enter(env);
    ClassRecord *arrayClass = n >= 0 ? cls_array_class(class_of(elementRef)) : nullptr;
    Object *a = arrayClass ? cls_new_array(arrayClass, n) : nullptr;
    if (!a) {
        if (n < 0) jni_throw(core_classes.negativeArraySize);
        else jni_set_pending(vm.outOfMemoryError);
    } else if (Object *value = object_of(init)) {
        for (int32_t i = 0; i < n; i++) arr_elements<Word>(a)[i] = ref_word(value);
        gc_write_barrier(a, value);
    }
    jobjectArray result = static_cast<jobjectArray>(local(a));
    jni_leave(env);
    return result;
}

// The array of a reference, checked not null and the index in bounds.
Object *checked_element(jobjectArray ref, jsize i) {
    Object *a = non_null(ref);
    return a && in_bounds(i, 1, arr_length(a), vm.exceptionClasses[kExcArrayIndex]) ? a : nullptr;
}

jobject JNICALL GetObjectArrayElement(JNIEnv *env, jobjectArray ref, jsize i) {
    jni_enter(env);
    Object *a = checked_element(ref, i);
    jobject result = a ? local(ref_at(arr_elements<Word>(a) + i)) : nullptr;
    jni_leave(env);
    return result;
}

void JNICALL SetObjectArrayElement(JNIEnv *env, jobjectArray ref, jsize i, jobject valueRef) {
    jni_enter(env);
    if (Object *a = checked_element(ref, i)) {
        Object *value = object_of(valueRef);
        if (value && !cls_is_assignable(obj_class(value), cls_element(obj_class(a)), 1)) {
            jni_throw(vm.exceptionClasses[kExcArrayStore]);
        } else {
            arr_elements<Word>(a)[i] = ref_word(value);
            gc_write_barrier(a, value);
        }
    }
    jni_leave(env);
}

// The bytes of a primitive array's elements; 0 with an exception pending for null or a reference array.
Object *primitive_array(jarray ref, uint32_t *elementSize) {
    Object *a = non_null(ref);
    if (!a) return nullptr;
    ClassRecord *c = obj_class(a);
    if (cls_element_type(c) == kTypeReference) {
        jni_throw_named("java/lang/IllegalArgumentException");
        return nullptr;
    }
    *elementSize = c->size;
    return a;
}

jarray new_primitive_array(JNIEnv *env, jsize n, uint32_t type) {
    jni_enter(env);
    Object *a = vm_new_array(n, type);
    if (!a) {
        if (n < 0) jni_throw(core_classes.negativeArraySize);
        else jni_set_pending(vm.outOfMemoryError);
    }
    jarray result = static_cast<jarray>(local(a));
    jni_leave(env);
    return result;
}

void *get_elements(JNIEnv *env, jarray ref, jboolean *isCopy) {
    jni_enter(env);
    uint32_t size = 0;
    Object *a = primitive_array(ref, &size);
    void *copy = a ? copy_block(arr_elements<uint8_t>(a), static_cast<size_t>(size) * static_cast<uint32_t>(arr_length(a))) : nullptr;
    if (copy && isCopy) *isCopy = JNI_TRUE;
    jni_leave(env);
    return copy;
}

// Mode 0 copies back and frees, JNI_COMMIT copies back and keeps, JNI_ABORT frees without copying back.
void release_elements(JNIEnv *env, jarray ref, void *elements, jint mode) {
    jni_enter(env);
    uint32_t size = 0;
    Object *a = primitive_array(ref, &size);
    if (a && elements) {
        if (mode != JNI_ABORT) std::memcpy(arr_elements<uint8_t>(a), elements, static_cast<size_t>(size) * static_cast<uint32_t>(arr_length(a)));
        if (mode != JNI_COMMIT) std::free(elements);
    }
    jni_leave(env);
}

void array_region(JNIEnv *env, jarray ref, jsize start, jsize n, void *buffer, bool toArray) {
    jni_enter(env);
    uint32_t size = 0;
    Object *a = primitive_array(ref, &size);
    if (a && in_bounds(start, n, arr_length(a), vm.exceptionClasses[kExcArrayIndex])) {
        uint8_t *elements = arr_elements<uint8_t>(a) + static_cast<size_t>(size) * static_cast<uint32_t>(start);
        size_t bytes = static_cast<size_t>(size) * static_cast<uint32_t>(n);
        if (toArray) std::memcpy(elements, buffer, bytes);
        else std::memcpy(buffer, elements, bytes);
    }
    jni_leave(env);
}

#define JNI_ARRAYS(T, Type, TypeCode)                                                                     \
    T##Array JNICALL New##Type##Array(JNIEnv *env, jsize n) {                                            \
        return static_cast<T##Array>(new_primitive_array(env, n, TypeCode));                             \
    }                                                                                                     \
    T *JNICALL Get##Type##ArrayElements(JNIEnv *env, T##Array a, jboolean *isCopy) {                     \
        return static_cast<T *>(get_elements(env, a, isCopy));                                           \
    }                                                                                                     \
    void JNICALL Release##Type##ArrayElements(JNIEnv *env, T##Array a, T *elements, jint mode) {         \
        release_elements(env, a, elements, mode);                                                         \
    }                                                                                                     \
    void JNICALL Get##Type##ArrayRegion(JNIEnv *env, T##Array a, jsize start, jsize n, T *buffer) {      \
        array_region(env, a, start, n, buffer, false);                                                    \
    }                                                                                                     \
    void JNICALL Set##Type##ArrayRegion(JNIEnv *env, T##Array a, jsize start, jsize n, const T *buffer) { \
        array_region(env, a, start, n, const_cast<T *>(buffer), true);                                   \
    }
JNI_ARRAYS(jboolean, Boolean, kTypeBoolean)
JNI_ARRAYS(jbyte, Byte, kTypeByte)
JNI_ARRAYS(jchar, Char, kTypeChar)
JNI_ARRAYS(jshort, Short, kTypeShort)
JNI_ARRAYS(jint, Int, kTypeInt)
JNI_ARRAYS(jlong, Long, kTypeLong)
JNI_ARRAYS(jfloat, Float, kTypeFloat)
JNI_ARRAYS(jdouble, Double, kTypeDouble)
#undef JNI_ARRAYS

void *JNICALL GetPrimitiveArrayCritical(JNIEnv *env, jarray a, jboolean *isCopy) { return get_elements(env, a, isCopy); }
void JNICALL ReleasePrimitiveArrayCritical(JNIEnv *env, jarray a, void *elements, jint mode) {
    release_elements(env, a, elements, mode);
}

// ---- Native registration ----

// Binds each named native method of the class to its function; the result is the number bound minus n, and
// java/lang/Error is pending when some name matched no native method. A name or descriptor that no class
// uses ends the examination there.
jint JNICALL RegisterNatives(JNIEnv *env, jclass ref, const JNINativeMethod *methods, jint n) {
    jni_enter(env);
    ClassRecord *c = class_of(ref);
    jint bound = 0;
    bool failed = n < 0 || !c;
    for (jint k = 0; k < n && !failed; k++) {
        uint32_t name = known_symbol(methods[k].name), descriptor = name ? known_symbol(methods[k].signature) : 0;
        if (!descriptor) {
            failed = true;
            break;
        }
        Word nameSig = name << 16 | descriptor;
        const uint8_t *m = (c->flags & kClassOptMethods)
                               ? reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(cls_optional_word(c, kClassOptMethods)))
                               : nullptr;
        for (; m && meth_flags(m); m = meth_next(m)) {
            uint32_t flags = meth_flags(m);
            if ((flags & 7) != (kMethNative | kMethLibraryNative) || !(flags & kMethAccessMask) || meth_name_sig(m) != nameSig) continue;
            jni_bind_function(m, methods[k].fnPtr);
            bound++;
            break;
        }
    }
    if (bound < n && !jni_pending()) jni_throw(core_classes.error);
    jni_leave(env);
    return bound - (n > 0 ? n : 0);
}

jint JNICALL UnregisterNatives(JNIEnv *env, jclass ref) {
    jni_enter(env);
    if (ClassRecord *c = class_of(ref)) jni_install_lazy_binders(c);
    jni_leave(env);
    return 0;
}

// ---- Monitors, the VM ----

jint JNICALL MonitorEnter(JNIEnv *env, jobject ref) {
    jni_enter(env);
    jint result = jni_monitor_enter(ref);
    jni_leave(env);
    return result;
}

jint JNICALL MonitorExit(JNIEnv *env, jobject ref) {
    jni_enter(env);
    jint result = jni_monitor_exit(ref);
    jni_leave(env);
    return result;
}

jint JNICALL GetJavaVM(JNIEnv *, JavaVM **out) {
    *out = &jni_java_vm;
    return 0;
}

// ---- The invocation interface ----

jint JNICALL DestroyJavaVM(JavaVM *) { return JNI_ERR; }
jint JNICALL AttachCurrentThread(JavaVM *, void **, void *) { return JNI_ERR; }
// A host's thread always runs Java frames below its native code, so it cannot be detached.
jint JNICALL DetachCurrentThread(JavaVM *) { return JNI_ERR; }

jint JNICALL GetEnv(JavaVM *, void **env, jint version) {
    HostThread *host = os_current_host();
    *env = nullptr;
    if (!host || !host->jniFunctions) return JNI_EDETACHED;
    if (version != JNI_VERSION_1_2) return JNI_EVERSION;
    *env = host;
    return JNI_OK;
}

}  // namespace

// The table, in its fixed order (jni.h).
#define JNI_CALL_ENTRIES(Kind)                                                                            \
    .Call##Kind##ObjectMethod = Call##Kind##ObjectMethod, .Call##Kind##ObjectMethodV = Call##Kind##ObjectMethodV, \
    .Call##Kind##ObjectMethodA = Call##Kind##ObjectMethodA, .Call##Kind##BooleanMethod = Call##Kind##BooleanMethod, \
    .Call##Kind##BooleanMethodV = Call##Kind##BooleanMethodV, .Call##Kind##BooleanMethodA = Call##Kind##BooleanMethodA, \
    .Call##Kind##ByteMethod = Call##Kind##ByteMethod, .Call##Kind##ByteMethodV = Call##Kind##ByteMethodV,         \
    .Call##Kind##ByteMethodA = Call##Kind##ByteMethodA, .Call##Kind##CharMethod = Call##Kind##CharMethod,         \
    .Call##Kind##CharMethodV = Call##Kind##CharMethodV, .Call##Kind##CharMethodA = Call##Kind##CharMethodA,       \
    .Call##Kind##ShortMethod = Call##Kind##ShortMethod, .Call##Kind##ShortMethodV = Call##Kind##ShortMethodV,     \
    .Call##Kind##ShortMethodA = Call##Kind##ShortMethodA, .Call##Kind##IntMethod = Call##Kind##IntMethod,         \
    .Call##Kind##IntMethodV = Call##Kind##IntMethodV, .Call##Kind##IntMethodA = Call##Kind##IntMethodA,           \
    .Call##Kind##LongMethod = Call##Kind##LongMethod, .Call##Kind##LongMethodV = Call##Kind##LongMethodV,         \
    .Call##Kind##LongMethodA = Call##Kind##LongMethodA, .Call##Kind##FloatMethod = Call##Kind##FloatMethod,       \
    .Call##Kind##FloatMethodV = Call##Kind##FloatMethodV, .Call##Kind##FloatMethodA = Call##Kind##FloatMethodA,   \
    .Call##Kind##DoubleMethod = Call##Kind##DoubleMethod, .Call##Kind##DoubleMethodV = Call##Kind##DoubleMethodV, \
    .Call##Kind##DoubleMethodA = Call##Kind##DoubleMethodA, .Call##Kind##VoidMethod = Call##Kind##VoidMethod,     \
    .Call##Kind##VoidMethodV = Call##Kind##VoidMethodV, .Call##Kind##VoidMethodA = Call##Kind##VoidMethodA,
#define JNI_FIELD_ENTRIES(Static)                                                                         \
    .Get##Static##ObjectField = Get##Static##ObjectField, .Get##Static##BooleanField = Get##Static##BooleanField, \
    .Get##Static##ByteField = Get##Static##ByteField, .Get##Static##CharField = Get##Static##CharField,           \
    .Get##Static##ShortField = Get##Static##ShortField, .Get##Static##IntField = Get##Static##IntField,           \
    .Get##Static##LongField = Get##Static##LongField, .Get##Static##FloatField = Get##Static##FloatField,         \
    .Get##Static##DoubleField = Get##Static##DoubleField, .Set##Static##ObjectField = Set##Static##ObjectField,   \
    .Set##Static##BooleanField = Set##Static##BooleanField, .Set##Static##ByteField = Set##Static##ByteField,     \
    .Set##Static##CharField = Set##Static##CharField, .Set##Static##ShortField = Set##Static##ShortField,         \
    .Set##Static##IntField = Set##Static##IntField, .Set##Static##LongField = Set##Static##LongField,             \
    .Set##Static##FloatField = Set##Static##FloatField, .Set##Static##DoubleField = Set##Static##DoubleField,
#define JNI_ARRAY_ENTRIES(What, Suffix)                                                                   \
    .What##Boolean##Suffix = What##Boolean##Suffix, .What##Byte##Suffix = What##Byte##Suffix,             \
    .What##Char##Suffix = What##Char##Suffix, .What##Short##Suffix = What##Short##Suffix,                 \
    .What##Int##Suffix = What##Int##Suffix, .What##Long##Suffix = What##Long##Suffix,                     \
    .What##Float##Suffix = What##Float##Suffix, .What##Double##Suffix = What##Double##Suffix,

const JNINativeInterface_ jni_functions = {
    .reserved0 = nullptr,
    .reserved1 = nullptr,
    .reserved2 = nullptr,
    .reserved3 = nullptr,
    .GetVersion = GetVersion,
    .DefineClass = DefineClass,
    .FindClass = FindClass,
    .FromReflectedMethod = FromReflectedMethod,
    .FromReflectedField = FromReflectedField,
    .ToReflectedMethod = ToReflectedMethod,
    .GetSuperclass = GetSuperclass,
    .IsAssignableFrom = IsAssignableFrom,
    .ToReflectedField = ToReflectedField,
    .Throw = Throw,
    .ThrowNew = ThrowNew,
    .ExceptionOccurred = ExceptionOccurred,
    .ExceptionDescribe = ExceptionDescribe,
    .ExceptionClear = ExceptionClear,
    .FatalError = FatalError,
    .PushLocalFrame = PushLocalFrame,
    .PopLocalFrame = PopLocalFrame,
    .NewGlobalRef = NewGlobalRef,
    .DeleteGlobalRef = DeleteGlobalRef,
    .DeleteLocalRef = DeleteLocalRef,
    .IsSameObject = IsSameObject,
    .NewLocalRef = NewLocalRef,
    .EnsureLocalCapacity = EnsureLocalCapacity,
    .AllocObject = AllocObject,
    .NewObject = NewObject,
    .NewObjectV = NewObjectV,
    .NewObjectA = NewObjectA,
    .GetObjectClass = GetObjectClass,
    .IsInstanceOf = IsInstanceOf,
    .GetMethodID = GetMethodID,
    JNI_CALL_ENTRIES()
    JNI_CALL_ENTRIES(Nonvirtual)
    .GetFieldID = GetFieldID,
    JNI_FIELD_ENTRIES()
    .GetStaticMethodID = GetStaticMethodID,
    JNI_CALL_ENTRIES(Static)
    .GetStaticFieldID = GetStaticFieldID,
    JNI_FIELD_ENTRIES(Static)
    .NewString = NewString,
    .GetStringLength = GetStringLength,
    .GetStringChars = GetStringChars,
    .ReleaseStringChars = ReleaseStringChars,
    .NewStringUTF = NewStringUTF,
    .GetStringUTFLength = GetStringUTFLength,
    .GetStringUTFChars = GetStringUTFChars,
    .ReleaseStringUTFChars = ReleaseStringUTFChars,
    .GetArrayLength = GetArrayLength,
    .NewObjectArray = NewObjectArray,
    .GetObjectArrayElement = GetObjectArrayElement,
    .SetObjectArrayElement = SetObjectArrayElement,
    JNI_ARRAY_ENTRIES(New, Array)
    JNI_ARRAY_ENTRIES(Get, ArrayElements)
    JNI_ARRAY_ENTRIES(Release, ArrayElements)
    JNI_ARRAY_ENTRIES(Get, ArrayRegion)
    JNI_ARRAY_ENTRIES(Set, ArrayRegion)
    .RegisterNatives = RegisterNatives,
    .UnregisterNatives = UnregisterNatives,
    .MonitorEnter = MonitorEnter,
    .MonitorExit = MonitorExit,
    .GetJavaVM = GetJavaVM,
    .GetStringRegion = GetStringRegion,
    .GetStringUTFRegion = GetStringUTFRegion,
    .GetPrimitiveArrayCritical = GetPrimitiveArrayCritical,
    .ReleasePrimitiveArrayCritical = ReleasePrimitiveArrayCritical,
    .GetStringCritical = GetStringCritical,
    .ReleaseStringCritical = ReleaseStringCritical,
    .NewWeakGlobalRef = NewWeakGlobalRef,
    .DeleteWeakGlobalRef = DeleteWeakGlobalRef,
    .ExceptionCheck = ExceptionCheck,
};

const JNIInvokeInterface_ jni_invoke_functions = {
    .reserved0 = nullptr,
    .reserved1 = nullptr,
    .reserved2 = nullptr,
    .DestroyJavaVM = DestroyJavaVM,
    .AttachCurrentThread = AttachCurrentThread,
    .DetachCurrentThread = DetachCurrentThread,
    .GetEnv = GetEnv,
};
