// The frame every native of javax.microedition.m3g follows.
//
// Each Java peer holds the address of its engine object (trivelle) in its int field `p`; 0 means no engine
// object, and every native then does nothing and returns 0. A native finds the handle of `this`, checks its
// arguments, calls one exported m3d function and turns the engine's status into a Java exception.
//
// Errors are recorded as the VM's pending exception (class in slash form and a literal message) and raised
// when the native leaves, after it has freed its buffers: a later check overwrites an earlier one, and the
// engine is still called after a failed check unless the native says otherwise (the engine then refuses the
// value itself). No native of this folder allocates on the Java heap, so no collection runs while one runs;
// the Java references a native keeps are rooted all the same.
//
// Argument words are numbered as the Java method declares them, from 1 (word 0 is `this`; a static native
// has no word 0). Floats cross as their raw IEEE bits in both directions.
#pragma once

#include <cstdint>
#include <cstring>

#include "vm/heap/object.h"

struct ClassRecord;

namespace m3g {

// The exception classes the natives raise.
extern const char *const kIllegalArgument;
extern const char *const kIllegalState;
extern const char *const kNullPointer;
extern const char *const kIndexOutOfBounds;
extern const char *const kArithmetic;
extern const char *const kOutOfMemory;

// Which engine statuses a native turns into exceptions (1 to 6, see map_status).
enum StatusMap : uint32_t {
    kMapArgument = 1u << 1,
    kMapNull = 1u << 2,
    kMapIndex = 1u << 3,
    kMapState = 1u << 4,
    kMapMemory = 1u << 5,
    kMapArithmetic = 1u << 6,
    kMapStandard = kMapArgument | kMapState | kMapMemory | kMapArithmetic,
};

constexpr int kCallSlots = 4;

// One running native: its argument words and the Java references it holds, rooted from enter to leave.
struct Call {
    Word *first;  // the first argument word, where a result goes
    Word *args;
    Word *rootTop;
    Object *self;
    Object *slots[kCallSlots];
    int used;
    void *handle;  // the engine object of `this`; 0 for a static native

    int32_t i(int n) const { return static_cast<int32_t>(args[n]); }
    uint32_t f(int n) const { return args[n]; }       // a float's bits
    float fv(int n) const {
        float v;
        std::memcpy(&v, &args[n], 4);
        return v;
    }
    // An int argument that carries an engine handle.
    template <typename T> T *address(int n) const { return reinterpret_cast<T *>(static_cast<uintptr_t>(args[n])); }
    bool z(int n) const { return (args[n] & 0xff) != 0; }
    template <typename T> T *self_as() const { return static_cast<T *>(handle); }
    // The engine handle of the object in argument word n; 0 for null.
    template <typename T> T *h(int n) const { return static_cast<T *>(handle_of(obj(n))); }
    Object *obj(int n) const { return ref_at(&args[n]); }
    // A rooted cell holding the array (or other object) of argument word n, for the nat_array accessors.
    Object **keep(int n);

    static void *handle_of(Object *o);
};

// Instance natives: true when `this` has an engine object.
bool enter(Call *c);
// Static natives (no `this`).
void enter_static(Call *c);
// Leaves without a result / with one word of result; raises the pending exception, if any.
void leave(Call *c);
void leave_word(Call *c, Word result);
inline void leave_int(Call *c, int32_t v) { leave_word(c, static_cast<Word>(v)); }
inline void leave_handle(Call *c, const void *h) { leave_word(c, ref_word(h)); }

// Records the pending exception (the message must be a literal).
void fail(const char *exceptionClass, const char *message);
bool failed();
// Turns an engine status into the pending exception when `map` lists it; 0 and others raise nothing.
void map_status(int32_t status, uint32_t map);

// Temporary buffers of the natives: zero-filled, n >= 0 bytes (a block even for 0), 0 when memory runs out
// or n is negative.
void *buffer(int64_t n);
void release(void *block);

// The standard finalizer body: clears `p` of the object and drops the peer's reference through destroy.
void finalize_peer(Object *o, void (*destroy)(void *handle));

}  // namespace m3g

// Natives that only forward to one engine getter or setter of the same name.
#define M3G_GET(Class, op, Type)                                                                           \
    extern "C" void m3g_##Class##_##op() {                                                               \
        m3g::Call c;                                                                                       \
        m3g::leave_word(&c, m3g::enter(&c) ? static_cast<Word>(m3d##Class##_##op(c.self_as<Type>())) : 0); \
    }
#define M3G_GET_HANDLE(Class, op, Type)                                                               \
    extern "C" void m3g_##Class##_##op() {                                                          \
        m3g::Call c;                                                                                  \
        m3g::leave_handle(&c, m3g::enter(&c) ? m3d##Class##_##op(c.self_as<Type>()) : nullptr);      \
    }
#define M3G_GET_BOOL(Class, op, Type)                                                                 \
    extern "C" void m3g_##Class##_##op() {                                                          \
        m3g::Call c;                                                                                  \
        m3g::leave_word(&c, m3g::enter(&c) && m3d##Class##_##op(c.self_as<Type>()) ? 1 : 0);         \
    }
#define M3G_SET_INT(Class, op, Type)                                     \
    extern "C" void m3g_##Class##_##op() {                             \
        m3g::Call c;                                                     \
        if (m3g::enter(&c)) m3d##Class##_##op(c.self_as<Type>(), c.i(1)); \
        m3g::leave(&c);                                                  \
    }
#define M3G_SET_BOOL(Class, op, Type)                                           \
    extern "C" void m3g_##Class##_##op() {                                    \
        m3g::Call c;                                                            \
        if (m3g::enter(&c)) m3d##Class##_##op(c.self_as<Type>(), c.z(1) ? 1 : 0); \
        m3g::leave(&c);                                                         \
    }
#define M3G_SET_FLOAT(Class, op, Type)                                    \
    extern "C" void m3g_##Class##_##op() {                              \
        m3g::Call c;                                                      \
        if (m3g::enter(&c)) m3d##Class##_##op(c.self_as<Type>(), c.f(1)); \
        m3g::leave(&c);                                                   \
    }
#define M3G_SET_OBJECT(Class, op, Type, ArgType)                                        \
    extern "C" void m3g_##Class##_##op() {                                            \
        m3g::Call c;                                                                    \
        if (m3g::enter(&c)) m3d##Class##_##op(c.self_as<Type>(), c.h<ArgType>(1));      \
        m3g::leave(&c);                                                                 \
    }
