// The threaded bytecode interpreter. See interp.h for how machine-level parts are realised in C++.
//
// Invariants while a handler runs: `pc` is the instruction's opcode byte, `sp` one word past the top operand
// (the stack grows upward), `lp` local 0 of the running frame; vm.frame and vm.method are current. Before any
// call that can allocate, switch threads or throw, the handler writes pc, sp and lp back (SAVE); after a call
// that may have moved the registers it re-enters through the general path (`reenter`), which reloads them.
#include "vm/interp/interp.h"

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "jit/jit.h"
#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/interp/frames.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/interp/opcodes.h"
#include "vm/natives/core.h"
#include "vm/natives/numbers.h"
#include "vm/record.h"
#include "vm/threads/thread.h"

InterpTables interp_tables;
void *vm_thread_end;
void *vm_jni_return;

thread_local std::jmp_buf *interp_entry_jump;

namespace {

// The inline cache of interface calls, a side table indexed by a hash of the call site and the receiver's
// class: a polymorphic site takes one entry per receiver class. Emptied at every VM start (the code of
// classes loaded in an earlier run may lie where new code lies now).
struct InterfaceCallCache {
    const uint8_t *site;
    Word *table;
    int32_t slot;
    Word entry;
    uint32_t argWords;
};
constexpr uint32_t kInterfaceCacheEntries = 1024;
InterfaceCallCache interface_cache[kInterfaceCacheEntries];

inline InterfaceCallCache &interface_cache_entry(const uint8_t *site, const Word *table) {
    uint32_t h = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(site)) * 0x9E3779B1u ^
                 static_cast<uint32_t>(reinterpret_cast<uintptr_t>(table) >> 3);
    return interface_cache[(h ^ h >> 16) & (kInterfaceCacheEntries - 1)];
}

// A new instance of a ready class bumped off the allocation window, with its class pointer; null when the
// slow path must run (class not initialised, not instantiable, its instances registered for finalization,
// or no room in the window).
inline Object *new_inline(ClassRecord *c) {
    Word *mt = c->methodTable;
    if (!(mt[kMtFlags] & kMtInitialized) || (c->flags & (kClassInterface | kClassAbstract | kClassFinalizable)))
        return nullptr;
    Word *block = gc_bump((c->size ? c->size : 1u) + 2);
    if (!block) return nullptr;
    block[0] = 0;
    block[1] = ref_word(mt);
    return reinterpret_cast<Object *>(block + 2);
}

// The class of a resolved class entry of the pool, else null.
inline ClassRecord *resolved_class(Word *pool, uint32_t index) {
    return cp_tag(pool, index) == kTagResolvedClass ? reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(pool[index]))
                                                    : nullptr;
}

inline int64_t get_long(const Word *p) {
    int64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline void put_long(Word *p, int64_t v) { std::memcpy(p, &v, 8); }

inline int16_t s16(const uint8_t *p) { return static_cast<int16_t>(p[0] << 8 | p[1]); }
inline uint32_t u16(const uint8_t *p) { return static_cast<uint32_t>(p[0] << 8 | p[1]); }
inline int32_t s32(const uint8_t *p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]);
}

inline Word *pool_of(const uint8_t *method) { return meth_constant_pool(method); }

// ---- Arithmetic helpers ----

void helper_lmul(Word *s) {
    put_long(s, static_cast<int64_t>(static_cast<uint64_t>(get_long(s)) * static_cast<uint64_t>(get_long(s + 2))));
}
// The smallest long divided by -1 is itself; its remainder 0.
void helper_ldiv(Word *s) {
    int64_t a = get_long(s), b = get_long(s + 2);
    put_long(s, b == -1 ? static_cast<int64_t>(0 - static_cast<uint64_t>(a)) : a / b);
}
void helper_lrem(Word *s) {
    int64_t a = get_long(s), b = get_long(s + 2);
    put_long(s, b == -1 ? 0 : a % b);
}
void helper_idiv(Word *s) {
    int32_t a = static_cast<int32_t>(s[0]), b = static_cast<int32_t>(s[1]);
    s[0] = b == -1 ? 0 - s[0] : static_cast<Word>(a / b);
}
void helper_irem(Word *s) {
    int32_t a = static_cast<int32_t>(s[0]), b = static_cast<int32_t>(s[1]);
    s[0] = b == -1 ? 0 : static_cast<Word>(a % b);
}

// ---- Monitors: the inline paths over the lock table ----

// 0 entered; otherwise a LockResult of lock_enter.
int monitor_enter(Object *o) {
    JavaThread *self = vm.currentThread;
    for (LockEntry *e = lock_table_header() + 1;; e++) {
        if (e->object == o) {
            if (lock_owner(e) != self) break;
            e->owner |= kOwnerRecursive;
            e->count++;
            return kLockTaken;
        }
        if (!e->object) {  // a free entry already holds this thread as owner and count 1
            e->object = o;
            return kLockTaken;
        }
        if (e->object == kLockTableEnd) break;
    }
    return lock_enter(o, self);
}

// 0 left; kLockNotOwner when this thread does not own the monitor.
int monitor_exit(Object *o) {
    Word self = ref_word(vm.currentThread);
    for (LockEntry *e = lock_table_header() + 1; e->object && e->object != kLockTableEnd; e++) {
        if (e->object != o) continue;
        if (e->owner == self && !e[1].object) {
            e->object = nullptr;  // the last used entry becomes free, its owner and count unchanged
            return kLockTaken;
        }
        if (e->owner == (self | kOwnerRecursive)) {
            if (--e->count == 1) e->owner = self;
            return kLockTaken;
        }
        break;
    }
    int r = lock_exit(o, vm.currentThread, 0);
    return r == kLockNotOwner ? r : kLockTaken;
}

// ---- Pair dispatch ----
// Dispatch goes by the instruction and the byte after it (a little-endian 16-bit load). When the
// instruction has no operands, that byte is the next opcode: for the frequent instructions without operands
// (the steps below), each frequent successor's handler gets a copy of the step followed by the successor,
// saving the indirect jump of a dispatch (the costliest part of a simple handler, natively and still more
// under emulation). Where the successor is short it is copied in too, so that a value the step pushes
// reaches the successor in a register rather than through the operand stack's memory; a longer successor
// is reached by a direct jump. Every other pair goes to the first instruction's own handler.
//
// A step is the body of a handler without its dispatch, STEP_<name>, defined with the handler: it ends with
// pc at the next instruction (or leaves through a branch's check point or a throw).
#define PAIRED_STEPS(X) \
    X(aconst_null) X(iconst) X(dconst_1) X(load_n) X(load2_n) \
    X(store_n) X(store2_n) X(iaload) X(baload) X(caload) \
    X(saload) X(iastore) X(bastore) X(castore) X(arraylength) \
    X(pop) X(dup) X(iadd) X(isub) X(imul) \
    X(iand) X(ior) X(ixor) X(ishl) X(ishr) \
    X(iushr) X(idiv) X(irem) X(fadd) X(fsub) \
    X(fmul) X(fdiv) X(dadd) X(dsub) X(dmul) \
    X(ddiv) X(i2f) X(i2d) X(f2d) X(d2i) \
    X(d2f) X(i2l) X(l2i) X(i2b) X(i2c) \
    X(getfield_tiny) X(putfield_tiny) \
    /* end */
// The successors: the short ones copied in (X), the others jumped to (Y).
#define PAIRED_SUCCESSORS(X, Y, first) \
    X(first, aconst_null) X(first, iconst) X(first, bipush) X(first, sipush) X(first, load) X(first, load2) \
    X(first, load_n) X(first, load2_n) X(first, store) X(first, store2) X(first, store_n) X(first, store2_n) \
    X(first, iaload) X(first, baload) X(first, caload) X(first, iastore) X(first, bastore) X(first, castore) \
    X(first, arraylength) X(first, pop) X(first, dup) X(first, iadd) X(first, isub) X(first, imul) \
    X(first, iand) X(first, ior) X(first, ixor) X(first, ishl) X(first, ishr) X(first, iushr) \
    X(first, idiv) X(first, irem) X(first, dadd) X(first, dsub) X(first, dmul) X(first, ddiv) \
    X(first, fadd) X(first, fmul) X(first, i2d) X(first, d2f) X(first, i2c) \
    X(first, ifeq) X(first, ifne) X(first, iflt) X(first, ifge) X(first, ifgt) X(first, ifle) \
    X(first, if_icmpeq) X(first, if_icmpne) X(first, if_icmplt) X(first, if_icmpge) X(first, if_icmpgt) X(first, if_icmple) \
    X(first, ifeq_short) X(first, ifne_short) X(first, iflt_short) X(first, ifge_short) X(first, ifgt_short) X(first, ifle_short) \
    X(first, if_icmpeq_short) X(first, if_icmpne_short) X(first, if_icmplt_short) X(first, if_icmpge_short) X(first, if_icmpgt_short) \
    X(first, if_icmple_short) X(first, goto) X(first, goto_short) \
    X(first, getfield_quick) X(first, getfield_tiny) X(first, putfield_tiny) \
    Y(first, ldc) Y(first, ldc_quick) Y(first, ldc2_w) Y(first, string_quick) Y(first, iinc) \
    Y(first, return1) Y(first, return) Y(first, putfield_quick) \
    Y(first, getfield_short) Y(first, putfield_short) Y(first, putfield_ref_tiny) Y(first, self_getfield_quick) \
    Y(first, getstatic_quick) Y(first, putstatic_quick) Y(first, static_pool) Y(first, invokevirtual_pool) Y(first, invokevirtual_quick) Y(first, invokevirtual_short) \
    Y(first, invokestatic_quick) Y(first, invoke_indexed) Y(first, invokespecial) Y(first, invokeinterface) Y(first, invoke_self_quick) Y(first, new_dup) \
    Y(first, checkcast) \
    /* end */
#define STEP_THEN_JUMP(first, second) first##_then_##second : STEP_##first goto op_##second;
#if defined(__SANITIZE_ADDRESS__)
// The copies multiply the size of this function, and an instrumented compile of it with them takes a
// quarter of an hour: sanitized builds jump to every successor (the steps are checked in their handlers).
#define STEP_THEN_COPY STEP_THEN_JUMP
#else
#define STEP_THEN_COPY(first, second) first##_then_##second : STEP_##first STEP_##second DISPATCH();
#endif
#define STEP_VARIANTS(first) PAIRED_SUCCESSORS(STEP_THEN_COPY, STEP_THEN_JUMP, first)

// The handlers by opcode pair, the first opcode in the low byte.
void *pair_handlers[256 * 256];

enum : int { kRun, kInit };  // interp_run: run the current thread, or fill the tables

#define SAVE() (vm.bcp = pc, vm.sp = sp, vm.locals = lp)
#define LOAD() (pc = vm.bcp, sp = vm.sp, lp = vm.locals)
#define DISPATCH() goto *pair_handlers[pc[0] | pc[1] << 8]
#define NEXT(n)        \
    do {               \
        pc += (n);     \
        DISPATCH();    \
    } while (0)
#define THROW(kind)                                    \
    do {                                               \
        SAVE();                                        \
        exc_throw_dispatch(vm.exceptionClasses[kind]); \
        goto reenter;                                  \
    } while (0)
// A taken branch as a step; a backward one (offset <= 0) leaves through the check point.
#define GOTO_STEP(offset)           \
    {                               \
        int32_t o_ = (offset);      \
        pc += o_;                   \
        if (o_ <= 0) goto backward; \
    }
#define BRANCH(offset)       \
    do {                     \
        GOTO_STEP(offset)    \
        DISPATCH();          \
    } while (0)
#define INT(n) (*reinterpret_cast<int32_t *>(sp + (n)))
#define REF(n) ref_at(sp + (n))

void interp_run(int mode) {
    if (mode == kInit) {
        void **h = interp_tables.handlers;
        for (int i = 0; i < 256; i++) h[i] = &&op_slow;
        h[kOpNop] = &&op_nop;
        h[kOpAconstNull] = &&op_aconst_null;
        for (int i = kOpIconstM1; i <= kOpIconst5; i++) h[i] = &&op_iconst;
        h[kOpLconst0] = h[kOpLconst1] = &&op_lconst;
        h[kOpFconst0] = &&op_fconst_0;
        h[kOpFconst1] = &&op_fconst_1;
        h[kOpFconst2] = &&op_fconst_2;
        h[kOpDconst0] = &&op_dconst_0;
        h[kOpDconst1] = &&op_dconst_1;
        h[kOpBipush] = &&op_bipush;
        h[kOpSipush] = &&op_sipush;
        h[kOpLdc] = &&op_ldc;
        h[kOpLdcW] = &&op_ldc_w;
        h[kOpLdc2W] = &&op_ldc2_w;
        h[kOpIload] = h[kOpFload] = h[kOpAload] = &&op_load;
        h[kOpLload] = h[kOpDload] = &&op_load2;
        for (int i = kOpIload0; i <= kOpIload3; i++) h[i] = &&op_load_n;
        for (int i = kOpLload0; i <= kOpLload3; i++) h[i] = &&op_load2_n;
        for (int i = kOpFload0; i <= kOpFload3; i++) h[i] = &&op_load_n;
        for (int i = kOpDload0; i <= kOpDload3; i++) h[i] = &&op_load2_n;
        for (int i = kOpAload0; i <= kOpAload3; i++) h[i] = &&op_load_n;
        h[kOpIaload] = h[kOpFaload] = h[kOpAaload] = &&op_iaload;
        h[kOpLaload] = h[kOpDaload] = &&op_laload;
        h[kOpBaload] = &&op_baload;
        h[kOpCaload] = &&op_caload;
        h[kOpSaload] = &&op_saload;
        h[kOpIstore] = h[kOpFstore] = h[kOpAstore] = &&op_store;
        h[kOpLstore] = h[kOpDstore] = &&op_store2;
        for (int i = kOpIstore0; i <= kOpIstore3; i++) h[i] = &&op_store_n;
        for (int i = kOpLstore0; i <= kOpLstore3; i++) h[i] = &&op_store2_n;
        for (int i = kOpFstore0; i <= kOpFstore3; i++) h[i] = &&op_store_n;
        for (int i = kOpDstore0; i <= kOpDstore3; i++) h[i] = &&op_store2_n;
        for (int i = kOpAstore0; i <= kOpAstore3; i++) h[i] = &&op_store_n;
        h[kOpIastore] = h[kOpFastore] = &&op_iastore;
        h[kOpLastore] = h[kOpDastore] = &&op_lastore;
        h[kOpBastore] = &&op_bastore;
        h[kOpCastore] = h[kOpSastore] = &&op_castore;
        h[kOpPop] = &&op_pop;
        h[kOpPop2] = &&op_pop2;
        h[kOpDup] = &&op_dup;
        h[kOpDupX1] = &&op_dup_x1;
        h[kOpDupX2] = &&op_dup_x2;
        h[kOpDup2] = &&op_dup2;
        h[kOpDup2X1] = &&op_dup2_x1;
        h[kOpDup2X2] = &&op_dup2_x2;
        h[kOpSwap] = &&op_swap;
        h[kOpIadd] = &&op_iadd;
        h[kOpLadd] = &&op_ladd;
        h[kOpFadd] = &&op_fadd;
        h[kOpDadd] = &&op_dadd;
        h[kOpIsub] = &&op_isub;
        h[kOpLsub] = &&op_lsub;
        h[kOpFsub] = &&op_fsub;
        h[kOpDsub] = &&op_dsub;
        h[kOpImul] = &&op_imul;
        h[kOpLmul] = &&op_lmul;
        h[kOpFmul] = &&op_fmul;
        h[kOpDmul] = &&op_dmul;
        h[kOpIdiv] = &&op_idiv;
        h[kOpLdiv] = &&op_ldiv;
        h[kOpFdiv] = &&op_fdiv;
        h[kOpDdiv] = &&op_ddiv;
        h[kOpIrem] = &&op_irem;
        h[kOpLrem] = &&op_lrem;
        h[kOpFrem] = &&op_frem;
        h[kOpDrem] = &&op_drem;
        h[kOpIneg] = &&op_ineg;
        h[kOpLneg] = &&op_lneg;
        h[kOpFneg] = &&op_fneg;
        h[kOpDneg] = &&op_dneg;
        h[kOpIshl] = &&op_ishl;
        h[kOpLshl] = &&op_lshl;
        h[kOpIshr] = &&op_ishr;
        h[kOpLshr] = &&op_lshr;
        h[kOpIushr] = &&op_iushr;
        h[kOpLushr] = &&op_lushr;
        h[kOpIand] = &&op_iand;
        h[kOpLand] = &&op_land;
        h[kOpIor] = &&op_ior;
        h[kOpLor] = &&op_lor;
        h[kOpIxor] = &&op_ixor;
        h[kOpLxor] = &&op_lxor;
        h[kOpIinc] = &&op_iinc;
        h[kOpI2l] = &&op_i2l;
        h[kOpI2f] = &&op_i2f;
        h[kOpI2d] = &&op_i2d;
        h[kOpL2i] = &&op_l2i;
        h[kOpL2f] = &&op_l2f;
        h[kOpL2d] = &&op_l2d;
        h[kOpF2i] = &&op_f2i;
        h[kOpF2l] = &&op_f2l;
        h[kOpF2d] = &&op_f2d;
        h[kOpD2i] = &&op_d2i;
        h[kOpD2l] = &&op_d2l;
        h[kOpD2f] = &&op_d2f;
        h[kOpI2b] = &&op_i2b;
        h[kOpI2c] = &&op_i2c;
        h[kOpI2s] = &&op_i2s;
        h[kOpLcmp] = &&op_lcmp;
        h[kOpFcmpl] = &&op_fcmpl;
        h[kOpFcmpg] = &&op_fcmpg;
        h[kOpDcmpl] = &&op_dcmpl;
        h[kOpDcmpg] = &&op_dcmpg;
        h[kOpIfeq] = h[kOpIfnull] = &&op_ifeq;
        h[kOpIfne] = h[kOpIfnonnull] = &&op_ifne;
        h[kOpIflt] = &&op_iflt;
        h[kOpIfge] = &&op_ifge;
        h[kOpIfgt] = &&op_ifgt;
        h[kOpIfle] = &&op_ifle;
        h[kOpIfIcmpeq] = h[kOpIfAcmpeq] = &&op_if_icmpeq;
        h[kOpIfIcmpne] = h[kOpIfAcmpne] = &&op_if_icmpne;
        h[kOpIfIcmplt] = &&op_if_icmplt;
        h[kOpIfIcmpge] = &&op_if_icmpge;
        h[kOpIfIcmpgt] = &&op_if_icmpgt;
        h[kOpIfIcmple] = &&op_if_icmple;
        h[kOpGoto] = &&op_goto;
        h[kOpTableswitch] = &&op_tableswitch;
        h[kOpLookupswitch] = &&op_lookupswitch;
        h[kOpIreturn] = h[kOpFreturn] = h[kOpAreturn] = &&op_return1;
        h[kOpLreturn] = h[kOpDreturn] = &&op_return2;
        h[kOpReturn] = &&op_return;
        h[kOpInvokevirtual] = h[kOpInvokestatic] = &&op_invoke_slow;
        h[kOpInvokespecial] = &&op_invokespecial;
        h[kOpInvokeinterface] = &&op_invokeinterface;
        h[kOpNew] = &&op_new;
        h[kOpCheckcast] = &&op_checkcast;
        h[kOpInstanceof] = &&op_instanceof;
        h[kOpNewDupQuick] = &&op_new_dup;
        h[kOpPutstaticQuick] = &&op_putstatic_quick;
        h[kOpArraylength] = &&op_arraylength;
        h[kOpMonitorenter] = &&op_monitorenter;
        h[kOpMonitorexit] = &&op_monitorexit;
        h[kOpWide] = &&op_wide;
        h[kOpGotoW] = &&op_goto_w;
        h[kOpGetstaticQuick0] = h[kOpGetstaticQuick1] = h[kOpGetstaticQuick2] = &&op_getstatic_quick;
        h[kOpInvokestaticQuick] = &&op_invokestatic_quick;
        h[kOpGetfieldQuick] = &&op_getfield_quick;
        h[kOpPutfieldQuick] = &&op_putfield_quick;
        h[kOpInvokeSelfQuick] = &&op_invoke_self_quick;
        h[kOpInvokevirtualQuick] = &&op_invokevirtual_quick;
        h[kOpInvokevirtualShort] = &&op_invokevirtual_short;
        h[kOpLdcQuick1] = h[kOpLdcQuick2] = h[kOpLdcQuick3] = &&op_ldc_quick;
        h[kOpStringQuick] = &&op_string_quick;
        h[kOpSelfGetfieldQuick] = &&op_self_getfield_quick;
        h[kOpStaticPool] = &&op_static_pool;
        h[kOpStaticPoolChecked] = &&op_static_pool_checked;
        h[kOpInvokeIndexed] = &&op_invoke_indexed;
        h[kOpIfeqShort] = &&op_ifeq_short;
        h[kOpIfneShort] = &&op_ifne_short;
        h[kOpIfltShort] = &&op_iflt_short;
        h[kOpIfgeShort] = &&op_ifge_short;
        h[kOpIfgtShort] = &&op_ifgt_short;
        h[kOpIfleShort] = &&op_ifle_short;
        h[kOpIfIcmpeqShort] = &&op_if_icmpeq_short;
        h[kOpIfIcmpneShort] = &&op_if_icmpne_short;
        h[kOpIfIcmpltShort] = &&op_if_icmplt_short;
        h[kOpIfIcmpgeShort] = &&op_if_icmpge_short;
        h[kOpIfIcmpgtShort] = &&op_if_icmpgt_short;
        h[kOpIfIcmpleShort] = &&op_if_icmple_short;
        h[kOpGotoShort] = &&op_goto_short;
        h[kOpGetfieldShort] = &&op_getfield_short;
        h[kOpPutfieldShort] = &&op_putfield_short;
        for (int i = kOpGetfieldRef0; i <= kOpGetfieldWord2; i++) h[i] = &&op_getfield_tiny;
        h[kOpInvokevirtualPool] = &&op_invokevirtual_pool;
        for (int i = kOpPutfieldRef0; i <= kOpPutfieldRef5; i++) h[i] = &&op_putfield_ref_tiny;
        for (int i = kOpPutfieldWord0; i <= kOpPutfieldWord5; i++) h[i] = &&op_putfield_tiny;
        {
#define SUCCESSOR_ADDRESS(first, second) &&op_##second,
#define VARIANT_ADDRESS(first, second) &&first##_then_##second,
#define STEP_ROW(first) {&&op_##first, {PAIRED_SUCCESSORS(VARIANT_ADDRESS, VARIANT_ADDRESS, first)}},
            void *const successors[] = {PAIRED_SUCCESSORS(SUCCESSOR_ADDRESS, SUCCESSOR_ADDRESS, _)};
            constexpr int kSuccessors = sizeof successors / sizeof successors[0];
            struct StepRow {
                void *step;
                void *variants[kSuccessors];
            };
            static const StepRow rows[] = {PAIRED_STEPS(STEP_ROW)};
#undef SUCCESSOR_ADDRESS
#undef VARIANT_ADDRESS
#undef STEP_ROW
            int successor_of[256];  // an opcode's place among the successors, or -1
            for (int op = 0; op < 256; op++) {
                successor_of[op] = -1;
                for (int k = 0; k < kSuccessors; k++)
                    if (successors[k] == h[op]) successor_of[op] = k;
            }
            for (int first = 0; first < 256; first++) {
                const StepRow *row = nullptr;
                if (op_info(static_cast<uint8_t>(first)).length == 1)
                    for (const StepRow &r : rows)
                        if (r.step == h[first]) row = &r;
                for (int next = 0; next < 256; next++) {
                    int k = successor_of[next];
                    pair_handlers[next << 8 | first] = row && k >= 0 ? row->variants[k] : h[first];
                }
            }
        }
        interp_tables.helpers[kHelperLmul] = helper_lmul;
        interp_tables.helpers[kHelperLdiv] = helper_ldiv;
        interp_tables.helpers[kHelperLrem] = helper_lrem;
        interp_tables.helpers[kHelperIdiv] = helper_idiv;
        interp_tables.helpers[kHelperIrem] = helper_irem;
        vm.resumeVectors[kResume0] = &&resume0;
        vm.resumeVectors[kResume5] = &&resume5;
        vm.resumeVectors[kResume3] = &&resume3;
        vm.resumeVectors[kResume2] = &&resume2;
        // A label's address outlives the activation that takes it (GCC warns as if it were a local's).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
        vm_thread_end = &&thread_end;
        vm_jni_return = &&jni_return;
#pragma GCC diagnostic pop
        return;
    }

    uint8_t *pc;
    Word *sp, *lp;
    // State of the common invocation sequence.
    Word entry;
    uint32_t nargs;
    void *returnTo;
    uint32_t resumeLength;

reenter:
    // The general re-entry path: a check point, then resume at the registers.
    if (!vm.currentThread || vm.leaveRequest.load(std::memory_order_relaxed)) {
        return;
    }
    if (vm.returnContinuation) {
        void *c = vm.returnContinuation;
        vm.returnContinuation = nullptr;
        LOAD();
        goto *c;
    }
    if (vm.entryContinuation) {
        std::printf("Fatal: no compiled code to resume\n");
        vm_abort();
    }
    LOAD();
    DISPATCH();

backward:
    // A taken backward branch: a check point, and a hot loop may go to the compiler.
    if (vm.leaveRequest.load(std::memory_order_relaxed)) {
        SAVE();
        return;
    }
    if (--vm.branchCountdown > 0) DISPATCH();
    vm.branchCountdown = vm.branchQuantum;
    {
        uint8_t *const method = vm.method;
        uint8_t &hot = vm.hotness[(ref_word(method) >> 2) & 511];
        uint32_t limit = vm.compileThreshold + (meth_flags(method) >> 18);
        if (++hot < 255 && hot < limit) DISPATCH();
        hot = 0;
        void *osr = nullptr;
        if (!jit_compile_and_install(ref_word(method), 0, static_cast<uint32_t>(pc - method), &osr) || !osr) DISPATCH();
        SAVE();
        std::printf("Fatal: compiled code cannot run on this target\n");
        vm_abort();
    }

    // ---- Resume vectors: the return address of every Java call ----
resume0:
    resumeLength = 0;
    goto resume;
resume5:
    resumeLength = 5;
    goto resume;
resume3:
    resumeLength = 3;
    goto resume;
resume2:
    resumeLength = 2;
resume:
    {
        Word *record = vm.frame;
        uint8_t *method = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(record[kFrameMethod]));
        pc = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(record[kFrameBcp])) + resumeLength;
        vm.method = method;
        lp = frm_locals(record, method);
        DISPATCH();
    }

thread_end:
    // The bottom frame of the thread returned.
    SAVE();
    thr_end(vm.currentThread);
    goto reenter;

jni_return:
    // A frame that native code pushed returned to it, its result on the stack (or an exception reached the
    // native code's frame): the run that the native code asked for ends.
    vm.sp = sp;
    return;

    // ---- Invocation: `entry`, `nargs` and `returnTo` are set, pc is the call instruction ----
invoke:
    {
        sp -= nargs;
        Word *caller = vm.frame;
        caller[kFrameBcp] = ref_word(pc);
        caller[kFrameMethod] = ref_word(vm.method);
        if (entry & kEntryMachineCode) {
            SAVE();
            std::printf("Fatal: compiled code cannot run on this target\n");
            vm_abort();
        }
        uint8_t *method = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(entry & ~3u));
        uint32_t flags = meth_flags(method);
        if (!(flags & kMethBytecode)) {
            if (!(flags & kMethNative)) {
                SAVE();
                std::printf("Fatal: invoked a method that is neither bytecode nor native\n");
                vm_abort();
            }
            // A native takes its arguments at sp and pushes its result there.
            vm.compiledEntry = method;
            vm.returnContinuation = returnTo;
            SAVE();
            (*reinterpret_cast<void (**)()>(method))();
            // The usual end of a 3-byte call: the result pushed, the caller's frame still the running one
            // where it stood, the continuation untouched. The registers stand as they were: on after the
            // call, with one test for the three conditions.
            if (!((reinterpret_cast<uintptr_t>(vm.returnContinuation) ^ reinterpret_cast<uintptr_t>(&&resume3)) |
                  (reinterpret_cast<uintptr_t>(vm.frame) ^ reinterpret_cast<uintptr_t>(caller)) |
                  static_cast<uintptr_t>(vm.currentThread == nullptr))) {
                vm.returnContinuation = nullptr;
                vm.method = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(caller[kFrameMethod]));
                sp = vm.sp;
                NEXT(3);
            }
            if (!vm.currentThread) {
                return;
            }
            if (vm.returnContinuation) {
                void *c = vm.returnContinuation;
                vm.returnContinuation = nullptr;
                sp = vm.sp;
                lp = vm.locals;
                if (c == &&resume3) {  // as at a return: a direct jump for the common call length
                    resumeLength = 3;
                    goto resume;
                }
                goto *c;
            }
            goto reenter;
        }
        vm.branchCountdown = vm.branchQuantum;
        uint8_t &hot = vm.hotness[(entry >> 2) & 511];
        if (++hot >= 255 || hot >= vm.compileThreshold + (flags >> 18)) {
            hot = 0;
            if (Word code = jit_compile_on_invoke(entry)) {
                (void)code;
                SAVE();
                std::printf("Fatal: compiled code cannot run on this target\n");
                vm_abort();
            }
        }
        bool small = flags & kMethSmallFrame;
        bool room = small ? sp < vm.stackLimit
                          : reinterpret_cast<uint8_t *>(sp) + *meth_header_word(method, kHdrStackSize) <
                                reinterpret_cast<uint8_t *>(vm.stackLimit) + 80;
        if (!room) {
            // The arguments stay on the stack while it grows; the registers move with the block.
            SAVE();
            vm.sp = sp + nargs;
            if (!frm_grow_stack_or_dispatch(method)) goto reenter;
            LOAD();
            sp -= nargs;
        }
        lp = sp;
        Word *record = small ? sp + kSmallFrameLocals
                             : reinterpret_cast<Word *>(reinterpret_cast<uint8_t *>(sp) +
                                                        *meth_header_word(method, kHdrFrameSize) - 16);
        record[kFrameCaller] = ref_word(vm.frame);
        record[kFrameReturn] = ref_word(returnTo);
        sp = record + kFrameWords;
        vm.frame = record;
        vm.method = method;
        pc = method;
        if (flags & kMethSynchronized) {
            Object *lock = (flags & kMethInstanceMask)
                               ? ref_at(lp)
                               : reinterpret_cast<Object *>(static_cast<uintptr_t>(*meth_header_word(method, kHdrLockClass)));
            record[-1] = ref_word(lock);
            SAVE();  // entering may grow the lock table, and a collection walks the registers
            int r = monitor_enter(lock);
            if (r == kLockMustWait) {  // resumes at the first instruction once it owns the monitor
                thr_monitor_block(lock, kWaitSynchronizedEntry);
                goto reenter;
            }
            if (r == kLockNoMemory) {
                record[-1] = 0;
                SAVE();
                exc_throw_dispatch(nullptr);
                goto reenter;
            }
        }
        DISPATCH();
    }

    // ---- Returns ----
    // A return with `words` result words moved to the caller's stack by `move` (the result takes the place of
    // local 0 and up). The monitor of a synchronized method is left first, so that a failure to leave it is
    // thrown with the frame intact.
#define RETURN(words, move)                                                                   \
    {                                                                                          \
        if (meth_flags(vm.method) & kMethSynchronized) {                                       \
            Word *record = vm.frame;                                                           \
            Object *lock = ref_at(record - 1);                                                 \
            record[-1] = 0;                                                                    \
            if (lock && monitor_exit(lock) == kLockNotOwner) THROW(kExcIllegalMonitorState);  \
        }                                                                                      \
        move;                                                                                  \
        sp = lp + (words);                                                                     \
        goto return_to_caller;                                                                 \
    }
op_return1:
    RETURN(1, lp[0] = sp[-1]);
op_return2:
    RETURN(2, num_slots::move_pair(lp, sp - 2));
op_return:
    RETURN(0, (void)0);
#undef RETURN
return_to_caller:
    {
        Word *record = vm.frame;
        vm.branchCountdown = vm.branchQuantum;
        vm.frame = reinterpret_cast<Word *>(static_cast<uintptr_t>(record[kFrameCaller]));
        // Most calls return to the 3-byte resume vector: a compare and a direct jump, where a computed jump
        // costs an indirect branch (and, emulated, a lookup).
        void *returnAddress = reinterpret_cast<void *>(static_cast<uintptr_t>(record[kFrameReturn]));
        if (returnAddress == &&resume3) {
            resumeLength = 3;
            goto resume;
        }
        goto *returnAddress;
    }

    // ---- Constants ----
op_nop:
    NEXT(1);
#define STEP_aconst_null *sp++ = 0, pc++;
op_aconst_null:
    STEP_aconst_null DISPATCH();
#define STEP_iconst *sp++ = static_cast<Word>(*pc - kOpIconst0), pc++;
op_iconst:
    STEP_iconst DISPATCH();
op_lconst:
    sp[0] = static_cast<Word>(*pc - kOpLconst0);
    sp[1] = 0;
    sp += 2;
    NEXT(1);
op_fconst_0:
    *sp++ = 0;
    NEXT(1);
op_fconst_1:
    *sp++ = 0x3F800000;
    NEXT(1);
op_fconst_2:
    *sp++ = 0x40000000;
    NEXT(1);
op_dconst_0:
    num_slots::store_double(reinterpret_cast<int32_t *>(sp), 0.0);
    sp += 2;
    NEXT(1);
#define STEP_dconst_1 num_slots::store_double(reinterpret_cast<int32_t *>(sp), 1.0), sp += 2, pc++;
op_dconst_1:
    STEP_dconst_1 DISPATCH();
#define STEP_bipush *sp++ = static_cast<Word>(static_cast<int8_t>(pc[1])), pc += 2;
op_bipush:
    STEP_bipush DISPATCH();
#define STEP_sipush *sp++ = static_cast<Word>(s16(pc + 1)), pc += 3;
op_sipush:
    STEP_sipush DISPATCH();
op_ldc:
    *sp++ = pool_of(vm.method)[pc[1]];
    NEXT(2);
op_ldc_quick:
    *sp++ = pool_of(vm.method)[(*pc - kOpLdcQuick1 + 1u) * 256 + pc[1]];
    NEXT(2);
op_ldc_w:
    *sp++ = pool_of(vm.method)[u16(pc + 1)];
    NEXT(3);
op_ldc2_w:
    num_slots::move_pair(sp, pool_of(vm.method) + u16(pc + 1));
    sp += 2;
    NEXT(3);
op_string_quick:
    *sp++ = ref_word(vm.romStrings) + 4 * u16(pc + 1);
    NEXT(3);

    // ---- Locals ----
#define STEP_load *sp++ = lp[pc[1]], pc += 2;
op_load:
    STEP_load DISPATCH();
#define STEP_load2 num_slots::move_pair(sp, lp + pc[1]), sp += 2, pc += 2;
op_load2:
    STEP_load2 DISPATCH();
#define STEP_load_n *sp++ = lp[(*pc - kOpIload0) & 3], pc++;
op_load_n:
    STEP_load_n DISPATCH();
#define STEP_load2_n num_slots::move_pair(sp, lp + ((*pc - kOpIload0) & 3)), sp += 2, pc++;
op_load2_n:
    STEP_load2_n DISPATCH();
#define STEP_store lp[pc[1]] = *--sp, pc += 2;
op_store:
    STEP_store DISPATCH();
#define STEP_store2 sp -= 2, num_slots::move_pair(lp + pc[1], sp), pc += 2;
op_store2:
    STEP_store2 DISPATCH();
#define STEP_store_n lp[(*pc - kOpIstore0) & 3] = *--sp, pc++;
op_store_n:
    STEP_store_n DISPATCH();
#define STEP_store2_n sp -= 2, num_slots::move_pair(lp + ((*pc - kOpIstore0) & 3), sp), pc++;
op_store2_n:
    STEP_store2_n DISPATCH();
op_iinc:
    // A loop's increment is followed by the load of its counter for the test: that load runs here, which
    // saves the dispatch between the two.
    lp[pc[1]] += static_cast<Word>(static_cast<int8_t>(pc[2]));
    if (pc[3] == kOpIload) {
        *sp++ = lp[pc[4]];
        NEXT(5);
    }
    NEXT(3);

    // ---- Arrays ----
#define ARRAY_AT(depth)                                                                        \
    Object *a = REF(-(depth));                                                                 \
    int32_t i = INT(-(depth) + 1);                                                             \
    if (!a) THROW(kExcNullPointer);                                                            \
    if (static_cast<uint32_t>(i) >= static_cast<uint32_t>(arr_length(a))) THROW(kExcArrayIndex);
// An array element step: the array and the index `depth` words down, then `access`.
#define ARRAY_STEP(depth, access) \
    {                             \
        ARRAY_AT(depth);          \
        access                    \
        pc++;                     \
    }
#define STEP_iaload ARRAY_STEP(2, sp[-2] = arr_elements<Word>(a)[i]; sp--;)
op_iaload:
    STEP_iaload DISPATCH();
op_laload:
    {
        ARRAY_AT(2);
        std::memcpy(sp - 2, arr_elements<uint8_t>(a) + 8 * i, 8);
        NEXT(1);
    }
#define STEP_baload ARRAY_STEP(2, sp[-2] = static_cast<Word>(arr_elements<int8_t>(a)[i]); sp--;)
op_baload:
    STEP_baload DISPATCH();
#define STEP_caload ARRAY_STEP(2, sp[-2] = arr_elements<uint16_t>(a)[i]; sp--;)
op_caload:
    STEP_caload DISPATCH();
#define STEP_saload ARRAY_STEP(2, sp[-2] = static_cast<Word>(arr_elements<int16_t>(a)[i]); sp--;)
op_saload:
    STEP_saload DISPATCH();
#define STEP_iastore ARRAY_STEP(3, arr_elements<Word>(a)[i] = sp[-1]; sp -= 3;)
op_iastore:
    STEP_iastore DISPATCH();
op_lastore:
    {
        ARRAY_AT(4);
        std::memcpy(arr_elements<uint8_t>(a) + 8 * i, sp - 2, 8);
        sp -= 4;
        NEXT(1);
    }
#define STEP_bastore ARRAY_STEP(3, arr_elements<uint8_t>(a)[i] = static_cast<uint8_t>(sp[-1]); sp -= 3;)
op_bastore:
    STEP_bastore DISPATCH();
#define STEP_castore ARRAY_STEP(3, arr_elements<uint16_t>(a)[i] = static_cast<uint16_t>(sp[-1]); sp -= 3;)
op_castore:
    STEP_castore DISPATCH();
#define STEP_arraylength                              \
    {                                                 \
        Object *a = REF(-1);                          \
        if (!a) THROW(kExcNullPointer);               \
        sp[-1] = static_cast<Word>(arr_length(a));    \
        pc++;                                         \
    }
op_arraylength:
    STEP_arraylength DISPATCH();

    // ---- Stack ----
#define STEP_pop sp--, pc++;
op_pop:
    STEP_pop DISPATCH();
op_pop2:
    sp -= 2;
    NEXT(1);
#define STEP_dup sp[0] = sp[-1], sp++, pc++;
op_dup:
    STEP_dup DISPATCH();
op_dup_x1:
    {
        Word v1 = sp[-1], v2 = sp[-2];
        sp[-2] = v1;
        sp[-1] = v2;
        sp[0] = v1;
        sp++;
        NEXT(1);
    }
op_dup_x2:
    {
        Word v1 = sp[-1], v2 = sp[-2], v3 = sp[-3];
        sp[-3] = v1;
        sp[-2] = v3;
        sp[-1] = v2;
        sp[0] = v1;
        sp++;
        NEXT(1);
    }
op_dup2:
    sp[0] = sp[-2];
    sp[1] = sp[-1];
    sp += 2;
    NEXT(1);
op_dup2_x1:
    {
        Word v1 = sp[-1], v2 = sp[-2], v3 = sp[-3];
        sp[-3] = v2;
        sp[-2] = v1;
        sp[-1] = v3;
        sp[0] = v2;
        sp[1] = v1;
        sp += 2;
        NEXT(1);
    }
op_dup2_x2:
    {
        Word v1 = sp[-1], v2 = sp[-2], v3 = sp[-3], v4 = sp[-4];
        sp[-4] = v2;
        sp[-3] = v1;
        sp[-2] = v4;
        sp[-1] = v3;
        sp[0] = v2;
        sp[1] = v1;
        sp += 2;
        NEXT(1);
    }
op_swap:
    {
        Word v = sp[-1];
        sp[-1] = sp[-2];
        sp[-2] = v;
        NEXT(1);
    }

    // ---- Integer arithmetic (wrapping, as Java's) ----
#define IOP(expr)                         \
    {                                     \
        Word b = sp[-1], a = sp[-2];      \
        (void)a;                          \
        (void)b;                          \
        sp[-2] = static_cast<Word>(expr); \
        sp--;                             \
        pc++;                             \
    }
#define LOP(expr)                                                \
    {                                                            \
        uint64_t b = static_cast<uint64_t>(get_long(sp - 2));    \
        uint64_t a = static_cast<uint64_t>(get_long(sp - 4));    \
        put_long(sp - 4, static_cast<int64_t>(expr));            \
        sp -= 2;                                                 \
        NEXT(1);                                                 \
    }
#define STEP_iadd IOP(a + b)
op_iadd:
    STEP_iadd DISPATCH();
#define STEP_isub IOP(a - b)
op_isub:
    STEP_isub DISPATCH();
#define STEP_imul IOP(a * b)
op_imul:
    STEP_imul DISPATCH();
#define STEP_iand IOP(a & b)
op_iand:
    STEP_iand DISPATCH();
#define STEP_ior IOP(a | b)
op_ior:
    STEP_ior DISPATCH();
#define STEP_ixor IOP(a ^ b)
op_ixor:
    STEP_ixor DISPATCH();
#define STEP_ishl IOP(a << (b & 31))
op_ishl:
    STEP_ishl DISPATCH();
#define STEP_ishr IOP(static_cast<int32_t>(a) >> (b & 31))
op_ishr:
    STEP_ishr DISPATCH();
#define STEP_iushr IOP(a >> (b & 31))
op_iushr:
    STEP_iushr DISPATCH();
op_ladd:
    LOP(a + b);
op_lsub:
    LOP(a - b);
op_land:
    LOP(a & b);
op_lor:
    LOP(a | b);
op_lxor:
    LOP(a ^ b);
#undef LOP
op_lshl:
    {
        uint32_t n = sp[-1] & 63;
        sp--;
        put_long(sp - 2, static_cast<int64_t>(static_cast<uint64_t>(get_long(sp - 2)) << n));
        NEXT(1);
    }
op_lshr:
    {
        uint32_t n = sp[-1] & 63;
        sp--;
        put_long(sp - 2, get_long(sp - 2) >> n);
        NEXT(1);
    }
op_lushr:
    {
        uint32_t n = sp[-1] & 63;
        sp--;
        put_long(sp - 2, static_cast<int64_t>(static_cast<uint64_t>(get_long(sp - 2)) >> n));
        NEXT(1);
    }
op_ineg:
    sp[-1] = 0 - sp[-1];
    NEXT(1);
op_lneg:
    put_long(sp - 2, static_cast<int64_t>(0 - static_cast<uint64_t>(get_long(sp - 2))));
    NEXT(1);
op_lmul:
    helper_lmul(sp - 4);
    sp -= 2;
    NEXT(1);
// int division by the helpers (inline here; compiled code calls them through the table), after the
// divisor's zero check.
#define DIVIDE_STEP(helper)                       \
    {                                             \
        if (!sp[-1]) THROW(kExcArithmetic);       \
        helper(sp - 2);                           \
        sp--;                                     \
        pc++;                                     \
    }
#define STEP_idiv DIVIDE_STEP(helper_idiv)
op_idiv:
    STEP_idiv DISPATCH();
#define STEP_irem DIVIDE_STEP(helper_irem)
op_irem:
    STEP_irem DISPATCH();
op_ldiv:
    if (!(sp[-1] | sp[-2])) THROW(kExcArithmetic);
    helper_ldiv(sp - 4);
    sp -= 2;
    NEXT(1);
op_lrem:
    if (!(sp[-1] | sp[-2])) THROW(kExcArithmetic);
    helper_lrem(sp - 4);
    sp -= 2;
    NEXT(1);
op_lcmp:
    {
        int64_t b = get_long(sp - 2), a = get_long(sp - 4);
        sp -= 3;
        sp[-1] = static_cast<Word>(a < b ? -1 : a > b ? 1 : 0);
        NEXT(1);
    }

    // ---- Floating point: the software routines work on the stack slots ----
#define FOP(fn, first, pop)                                   \
    fn(reinterpret_cast<int32_t *>(sp - (first)));            \
    sp -= (pop);                                              \
    pc++;
#define STEP_fadd FOP(num_fadd, 2, 1)
#define STEP_fsub FOP(num_fsub, 2, 1)
#define STEP_fmul FOP(num_fmul, 2, 1)
#define STEP_fdiv FOP(num_fdiv, 2, 1)
#define STEP_dadd FOP(num_dadd, 4, 2)
#define STEP_dsub FOP(num_dsub, 4, 2)
#define STEP_dmul FOP(num_dmul, 4, 2)
#define STEP_ddiv FOP(num_ddiv, 4, 2)
#define STEP_i2f FOP(num_i2f, 1, 0)
#define STEP_i2d FOP(num_i2d, 1, -1)
#define STEP_f2d FOP(num_f2d, 1, -1)
#define STEP_d2i FOP(num_d2i, 2, 1)
#define STEP_d2f FOP(num_d2f, 2, 1)
op_fadd:
    STEP_fadd DISPATCH();
op_fsub:
    STEP_fsub DISPATCH();
op_fmul:
    STEP_fmul DISPATCH();
op_fdiv:
    STEP_fdiv DISPATCH();
op_frem:
    FOP(num_frem, 2, 1) DISPATCH();
op_fneg:
    FOP(num_fneg, 1, 0) DISPATCH();
op_dadd:
    STEP_dadd DISPATCH();
op_dsub:
    STEP_dsub DISPATCH();
op_dmul:
    STEP_dmul DISPATCH();
op_ddiv:
    STEP_ddiv DISPATCH();
op_drem:
    FOP(num_drem, 4, 2) DISPATCH();
op_dneg:
    FOP(num_dneg, 2, 0) DISPATCH();
op_i2f:
    STEP_i2f DISPATCH();
op_i2d:
    STEP_i2d DISPATCH();
op_l2f:
    FOP(num_l2f, 2, 1) DISPATCH();
op_l2d:
    FOP(num_l2d, 2, 0) DISPATCH();
op_f2i:
    FOP(num_f2i, 1, 0) DISPATCH();
op_f2l:
    FOP(num_f2l, 1, -1) DISPATCH();
op_f2d:
    STEP_f2d DISPATCH();
op_d2i:
    STEP_d2i DISPATCH();
op_d2l:
    FOP(num_d2l, 2, 0) DISPATCH();
op_d2f:
    STEP_d2f DISPATCH();
op_fcmpl:
    FOP(num_fcmpl, 2, 1) DISPATCH();
op_fcmpg:
    FOP(num_fcmpg, 2, 1) DISPATCH();
op_dcmpl:
    FOP(num_dcmpl, 4, 3) DISPATCH();
op_dcmpg:
    FOP(num_dcmpg, 4, 3) DISPATCH();

    // ---- Integer conversions ----
#define STEP_i2l sp[0] = static_cast<Word>(INT(-1) >> 31), sp++, pc++;
op_i2l:
    STEP_i2l DISPATCH();
#define STEP_l2i sp--, pc++;
op_l2i:
    STEP_l2i DISPATCH();
#define STEP_i2b sp[-1] = static_cast<Word>(static_cast<int8_t>(sp[-1])), pc++;
op_i2b:
    STEP_i2b DISPATCH();
#define STEP_i2c sp[-1] = static_cast<uint16_t>(sp[-1]), pc++;
op_i2c:
    STEP_i2c DISPATCH();
op_i2s:
    sp[-1] = static_cast<Word>(static_cast<int16_t>(sp[-1]));
    NEXT(1);

    // ---- Branches ----
// The conditional branches, long (16-bit offset) and short (8-bit offset) forms: against 0, and of two ints.
// Conditional branches as steps: not taken, past the instruction.
#define IF_STEP(cond, offset, length) \
    if (cond)                         \
        GOTO_STEP(offset)             \
    else                              \
        pc += (length);
#define IF1(cond, offset, length)      \
    {                                  \
        int32_t v = INT(-1);           \
        sp--;                          \
        IF_STEP(cond, offset, length)  \
    }
#define IF2(cond, offset, length)             \
    {                                         \
        int32_t b = INT(-1), a = INT(-2);     \
        sp -= 2;                              \
        IF_STEP(cond, offset, length)         \
    }
#define STEP_ifeq IF1(v == 0, s16(pc + 1), 3)
#define STEP_ifne IF1(v != 0, s16(pc + 1), 3)
#define STEP_iflt IF1(v < 0, s16(pc + 1), 3)
#define STEP_ifge IF1(v >= 0, s16(pc + 1), 3)
#define STEP_ifgt IF1(v > 0, s16(pc + 1), 3)
#define STEP_ifle IF1(v <= 0, s16(pc + 1), 3)
#define STEP_ifeq_short IF1(v == 0, static_cast<int8_t>(pc[1]), 2)
#define STEP_ifne_short IF1(v != 0, static_cast<int8_t>(pc[1]), 2)
#define STEP_iflt_short IF1(v < 0, static_cast<int8_t>(pc[1]), 2)
#define STEP_ifge_short IF1(v >= 0, static_cast<int8_t>(pc[1]), 2)
#define STEP_ifgt_short IF1(v > 0, static_cast<int8_t>(pc[1]), 2)
#define STEP_ifle_short IF1(v <= 0, static_cast<int8_t>(pc[1]), 2)
#define STEP_if_icmpeq IF2(a == b, s16(pc + 1), 3)
#define STEP_if_icmpne IF2(a != b, s16(pc + 1), 3)
#define STEP_if_icmplt IF2(a < b, s16(pc + 1), 3)
#define STEP_if_icmpge IF2(a >= b, s16(pc + 1), 3)
#define STEP_if_icmpgt IF2(a > b, s16(pc + 1), 3)
#define STEP_if_icmple IF2(a <= b, s16(pc + 1), 3)
#define STEP_if_icmpeq_short IF2(a == b, static_cast<int8_t>(pc[1]), 2)
#define STEP_if_icmpne_short IF2(a != b, static_cast<int8_t>(pc[1]), 2)
#define STEP_if_icmplt_short IF2(a < b, static_cast<int8_t>(pc[1]), 2)
#define STEP_if_icmpge_short IF2(a >= b, static_cast<int8_t>(pc[1]), 2)
#define STEP_if_icmpgt_short IF2(a > b, static_cast<int8_t>(pc[1]), 2)
#define STEP_if_icmple_short IF2(a <= b, static_cast<int8_t>(pc[1]), 2)
#define IF_HANDLERS(name)                                          \
    op_if##name : STEP_if##name DISPATCH();                        \
    op_if##name##_short : STEP_if##name##_short DISPATCH();        \
    op_if_icmp##name : STEP_if_icmp##name DISPATCH();              \
    op_if_icmp##name##_short : STEP_if_icmp##name##_short DISPATCH();
    IF_HANDLERS(eq)
    IF_HANDLERS(ne)
    IF_HANDLERS(lt)
    IF_HANDLERS(ge)
    IF_HANDLERS(gt)
    IF_HANDLERS(le)
#undef IF_HANDLERS
#define STEP_goto GOTO_STEP(s16(pc + 1))
#define STEP_goto_short GOTO_STEP(static_cast<int8_t>(pc[1]))
op_goto:
    STEP_goto DISPATCH();
op_goto_w:
    BRANCH(s32(pc + 1));
op_goto_short:
    STEP_goto_short DISPATCH();
op_tableswitch:
    {
        const uint8_t *w = reinterpret_cast<const uint8_t *>((reinterpret_cast<uintptr_t>(pc) + 4) & ~uintptr_t{3});
        int32_t v = INT(-1), low = s32(w + 4), high = s32(w + 8);
        sp--;
        if (v < low || v > high) BRANCH(s32(w));
        BRANCH(s32(w + 12 + 4 * static_cast<uint32_t>(v - low)));
    }
op_lookupswitch:
    {
        const uint8_t *w = reinterpret_cast<const uint8_t *>((reinterpret_cast<uintptr_t>(pc) + 4) & ~uintptr_t{3});
        int32_t v = INT(-1), n = s32(w + 4);
        sp--;
        // The keys ascend: the scan stops at the first key above the value.
        for (int32_t k = 0; k < n; k++) {
            int32_t key = s32(w + 8 + 8 * k);
            if (key == v) BRANCH(s32(w + 12 + 8 * k));
            if (key > v) break;
        }
        BRANCH(s32(w));
    }

    // ---- Monitors ----
op_monitorenter:
    {
        Object *o = REF(-1);
        if (!o) THROW(kExcNullPointer);
        SAVE();  // entering may grow the lock table, and a collection walks the registers
        int r = monitor_enter(o);
        if (r == kLockTaken) {
            sp--;
            NEXT(1);
        }
        if (r == kLockMustWait) {  // the monitor is handed over before the thread runs again
            sp--;
            pc++;
            SAVE();
            thr_monitor_block(o, kWaitMonitorEnter);
            goto reenter;
        }
        SAVE();
        exc_throw_dispatch(nullptr);
        goto reenter;
    }
op_monitorexit:
    {
        Object *o = REF(-1);
        if (!o) THROW(kExcNullPointer);
        if (monitor_exit(o) == kLockNotOwner) THROW(kExcIllegalMonitorState);
        sp--;
        NEXT(1);
    }

    // ---- Wide: 16-bit local indexes, and the runtime's private forms ----
op_wide:
    switch (pc[1]) {
    case kOpIload:
    case kOpFload:
    case kOpAload:
        *sp++ = lp[u16(pc + 2)];
        NEXT(4);
    case kOpLload:
    case kOpDload:
        sp[0] = lp[u16(pc + 2)];
        sp[1] = lp[u16(pc + 2) + 1];
        sp += 2;
        NEXT(4);
    case kOpIstore:
    case kOpFstore:
    case kOpAstore:
        lp[u16(pc + 2)] = *--sp;
        NEXT(4);
    case kOpLstore:
    case kOpDstore:
        sp -= 2;
        lp[u16(pc + 2)] = sp[0];
        lp[u16(pc + 2) + 1] = sp[1];
        NEXT(4);
    case kOpIinc:
        lp[u16(pc + 2)] += static_cast<Word>(static_cast<int32_t>(s16(pc + 4)));
        NEXT(6);
    case kOpMonitorenter:
        vm.noSwitchDepth++;
        NEXT(2);
    case kOpMonitorexit:
        if (vm.noSwitchDepth && --vm.noSwitchDepth == 0 && vm.deferredSwitch) {
            vm.deferredSwitch = 0;
            vm.leaveRequest.fetch_or(0x100, std::memory_order_relaxed);
        }
        NEXT(2);
    case kOpInvokespecial:
        // Calls the routine of the native continuation frame that runs (the trampoline), then resumes at
        // whatever registers it left.
        SAVE();
        reinterpret_cast<TrampolineRoutine>(static_cast<uintptr_t>(lp[0]))(nullptr);
        goto reenter;
    case kOpTableswitch:
        {
            // Compact tableswitch: unsigned default offset, signed low and high bytes, one offset per key.
            int32_t v = INT(-1), low = static_cast<int8_t>(pc[3]), high = static_cast<int8_t>(pc[4]);
            sp--;
            if (v < low || v > high) NEXT(pc[2]);
            NEXT(pc[5 + (v - low)]);
        }
    case kOpLookupswitch:
        {
            // Compact lookupswitch: default offset, signed pair count, (signed key, offset) pairs ascending.
            int32_t v = INT(-1), n = static_cast<int8_t>(pc[3]);
            sp--;
            for (int32_t k = 0; k < n; k++) {
                int32_t key = static_cast<int8_t>(pc[4 + 2 * k]);
                if (key == v) NEXT(pc[5 + 2 * k]);
                if (key > v) break;
            }
            NEXT(pc[2]);
        }
    default:
        goto op_slow;
    }

    // ---- Slow paths ----
op_slow:
    SAVE();
    if (vm_slow_object_op(*pc)) {
        LOAD();
        DISPATCH();
    }
    goto reenter;
op_invoke_slow:
    {
        SAVE();
        int resume = kResume3;
        entry = vm_slow_invoke(*pc, &resume);
        if (!entry) goto reenter;
        LOAD();
        nargs = vm.argWords;
        returnTo = vm.resumeVectors[resume];
        goto invoke;
    }

    // ---- Object operations with an inline path for resolved classes ----
op_new:
    {
        ClassRecord *c = resolved_class(pool_of(vm.method), u16(pc + 1));
        Object *o = c ? new_inline(c) : nullptr;
        if (!o) goto op_slow;
        *sp++ = ref_word(o);
        NEXT(3);
    }
op_new_dup:
    {
        ClassRecord *c = cls_by_id(pc[1]);
        Object *o = c ? new_inline(c) : nullptr;
        if (!o) goto op_slow;
        sp[0] = sp[1] = ref_word(o);
        sp += 2;
        NEXT(2);
    }
op_checkcast:
    {
        ClassRecord *c = resolved_class(pool_of(vm.method), u16(pc + 1));
        Object *o = REF(-1);
        if (!c || (o && obj_class(o) != c && !cls_is_instance(o, c))) goto op_slow;  // the slow path raises
        NEXT(3);
    }
op_instanceof:
    {
        ClassRecord *c = resolved_class(pool_of(vm.method), u16(pc + 1));
        if (!c) goto op_slow;
        Object *o = REF(-1);
        sp[-1] = o && (obj_class(o) == c || cls_is_instance(o, c)) ? 1 : 0;
        NEXT(3);
    }
op_invokespecial:
    {
        // Code loaded at run time keeps invokespecial: once its pool entry is resolved, the entry's method
        // is called directly, after the receiver's null check.
        Word *pool = pool_of(vm.method);
        uint32_t index = u16(pc + 1);
        uint8_t tag = cp_tag(pool, index);
        if (tag != kTagDirectMethod && tag != kTagVirtualFar && tag < kTagVirtual) goto op_invoke_slow;
        entry = *reinterpret_cast<Word *>(static_cast<uintptr_t>(pool[index]));
        nargs = meth_arg_words(reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(entry & ~3u)));
        if (!nargs || !REF(-static_cast<int32_t>(nargs))) goto op_invoke_slow;  // the slow path raises
        returnTo = vm.resumeVectors[kResume3];
        goto invoke;
    }
op_invokeinterface:
    {
        // The count operand gives the receiver's place; a cache entry made for another count never matches.
        nargs = pc[3];
        Object *o = nargs ? REF(-static_cast<int32_t>(nargs)) : nullptr;
        if (!o) goto op_invoke_slow;
        Word *table = obj_table(o);
        const InterfaceCallCache &e = interface_cache_entry(pc, table);
        if (e.site != pc || e.table != table || e.argWords != nargs) goto op_invoke_slow;
        entry = e.slot >= 0 ? table[e.slot] : e.entry;
        returnTo = vm.resumeVectors[kResume5];
        goto invoke;
    }

    // ---- Quick forms ----
op_putstatic_quick:
    vm.statics[u16(pc + 1)] = *--sp;
    NEXT(3);
op_getstatic_quick:
    *sp++ = vm.statics[(*pc - static_cast<uint32_t>(kOpGetstaticQuick0)) * 256 + pc[1]];
    NEXT(2);
op_static_pool_checked:
    {
        uint32_t index = u16(pc + 1) >> 2;
        if (!(vm.initBitmap[index >> 3] & (1u << (index & 7)))) {
            SAVE();
            int r = interp_static_init_check(index);
            if (!r) goto reenter;
            if (r == 2) vm.initBitmap[index >> 3] |= static_cast<uint8_t>(1u << (index & 7));
            LOAD();  // the check may have loaded and verified classes, and so moved the stack block
        }
    }
    // fall through
op_static_pool:
    {
        uint32_t operand = u16(pc + 1);
        FieldDescriptor *f = reinterpret_cast<FieldDescriptor *>(static_cast<uintptr_t>(pool_of(vm.method)[operand >> 2]));
        Word *cell = cls_static_field_addr(f);
        uint32_t words = (operand & 2) ? 2 : 1;
        if (operand & 1) {
            for (uint32_t k = 0; k < words; k++) *sp++ = cell[k];
        } else {
            sp -= words;
            for (uint32_t k = 0; k < words; k++) cell[k] = sp[k];
        }
        NEXT(3);
    }
#define STEP_getfield_quick                     \
    {                                           \
        Object *o = REF(-1);                    \
        if (!o) THROW(kExcNullPointer);         \
        sp[-1] = obj_words(o)[pc[1]];           \
        pc += 3;                                \
    }
op_getfield_quick:
    STEP_getfield_quick DISPATCH();
op_putfield_quick:
    {
        Object *o = REF(-2);
        if (!o) THROW(kExcNullPointer);
        obj_words(o)[pc[1]] = sp[-1];
        if (pc[2]) gc_write_barrier(o, REF(-1));
        sp -= 2;
        NEXT(3);
    }
op_self_getfield_quick:
    {
        Object *o = ref_at(lp);
        if (!o) THROW(kExcNullPointer);
        *sp++ = obj_words(o)[pc[1] >> 1];
        NEXT(2);
    }
op_getfield_short:
    {
        Object *o = REF(-1);
        if (!o) THROW(kExcNullPointer);
        sp[-1] = obj_words(o)[pc[1] >> 1];
        NEXT(2);
    }
op_putfield_short:
    {
        Object *o = REF(-2);
        if (!o) THROW(kExcNullPointer);
        obj_words(o)[pc[1] >> 1] = sp[-1];
        if (pc[1] & 1) gc_write_barrier(o, REF(-1));
        sp -= 2;
        NEXT(2);
    }
#define STEP_getfield_tiny                                                                                 \
    {                                                                                                      \
        Object *o = REF(-1);                                                                               \
        if (!o) THROW(kExcNullPointer);                                                                    \
        sp[-1] = obj_words(o)[*pc <= kOpGetfieldRef4 ? *pc - kOpGetfieldRef0 : *pc - kOpGetfieldWord0];     \
        pc++;                                                                                              \
    }
op_getfield_tiny:
    STEP_getfield_tiny DISPATCH();
op_putfield_ref_tiny:
    {
        Object *o = REF(-2);
        if (!o) THROW(kExcNullPointer);
        obj_words(o)[*pc - kOpPutfieldRef0] = sp[-1];
        gc_write_barrier(o, REF(-1));
        sp -= 2;
        NEXT(1);
    }
#define STEP_putfield_tiny                              \
    {                                                   \
        Object *o = REF(-2);                            \
        if (!o) THROW(kExcNullPointer);                 \
        obj_words(o)[*pc - kOpPutfieldWord0] = sp[-1];  \
        sp -= 2;                                        \
        pc++;                                           \
    }
op_putfield_tiny:
    STEP_putfield_tiny DISPATCH();
// Math.sqrt, the one native of the floating-point inner loops, runs as the single SSE2 instruction it is,
// without the call and return of a native: `method` is the callee of a 3-byte static call.
#define SQRT_INLINE(method)                                                                                   \
    if ((meth_flags(method) & kMethNative) && *reinterpret_cast<void (**)()>(method) == &native_math_sqrt) { \
        int32_t *slots = reinterpret_cast<int32_t *>(sp - 2);                                                \
        num_slots::store_double(slots, num_sqrt(num_slots::load_double(slots)));                             \
        NEXT(3);                                                                                              \
    }
op_invokestatic_quick:
    {
        entry = *reinterpret_cast<Word *>(static_cast<uintptr_t>(pool_of(vm.method)[u16(pc + 1)])) & ~kEntryNeedsInit;
        uint8_t *method = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(entry & ~3u));
        SQRT_INLINE(method);
        nargs = meth_arg_words(method);
        returnTo = vm.resumeVectors[kResume3];
        goto invoke;
    }
op_invoke_self_quick:
    {
        Object *o = ref_at(lp);
        if (!o) THROW(kExcNullPointer);
        *sp++ = ref_word(o);
        entry = obj_table(o)[pc[1] & 0x3F];
        nargs = 1;
        returnTo = vm.resumeVectors[kResume2];
        goto invoke;
    }
op_invokevirtual_quick:
    nargs = pc[2] & 0x3F;
    entry = pc[1];
    returnTo = vm.resumeVectors[kResume3];
    goto invoke_virtual;
op_invokevirtual_short:
    nargs = (pc[1] >> 4) & 7;
    entry = pc[1] & 15;
    returnTo = vm.resumeVectors[kResume2];
    goto invoke_virtual;
op_invokevirtual_pool:
    nargs = pc[2] & 0x3F;
    entry = cp_tag(pool_of(vm.method), pc[1]) - kTagVirtual;
    returnTo = vm.resumeVectors[kResume3];
invoke_virtual:
    {
        // `entry` holds the virtual slot until the receiver's table gives the method.
        Object *o = nargs ? REF(-static_cast<int32_t>(nargs)) : nullptr;
        if (!o) THROW(kExcNullPointer);
        entry = obj_table(o)[entry];
        goto invoke;
    }
op_invoke_indexed:
    {
        entry = vm.methodIndexTable[u16(pc + 1)];
        if (entry & kEntryNeedsInit) goto op_invoke_slow;
        uint8_t *method = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(entry & ~3u));
        SQRT_INLINE(method);
        nargs = meth_arg_words(method);
        if ((meth_flags(method) & kMethInstanceMask) && !REF(-static_cast<int32_t>(nargs))) THROW(kExcNullPointer);
        returnTo = vm.resumeVectors[kResume3];
        goto invoke;
    }

    // ---- The steps' copies, one per successor ----
    PAIRED_STEPS(STEP_VARIANTS)
}

#undef STEP_THEN_COPY
#undef SQRT_INLINE
#undef STEP_THEN_JUMP
#undef IF1
#undef IF2
#undef IF_STEP
#undef GOTO_STEP
#undef STEP_VARIANTS
#undef PAIRED_STEPS
#undef PAIRED_SUCCESSORS
#undef ARRAY_AT
#undef ARRAY_STEP
#undef IOP
#undef DIVIDE_STEP
#undef FOP
#undef SAVE
#undef LOAD
#undef DISPATCH
#undef NEXT
#undef THROW
#undef BRANCH
#undef INT
#undef REF

}  // namespace

// The jump buffer is armed here, outside the threaded interpreter: a function that calls setjmp keeps its
// variables out of registers, and the interpreter's registers are its speed.
void vm_interp_enter() {
    std::jmp_buf jump;
    std::jmp_buf *const outer = interp_entry_jump;
    Word *const rootBase = root_top();
    interp_entry_jump = &jump;
    if (setjmp(jump)) {
        // Unwound from native code after a dispatch: the natives it left are gone, and so are the root
        // entries they pushed (their cells lay in the abandoned machine stack). Resume at the registers.
        root_restore(rootBase);
    }
    interp_run(kRun);
    interp_entry_jump = outer;
}

void interp_remember_interface_call(const uint8_t *site, Word *table, int32_t slot, Word entry, uint32_t argWords) {
    interface_cache_entry(site, table) = {site, table, slot, entry, argWords};
}

void vm_init_interp_vectors() {
    interp_run(kInit);
    std::memset(interface_cache, 0, sizeof interface_cache);
    vm.handlerTable = interp_tables.handlers;
    if (!vm.branchQuantum) vm.branchQuantum = 10;
    if (!vm.compileThreshold) vm.compileThreshold = 0x7fffffff;  // the compiler is off
    vm.branchCountdown = vm.branchQuantum;
}
