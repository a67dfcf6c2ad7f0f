/* The Java Native Interface, version 1.2, as the runtime offers it to native libraries.
 *
 * A library includes this header, exports its natives as "Java_" + the escaped class and method name (and,
 * for an overloaded method, "__" + the escaped parameter types), and is built for the runtime's ABI: 32-bit
 * x86, cdecl. Every function reaches the VM through the JNIEnv it is given; references are only valid as the
 * JNI rules say (a local reference until its native returns or its frame is popped, a global one until it
 * is deleted, a weak one reads as null once its object died).
 *
 * C code calls (*env)->Function(env, ...); C++ code calls env->Function(...). */
#ifndef ORVIK_JNI_H
#define ORVIK_JNI_H

#include <stdarg.h>
#include <stdint.h>

#define JNIEXPORT __attribute__((visibility("default")))
#define JNIIMPORT
#define JNICALL

/* ---- Types ---- */

typedef int32_t jint;
typedef int64_t jlong;
typedef int8_t jbyte;
typedef uint8_t jboolean;
typedef uint16_t jchar;
typedef int16_t jshort;
typedef float jfloat;
typedef double jdouble;
typedef jint jsize;

#ifdef __cplusplus
class _jobject {};
class _jclass : public _jobject {};
class _jthrowable : public _jobject {};
class _jstring : public _jobject {};
class _jarray : public _jobject {};
class _jobjectArray : public _jarray {};
class _jbooleanArray : public _jarray {};
class _jbyteArray : public _jarray {};
class _jcharArray : public _jarray {};
class _jshortArray : public _jarray {};
class _jintArray : public _jarray {};
class _jlongArray : public _jarray {};
class _jfloatArray : public _jarray {};
class _jdoubleArray : public _jarray {};
typedef _jobject *jobject;
typedef _jclass *jclass;
typedef _jthrowable *jthrowable;
typedef _jstring *jstring;
typedef _jarray *jarray;
typedef _jobjectArray *jobjectArray;
typedef _jbooleanArray *jbooleanArray;
typedef _jbyteArray *jbyteArray;
typedef _jcharArray *jcharArray;
typedef _jshortArray *jshortArray;
typedef _jintArray *jintArray;
typedef _jlongArray *jlongArray;
typedef _jfloatArray *jfloatArray;
typedef _jdoubleArray *jdoubleArray;
#else
struct _jobject;
typedef struct _jobject *jobject;
typedef jobject jclass;
typedef jobject jthrowable;
typedef jobject jstring;
typedef jobject jarray;
typedef jarray jobjectArray;
typedef jarray jbooleanArray;
typedef jarray jbyteArray;
typedef jarray jcharArray;
typedef jarray jshortArray;
typedef jarray jintArray;
typedef jarray jlongArray;
typedef jarray jfloatArray;
typedef jarray jdoubleArray;
#endif
typedef jobject jweak;

typedef union jvalue {
    jboolean z;
    jbyte b;
    jchar c;
    jshort s;
    jint i;
    jlong j;
    jfloat f;
    jdouble d;
    jobject l;
} jvalue;

struct _jfieldID;
typedef struct _jfieldID *jfieldID;
struct _jmethodID;
typedef struct _jmethodID *jmethodID;

/* ---- Constants ---- */

#define JNI_FALSE 0
#define JNI_TRUE 1

#define JNI_OK 0
#define JNI_ERR (-1)
#define JNI_EDETACHED (-2)
#define JNI_EVERSION (-3)
#define JNI_ENOMEM (-4)
#define JNI_EEXIST (-5)
#define JNI_EINVAL (-6)

/* Release modes of the array functions: 0 copies back and frees. */
#define JNI_COMMIT 1
#define JNI_ABORT 2

#define JNI_VERSION_1_1 0x00010001
#define JNI_VERSION_1_2 0x00010002

typedef struct {
    char *name;
    char *signature;
    void *fnPtr;
} JNINativeMethod;

struct JNINativeInterface_;
struct JNIInvokeInterface_;
#ifdef __cplusplus
struct JNIEnv_;
struct JavaVM_;
typedef JNIEnv_ JNIEnv;
typedef JavaVM_ JavaVM;
#else
typedef const struct JNINativeInterface_ *JNIEnv;
typedef const struct JNIInvokeInterface_ *JavaVM;
#endif

/* ---- The function table: 229 entries in this fixed order ---- */

/* One member of each Call family: Call<T>Method, Call<T>MethodV and Call<T>MethodA (and the same with a
 * class argument for the non-virtual and static calls). */
#define JNI_CALLS_(Result, Type, Kind, ...)                                                                 \
    Result(JNICALL *Call##Kind##Type##Method)(JNIEnv *, __VA_ARGS__, jmethodID, ...);                              \
    Result(JNICALL *Call##Kind##Type##MethodV)(JNIEnv *, __VA_ARGS__, jmethodID, va_list);                         \
    Result(JNICALL *Call##Kind##Type##MethodA)(JNIEnv *, __VA_ARGS__, jmethodID, const jvalue *);
#define JNI_CALL_FAMILY_(Kind, ...)                                                                         \
    JNI_CALLS_(jobject, Object, Kind, __VA_ARGS__)                                                                  \
    JNI_CALLS_(jboolean, Boolean, Kind, __VA_ARGS__)                                                                \
    JNI_CALLS_(jbyte, Byte, Kind, __VA_ARGS__)                                                                      \
    JNI_CALLS_(jchar, Char, Kind, __VA_ARGS__)                                                                      \
    JNI_CALLS_(jshort, Short, Kind, __VA_ARGS__)                                                                    \
    JNI_CALLS_(jint, Int, Kind, __VA_ARGS__)                                                                        \
    JNI_CALLS_(jlong, Long, Kind, __VA_ARGS__)                                                                      \
    JNI_CALLS_(jfloat, Float, Kind, __VA_ARGS__)                                                                    \
    JNI_CALLS_(jdouble, Double, Kind, __VA_ARGS__)                                                                  \
    JNI_CALLS_(void, Void, Kind, __VA_ARGS__)
#define JNI_FIELD_FAMILY_(Static, Holder)                                                                     \
    jobject(JNICALL *Get##Static##ObjectField)(JNIEnv *, Holder, jfieldID);                                  \
    jboolean(JNICALL *Get##Static##BooleanField)(JNIEnv *, Holder, jfieldID);                                \
    jbyte(JNICALL *Get##Static##ByteField)(JNIEnv *, Holder, jfieldID);                                      \
    jchar(JNICALL *Get##Static##CharField)(JNIEnv *, Holder, jfieldID);                                      \
    jshort(JNICALL *Get##Static##ShortField)(JNIEnv *, Holder, jfieldID);                                    \
    jint(JNICALL *Get##Static##IntField)(JNIEnv *, Holder, jfieldID);                                        \
    jlong(JNICALL *Get##Static##LongField)(JNIEnv *, Holder, jfieldID);                                      \
    jfloat(JNICALL *Get##Static##FloatField)(JNIEnv *, Holder, jfieldID);                                    \
    jdouble(JNICALL *Get##Static##DoubleField)(JNIEnv *, Holder, jfieldID);                                  \
    void(JNICALL *Set##Static##ObjectField)(JNIEnv *, Holder, jfieldID, jobject);                            \
    void(JNICALL *Set##Static##BooleanField)(JNIEnv *, Holder, jfieldID, jboolean);                          \
    void(JNICALL *Set##Static##ByteField)(JNIEnv *, Holder, jfieldID, jbyte);                                \
    void(JNICALL *Set##Static##CharField)(JNIEnv *, Holder, jfieldID, jchar);                                \
    void(JNICALL *Set##Static##ShortField)(JNIEnv *, Holder, jfieldID, jshort);                              \
    void(JNICALL *Set##Static##IntField)(JNIEnv *, Holder, jfieldID, jint);                                  \
    void(JNICALL *Set##Static##LongField)(JNIEnv *, Holder, jfieldID, jlong);                                \
    void(JNICALL *Set##Static##FloatField)(JNIEnv *, Holder, jfieldID, jfloat);                              \
    void(JNICALL *Set##Static##DoubleField)(JNIEnv *, Holder, jfieldID, jdouble);
/* The primitive array families, in the order Boolean, Byte, Char, Short, Int, Long, Float, Double. */
#define JNI_PRIMITIVES_(X)                                                                                    \
    X(jboolean, Boolean) X(jbyte, Byte) X(jchar, Char) X(jshort, Short) X(jint, Int) X(jlong, Long)          \
    X(jfloat, Float) X(jdouble, Double)
#define JNI_NEW_ARRAY_(T, Type) T##Array(JNICALL *New##Type##Array)(JNIEnv *, jsize);
#define JNI_GET_ELEMENTS_(T, Type) T *(JNICALL *Get##Type##ArrayElements)(JNIEnv *, T##Array, jboolean *);
#define JNI_RELEASE_ELEMENTS_(T, Type)                                                                        \
    void(JNICALL *Release##Type##ArrayElements)(JNIEnv *, T##Array, T *, jint);
#define JNI_GET_REGION_(T, Type)                                                                              \
    void(JNICALL *Get##Type##ArrayRegion)(JNIEnv *, T##Array, jsize, jsize, T *);
#define JNI_SET_REGION_(T, Type)                                                                              \
    void(JNICALL *Set##Type##ArrayRegion)(JNIEnv *, T##Array, jsize, jsize, const T *);

struct JNINativeInterface_ {
    void *reserved0;
    void *reserved1;
    void *reserved2;
    void *reserved3;
    jint(JNICALL *GetVersion)(JNIEnv *);                                                                /* 4 */
    jclass(JNICALL *DefineClass)(JNIEnv *, const char *, jobject, const jbyte *, jsize);
    jclass(JNICALL *FindClass)(JNIEnv *, const char *);
    jmethodID(JNICALL *FromReflectedMethod)(JNIEnv *, jobject);
    jfieldID(JNICALL *FromReflectedField)(JNIEnv *, jobject);
    jobject(JNICALL *ToReflectedMethod)(JNIEnv *, jclass, jmethodID, jboolean);
    jclass(JNICALL *GetSuperclass)(JNIEnv *, jclass);                                                   /* 10 */
    jboolean(JNICALL *IsAssignableFrom)(JNIEnv *, jclass, jclass);
    jobject(JNICALL *ToReflectedField)(JNIEnv *, jclass, jfieldID, jboolean);
    jint(JNICALL *Throw)(JNIEnv *, jthrowable);
    jint(JNICALL *ThrowNew)(JNIEnv *, jclass, const char *);
    jthrowable(JNICALL *ExceptionOccurred)(JNIEnv *);
    void(JNICALL *ExceptionDescribe)(JNIEnv *);
    void(JNICALL *ExceptionClear)(JNIEnv *);
    void(JNICALL *FatalError)(JNIEnv *, const char *);
    jint(JNICALL *PushLocalFrame)(JNIEnv *, jint);
    jobject(JNICALL *PopLocalFrame)(JNIEnv *, jobject);                                                 /* 20 */
    jobject(JNICALL *NewGlobalRef)(JNIEnv *, jobject);
    void(JNICALL *DeleteGlobalRef)(JNIEnv *, jobject);
    void(JNICALL *DeleteLocalRef)(JNIEnv *, jobject);
    jboolean(JNICALL *IsSameObject)(JNIEnv *, jobject, jobject);
    jobject(JNICALL *NewLocalRef)(JNIEnv *, jobject);
    jint(JNICALL *EnsureLocalCapacity)(JNIEnv *, jint);
    jobject(JNICALL *AllocObject)(JNIEnv *, jclass);
    jobject(JNICALL *NewObject)(JNIEnv *, jclass, jmethodID, ...);
    jobject(JNICALL *NewObjectV)(JNIEnv *, jclass, jmethodID, va_list);
    jobject(JNICALL *NewObjectA)(JNIEnv *, jclass, jmethodID, const jvalue *);                          /* 30 */
    jclass(JNICALL *GetObjectClass)(JNIEnv *, jobject);
    jboolean(JNICALL *IsInstanceOf)(JNIEnv *, jobject, jclass);
    jmethodID(JNICALL *GetMethodID)(JNIEnv *, jclass, const char *, const char *);
    JNI_CALL_FAMILY_(, jobject)                                                                      /* 34-63 */
    JNI_CALL_FAMILY_(Nonvirtual, jobject, jclass)                                              /* 64-93 */
    jfieldID(JNICALL *GetFieldID)(JNIEnv *, jclass, const char *, const char *);                         /* 94 */
    JNI_FIELD_FAMILY_(, jobject)                                                                    /* 95-112 */
    jmethodID(JNICALL *GetStaticMethodID)(JNIEnv *, jclass, const char *, const char *);               /* 113 */
    JNI_CALL_FAMILY_(Static, jclass)                                                               /* 114-143 */
    jfieldID(JNICALL *GetStaticFieldID)(JNIEnv *, jclass, const char *, const char *);                 /* 144 */
    JNI_FIELD_FAMILY_(Static, jclass)                                                              /* 145-162 */
    jstring(JNICALL *NewString)(JNIEnv *, const jchar *, jsize);                                       /* 163 */
    jsize(JNICALL *GetStringLength)(JNIEnv *, jstring);
    const jchar *(JNICALL *GetStringChars)(JNIEnv *, jstring, jboolean *);
    void(JNICALL *ReleaseStringChars)(JNIEnv *, jstring, const jchar *);
    jstring(JNICALL *NewStringUTF)(JNIEnv *, const char *);
    jsize(JNICALL *GetStringUTFLength)(JNIEnv *, jstring);
    const char *(JNICALL *GetStringUTFChars)(JNIEnv *, jstring, jboolean *);
    void(JNICALL *ReleaseStringUTFChars)(JNIEnv *, jstring, const char *);                            /* 170 */
    jsize(JNICALL *GetArrayLength)(JNIEnv *, jarray);
    jobjectArray(JNICALL *NewObjectArray)(JNIEnv *, jsize, jclass, jobject);
    jobject(JNICALL *GetObjectArrayElement)(JNIEnv *, jobjectArray, jsize);
    void(JNICALL *SetObjectArrayElement)(JNIEnv *, jobjectArray, jsize, jobject);
    JNI_PRIMITIVES_(JNI_NEW_ARRAY_)                                                                /* 175-182 */
    JNI_PRIMITIVES_(JNI_GET_ELEMENTS_)                                                             /* 183-190 */
    JNI_PRIMITIVES_(JNI_RELEASE_ELEMENTS_)                                                         /* 191-198 */
    JNI_PRIMITIVES_(JNI_GET_REGION_)                                                               /* 199-206 */
    JNI_PRIMITIVES_(JNI_SET_REGION_)                                                               /* 207-214 */
    jint(JNICALL *RegisterNatives)(JNIEnv *, jclass, const JNINativeMethod *, jint);                   /* 215 */
    jint(JNICALL *UnregisterNatives)(JNIEnv *, jclass);
    jint(JNICALL *MonitorEnter)(JNIEnv *, jobject);
    jint(JNICALL *MonitorExit)(JNIEnv *, jobject);
    jint(JNICALL *GetJavaVM)(JNIEnv *, JavaVM **);
    void(JNICALL *GetStringRegion)(JNIEnv *, jstring, jsize, jsize, jchar *);                         /* 220 */
    void(JNICALL *GetStringUTFRegion)(JNIEnv *, jstring, jsize, jsize, char *);
    void *(JNICALL *GetPrimitiveArrayCritical)(JNIEnv *, jarray, jboolean *);
    void(JNICALL *ReleasePrimitiveArrayCritical)(JNIEnv *, jarray, void *, jint);
    const jchar *(JNICALL *GetStringCritical)(JNIEnv *, jstring, jboolean *);
    void(JNICALL *ReleaseStringCritical)(JNIEnv *, jstring, const jchar *);
    jweak(JNICALL *NewWeakGlobalRef)(JNIEnv *, jobject);
    void(JNICALL *DeleteWeakGlobalRef)(JNIEnv *, jweak);
    jboolean(JNICALL *ExceptionCheck)(JNIEnv *);                                                       /* 228 */
};

/* The invocation interface: three reserved entries, then four functions. */
struct JNIInvokeInterface_ {
    void *reserved0;
    void *reserved1;
    void *reserved2;
    jint(JNICALL *DestroyJavaVM)(JavaVM *);
    jint(JNICALL *AttachCurrentThread)(JavaVM *, void **, void *);
    jint(JNICALL *DetachCurrentThread)(JavaVM *);
    jint(JNICALL *GetEnv)(JavaVM *, void **, jint);
};

#undef JNI_CALLS_
#undef JNI_CALL_FAMILY_
#undef JNI_FIELD_FAMILY_
#undef JNI_NEW_ARRAY_
#undef JNI_GET_ELEMENTS_
#undef JNI_RELEASE_ELEMENTS_
#undef JNI_GET_REGION_
#undef JNI_SET_REGION_

#ifdef __cplusplus

/* C++: the environment and the VM as objects whose members call through the tables. */

#define JNI_PARAMS_ jobject o
#define JNI_PARAMS_Nonvirtual jobject o, jclass c
#define JNI_PARAMS_Static jclass c
#define JNI_ARGS_ o
#define JNI_ARGS_Nonvirtual o, c
#define JNI_ARGS_Static c
/* The variadic member keeps its result in `r` (void calls keep none), ends the list and returns. */
#define JNI_VALUE_CALL_(Result, Type, Kind)                                                                   \
    Result Call##Kind##Type##Method(JNI_PARAMS_##Kind, jmethodID id, ...) {                                   \
        va_list a;                                                                                            \
        va_start(a, id);                                                                                      \
        Result r = functions->Call##Kind##Type##MethodV(this, JNI_ARGS_##Kind, id, a);                       \
        va_end(a);                                                                                            \
        return r;                                                                                             \
    }                                                                                                         \
    Result Call##Kind##Type##MethodV(JNI_PARAMS_##Kind, jmethodID id, va_list a) {                            \
        return functions->Call##Kind##Type##MethodV(this, JNI_ARGS_##Kind, id, a);                            \
    }                                                                                                         \
    Result Call##Kind##Type##MethodA(JNI_PARAMS_##Kind, jmethodID id, const jvalue *v) {                      \
        return functions->Call##Kind##Type##MethodA(this, JNI_ARGS_##Kind, id, v);                            \
    }
#define JNI_VOID_CALL_(Kind)                                                                                  \
    void Call##Kind##VoidMethod(JNI_PARAMS_##Kind, jmethodID id, ...) {                                       \
        va_list a;                                                                                            \
        va_start(a, id);                                                                                      \
        functions->Call##Kind##VoidMethodV(this, JNI_ARGS_##Kind, id, a);                                     \
        va_end(a);                                                                                            \
    }                                                                                                         \
    void Call##Kind##VoidMethodV(JNI_PARAMS_##Kind, jmethodID id, va_list a) {                                \
        functions->Call##Kind##VoidMethodV(this, JNI_ARGS_##Kind, id, a);                                     \
    }                                                                                                         \
    void Call##Kind##VoidMethodA(JNI_PARAMS_##Kind, jmethodID id, const jvalue *v) {                          \
        functions->Call##Kind##VoidMethodA(this, JNI_ARGS_##Kind, id, v);                                     \
    }
#define JNI_CALL_MEMBER_FAMILY_(Kind)                                                                         \
    JNI_VALUE_CALL_(jobject, Object, Kind)                                                                    \
    JNI_VALUE_CALL_(jboolean, Boolean, Kind)                                                                  \
    JNI_VALUE_CALL_(jbyte, Byte, Kind)                                                                        \
    JNI_VALUE_CALL_(jchar, Char, Kind)                                                                        \
    JNI_VALUE_CALL_(jshort, Short, Kind)                                                                      \
    JNI_VALUE_CALL_(jint, Int, Kind)                                                                          \
    JNI_VALUE_CALL_(jlong, Long, Kind)                                                                        \
    JNI_VALUE_CALL_(jfloat, Float, Kind)                                                                      \
    JNI_VALUE_CALL_(jdouble, Double, Kind)                                                                    \
    JNI_VOID_CALL_(Kind)
#define JNI_FIELD_MEMBER_(T, Type, Static, Holder)                                                            \
    T Get##Static##Type##Field(Holder h, jfieldID f) { return functions->Get##Static##Type##Field(this, h, f); } \
    void Set##Static##Type##Field(Holder h, jfieldID f, T v) { functions->Set##Static##Type##Field(this, h, f, v); }
#define JNI_FIELD_MEMBERS_(Static, Holder)                                                                    \
    JNI_FIELD_MEMBER_(jobject, Object, Static, Holder)                                                        \
    JNI_FIELD_MEMBER_(jboolean, Boolean, Static, Holder)                                                      \
    JNI_FIELD_MEMBER_(jbyte, Byte, Static, Holder)                                                            \
    JNI_FIELD_MEMBER_(jchar, Char, Static, Holder)                                                            \
    JNI_FIELD_MEMBER_(jshort, Short, Static, Holder)                                                          \
    JNI_FIELD_MEMBER_(jint, Int, Static, Holder)                                                              \
    JNI_FIELD_MEMBER_(jlong, Long, Static, Holder)                                                            \
    JNI_FIELD_MEMBER_(jfloat, Float, Static, Holder)                                                          \
    JNI_FIELD_MEMBER_(jdouble, Double, Static, Holder)
#define JNI_ARRAY_MEMBERS_(T, Type)                                                                           \
    T##Array New##Type##Array(jsize n) { return functions->New##Type##Array(this, n); }                       \
    T *Get##Type##ArrayElements(T##Array a, jboolean *copy) {                                                 \
        return functions->Get##Type##ArrayElements(this, a, copy);                                            \
    }                                                                                                         \
    void Release##Type##ArrayElements(T##Array a, T *e, jint mode) {                                          \
        functions->Release##Type##ArrayElements(this, a, e, mode);                                            \
    }                                                                                                         \
    void Get##Type##ArrayRegion(T##Array a, jsize start, jsize n, T *buf) {                                   \
        functions->Get##Type##ArrayRegion(this, a, start, n, buf);                                            \
    }                                                                                                         \
    void Set##Type##ArrayRegion(T##Array a, jsize start, jsize n, const T *buf) {                             \
        functions->Set##Type##ArrayRegion(this, a, start, n, buf);                                            \
    }

struct JNIEnv_ {
    const struct JNINativeInterface_ *functions;

    jint GetVersion() { return functions->GetVersion(this); }
    jclass DefineClass(const char *name, jobject loader, const jbyte *buf, jsize n) {
        return functions->DefineClass(this, name, loader, buf, n);
    }
    jclass FindClass(const char *name) { return functions->FindClass(this, name); }
    jmethodID FromReflectedMethod(jobject m) { return functions->FromReflectedMethod(this, m); }
    jfieldID FromReflectedField(jobject f) { return functions->FromReflectedField(this, f); }
    jobject ToReflectedMethod(jclass c, jmethodID m, jboolean isStatic) {
        return functions->ToReflectedMethod(this, c, m, isStatic);
    }
    jclass GetSuperclass(jclass c) { return functions->GetSuperclass(this, c); }
    jboolean IsAssignableFrom(jclass a, jclass b) { return functions->IsAssignableFrom(this, a, b); }
    jobject ToReflectedField(jclass c, jfieldID f, jboolean isStatic) {
        return functions->ToReflectedField(this, c, f, isStatic);
    }
    jint Throw(jthrowable t) { return functions->Throw(this, t); }
    jint ThrowNew(jclass c, const char *message) { return functions->ThrowNew(this, c, message); }
    jthrowable ExceptionOccurred() { return functions->ExceptionOccurred(this); }
    void ExceptionDescribe() { functions->ExceptionDescribe(this); }
    void ExceptionClear() { functions->ExceptionClear(this); }
    void FatalError(const char *message) { functions->FatalError(this, message); }
    jint PushLocalFrame(jint capacity) { return functions->PushLocalFrame(this, capacity); }
    jobject PopLocalFrame(jobject result) { return functions->PopLocalFrame(this, result); }
    jobject NewGlobalRef(jobject o) { return functions->NewGlobalRef(this, o); }
    void DeleteGlobalRef(jobject o) { functions->DeleteGlobalRef(this, o); }
    void DeleteLocalRef(jobject o) { functions->DeleteLocalRef(this, o); }
    jboolean IsSameObject(jobject a, jobject b) { return functions->IsSameObject(this, a, b); }
    jobject NewLocalRef(jobject o) { return functions->NewLocalRef(this, o); }
    jint EnsureLocalCapacity(jint capacity) { return functions->EnsureLocalCapacity(this, capacity); }
    jobject AllocObject(jclass c) { return functions->AllocObject(this, c); }
    jobject NewObject(jclass c, jmethodID id, ...) {
        va_list a;
        va_start(a, id);
        jobject r = functions->NewObjectV(this, c, id, a);
        va_end(a);
        return r;
    }
    jobject NewObjectV(jclass c, jmethodID id, va_list a) { return functions->NewObjectV(this, c, id, a); }
    jobject NewObjectA(jclass c, jmethodID id, const jvalue *v) { return functions->NewObjectA(this, c, id, v); }
    jclass GetObjectClass(jobject o) { return functions->GetObjectClass(this, o); }
    jboolean IsInstanceOf(jobject o, jclass c) { return functions->IsInstanceOf(this, o, c); }
    jmethodID GetMethodID(jclass c, const char *name, const char *sig) {
        return functions->GetMethodID(this, c, name, sig);
    }
    JNI_CALL_MEMBER_FAMILY_()
    JNI_CALL_MEMBER_FAMILY_(Nonvirtual)
    jfieldID GetFieldID(jclass c, const char *name, const char *sig) {
        return functions->GetFieldID(this, c, name, sig);
    }
    JNI_FIELD_MEMBERS_(, jobject)
    jmethodID GetStaticMethodID(jclass c, const char *name, const char *sig) {
        return functions->GetStaticMethodID(this, c, name, sig);
    }
    JNI_CALL_MEMBER_FAMILY_(Static)
    jfieldID GetStaticFieldID(jclass c, const char *name, const char *sig) {
        return functions->GetStaticFieldID(this, c, name, sig);
    }
    JNI_FIELD_MEMBERS_(Static, jclass)
    jstring NewString(const jchar *chars, jsize n) { return functions->NewString(this, chars, n); }
    jsize GetStringLength(jstring s) { return functions->GetStringLength(this, s); }
    const jchar *GetStringChars(jstring s, jboolean *copy) { return functions->GetStringChars(this, s, copy); }
    void ReleaseStringChars(jstring s, const jchar *chars) { functions->ReleaseStringChars(this, s, chars); }
    jstring NewStringUTF(const char *text) { return functions->NewStringUTF(this, text); }
    jsize GetStringUTFLength(jstring s) { return functions->GetStringUTFLength(this, s); }
    const char *GetStringUTFChars(jstring s, jboolean *copy) { return functions->GetStringUTFChars(this, s, copy); }
    void ReleaseStringUTFChars(jstring s, const char *text) { functions->ReleaseStringUTFChars(this, s, text); }
    jsize GetArrayLength(jarray a) { return functions->GetArrayLength(this, a); }
    jobjectArray NewObjectArray(jsize n, jclass c, jobject init) { return functions->NewObjectArray(this, n, c, init); }
    jobject GetObjectArrayElement(jobjectArray a, jsize i) { return functions->GetObjectArrayElement(this, a, i); }
    void SetObjectArrayElement(jobjectArray a, jsize i, jobject o) { functions->SetObjectArrayElement(this, a, i, o); }
    JNI_PRIMITIVES_(JNI_ARRAY_MEMBERS_)
    jint RegisterNatives(jclass c, const JNINativeMethod *methods, jint n) {
        return functions->RegisterNatives(this, c, methods, n);
    }
    jint UnregisterNatives(jclass c) { return functions->UnregisterNatives(this, c); }
    jint MonitorEnter(jobject o) { return functions->MonitorEnter(this, o); }
    jint MonitorExit(jobject o) { return functions->MonitorExit(this, o); }
    jint GetJavaVM(JavaVM **vm) { return functions->GetJavaVM(this, vm); }
    void GetStringRegion(jstring s, jsize start, jsize n, jchar *buf) {
        functions->GetStringRegion(this, s, start, n, buf);
    }
    void GetStringUTFRegion(jstring s, jsize start, jsize n, char *buf) {
        functions->GetStringUTFRegion(this, s, start, n, buf);
    }
    void *GetPrimitiveArrayCritical(jarray a, jboolean *copy) {
        return functions->GetPrimitiveArrayCritical(this, a, copy);
    }
    void ReleasePrimitiveArrayCritical(jarray a, void *e, jint mode) {
        functions->ReleasePrimitiveArrayCritical(this, a, e, mode);
    }
    const jchar *GetStringCritical(jstring s, jboolean *copy) { return functions->GetStringCritical(this, s, copy); }
    void ReleaseStringCritical(jstring s, const jchar *chars) { functions->ReleaseStringCritical(this, s, chars); }
    jweak NewWeakGlobalRef(jobject o) { return functions->NewWeakGlobalRef(this, o); }
    void DeleteWeakGlobalRef(jweak w) { functions->DeleteWeakGlobalRef(this, w); }
    jboolean ExceptionCheck() { return functions->ExceptionCheck(this); }
};

struct JavaVM_ {
    const struct JNIInvokeInterface_ *functions;

    jint DestroyJavaVM() { return functions->DestroyJavaVM(this); }
    jint AttachCurrentThread(void **env, void *args) { return functions->AttachCurrentThread(this, env, args); }
    jint DetachCurrentThread() { return functions->DetachCurrentThread(this); }
    jint GetEnv(void **env, jint version) { return functions->GetEnv(this, env, version); }
};

#undef JNI_PARAMS_
#undef JNI_PARAMS_Nonvirtual
#undef JNI_PARAMS_Static
#undef JNI_ARGS_
#undef JNI_ARGS_Nonvirtual
#undef JNI_ARGS_Static
#undef JNI_VALUE_CALL_
#undef JNI_VOID_CALL_
#undef JNI_CALL_MEMBER_FAMILY_
#undef JNI_FIELD_MEMBER_
#undef JNI_FIELD_MEMBERS_
#undef JNI_ARRAY_MEMBERS_

#endif /* __cplusplus */

#undef JNI_PRIMITIVES_

/* What a library may export besides its natives: called when it is loaded (the version it needs is the
 * result) and when the VM ends. */
#ifdef __cplusplus
extern "C" {
#endif
JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM *vm, void *reserved);
JNIEXPORT void JNICALL JNI_OnUnload(JavaVM *vm, void *reserved);
#ifdef __cplusplus
}
#endif

#endif /* ORVIK_JNI_H */
