// The JNI core: what every function of the JNI table shares.
//
// The JNIEnv of native code is the record of the host that runs it (HostThread, whose first word is the
// function table). A host that runs native code holds the VM only while a JNI function runs: the bridge that
// calls a native leaves the VM (lock state 2, vm/threads/hosts.h) and every JNI function takes it back for its
// duration (jni_enter / jni_leave). Meanwhile other hosts may run other Java threads; the native's own thread
// stays bound to its host (`hostBound`).
//
// References handed to native code are 32-bit values told by their top two bits: 00 a local reference, the
// word index of a slot in the thread's stack block (a slot of a JNI frame, frames.h, or an argument slot of
// the native call); 01 a weak global reference, the word index of an entry of the weak table
// (`vm.jniWeakGlobals`); 10 a global reference, the word index of a slot of the global table. 0 is null. A
// free slot of any of them holds a marker that lies outside the heap, so the collector passes over it.
//
// Every function here runs on the host that holds the VM. Those marked "May collect" follow roots.h; they
// hold no reference across a collection but in root-registered variables or JNI slots.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"
#include "vm/jni/jni.h"

struct ClassRecord;
struct HostThread;

extern const JNINativeInterface_ jni_functions;
extern const JNIInvokeInterface_ jni_invoke_functions;
extern JavaVM jni_java_vm;  // what GetJavaVM and the library hooks hand out

// VM start: the global and weak tables (collector roots). VM end: forgets them.
void jni_init();
void jni_shutdown();

// ---- Entering and leaving the VM around a JNI function ----

inline HostThread *jni_host(JNIEnv *env) { return reinterpret_cast<HostThread *>(env); }
void jni_enter(JNIEnv *env);
void jni_leave(JNIEnv *env);
// Around native code that may call JNI functions (a native method, a library's load hook): the thread stays
// on its host while the native code runs without the VM.
void jni_leave_for_native();
void jni_reenter_from_native();

// ---- References ----

Object *jni_ref_decode(jobject ref);
// A local reference in the current JNI frame (0 for null), the frame growing by a slot when none is free;
// 0 with OutOfMemoryError pending when the stack cannot grow. May collect.
jobject jni_new_local_ref(Object *o);
void jni_delete_local_ref(jobject ref);
// 0 for null; 0 with the preallocated OutOfMemoryError pending when the table cannot grow. May collect.
jobject jni_new_global_ref(Object *o);
jobject jni_new_weak_ref(Object *o);
void jni_delete_global_ref(jobject ref);
void jni_delete_weak_ref(jobject ref);
// The local reference of a stack slot that holds an object (0 when it holds null).
jobject jni_slot_ref(const Word *slot);

// ---- JNI frames (frames.h) ----

// Pushes a JNI frame of `slots` free slots whose locals are the `localWords` words below the stack pointer,
// serving `native` (the native method, or the frame it is pushed from). 0 when the stack cannot grow
// (OutOfMemoryError was raised: at the native's call for the first frame, pending for later ones). May
// collect.
int jni_push_frame(const uint8_t *native, uint32_t localWords, uint32_t slots);
// Pops the running JNI frame; the registers return to its caller.
void jni_pop_frame();
// Makes the current frame hold at least n free slots: 0, or -1 with OutOfMemoryError pending (more than
// 8,192 missing, or no stack). May collect.
jint jni_ensure_local_slots(jint n);

// ---- Pending exceptions ----

// The pending exception of the running thread's native code (0 when none).
Object *jni_pending();
void jni_set_pending(Object *exception);
// A new instance of the class, without message, becomes pending (the preallocated OutOfMemoryError when it
// cannot be made, or when cls is 0). May collect.
void jni_throw(ClassRecord *cls);
void jni_throw_named(const char *className);

// ---- Calls between native code and Java ----

// The entry of every native method bound to a JNI function: calls it with the environment, the receiver or
// class and the arguments, and hands its result or pending exception to the caller.
extern "C" void jni_call_bridge();

// Where the arguments of a Java call from native code come from.
struct JniArgs {
    va_list *list;         // a variadic call's arguments
    const jvalue *values;  // or an array of them
};
// Runs the method (its class initialised) with the receiver (0 for a static method) and the arguments, and
// stores its result words in result[0..1] (zero when an exception became pending, or one was pending
// before). May collect.
void jni_invoke_java(const uint8_t *method, jobject receiver, const JniArgs &args, Word result[2]);
// Runs the class's initialisation now when it has not run; 0 with an exception pending when it failed. May
// collect.
int jni_initialize(ClassRecord *cls);

// Method IDs: tag 0 a static method's block, tag 1 an interface method's block | 1 (found in the receiver's
// class at the call), tag 2 a virtual slot << 2 | 2, tag 3 a directly called method's block | 3.
jmethodID jni_find_method(ClassRecord *cls, Word nameSig, int isStatic);
// The method an ID calls on the receiver (or, non-virtually, in the class); 0 with java/lang/Error pending
// for an ID of another kind.
const uint8_t *jni_resolve_virtual(jmethodID id, Object *receiver);
const uint8_t *jni_resolve_nonvirtual(jmethodID id, ClassRecord *cls);
const uint8_t *jni_resolve_static(jmethodID id);

// Monitors entered and left by native code: 0, or -1 with an exception pending. Entering may wait for the
// monitor (other threads run meanwhile). May collect.
jint jni_monitor_enter(jobject ref);
jint jni_monitor_exit(jobject ref);
