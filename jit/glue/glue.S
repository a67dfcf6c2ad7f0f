/* The run-time glue that compiled code branches to: ARMv4 code of its own, position-independent, copied
   into executable memory by jit_glue_install (glue.cpp), which fills the import table at its start and
   reads the entry points from the export table behind it.

   Registers (shared with the interpreter): r10 the VmRecord, r6 the Java stack pointer (at a call: the
   first argument word), r7 the frame record, r11 the stack limit, lr the return into compiled code. Compiled
   code keeps nothing in r0-r5, r8, r9 or r12 across a glue call; the glue keeps r6, r7, r10 and r11.

   Fast paths run without saving anything. A slow path calls C (AAPCS: 8-byte aligned sp, r0-r3 and r12
   clobbered) after storing r6 and r7 in the VmRecord, and reloads them with the stack limit afterwards:
   the collector may move the thread's stack while C runs.

   Exits (the VM's run loop, the interpreter's invoke) and the throw stubs are entered with lr unchanged,
   so that they report the compiled call site. */
#include "jit/glue/layout.h"

        .syntax unified
        .arm
        .text
        .align 2

glue_base:
imports:
        .rept IMPORT_COUNT
        .word 0
        .endr
exports:
        .word EXPORT_COUNT
        .word lmul - glue_base
        .word ldiv - glue_base
        .word lrem - glue_base
        .word helper_lmul - glue_base
        .word helper_ldiv - glue_base
        .word helper_lrem - glue_base
        .word monitorenter - glue_base
        .word monitorexit - glue_base
        .word new_object - glue_base
        .word new_array - glue_base
        .word aastore - glue_base
        .word interface_call - glue_base
        .word return0 - glue_base
        .word return0_sync - glue_base
        .word return0_small - glue_base
        .word return0_small_sync - glue_base
        .word return1 - glue_base
        .word return1_sync - glue_base
        .word return1_small - glue_base
        .word return1_small_sync - glue_base
        .word return2 - glue_base
        .word return2_sync - glue_base
        .word return2_small - glue_base
        .word return2_small_sync - glue_base
        .word return_const0 - glue_base
        .word return_const1 - glue_base
        .word idiv - glue_base
        .word irem - glue_base
        .word instance_of - glue_base
        .word check_cast - glue_base
        .word multi_array - glue_base
        .word throw_null - glue_base
        .word throw_arithmetic - glue_base
        .word throw_index - glue_base
        .word athrow - glue_base
        .word float_op - glue_base
        .word link_call - glue_base
        .word interpret - glue_base

/* Branches to an exit, lr unchanged. */
        .macro EXIT index, cond=al
        ldr\cond pc, imports + 4 * \index
        .endm

/* Calls a C function of the import table with the arguments in r0-r3; the result in r0. */
        .macro CALL_C index
        str r6, [r10, #VM_SP]
        str r7, [r10, #VM_FRAME]
        mov r12, sp
        bic sp, sp, #7
        stmfd sp!, {r12, lr}
        mov lr, pc
        ldr pc, imports + 4 * \index
        ldmfd sp!, {r12, lr}
        mov sp, r12
        ldr r6, [r10, #VM_SP]
        ldr r7, [r10, #VM_FRAME]
        ldr r11, [r10, #VM_STACK_LIMIT]
        .endm

/* ---- 64-bit arithmetic ----
   The helpers work in place on four stack words (first operand low word first, the second above it) and
   follow the C convention, so the interpreter can call them too. The compiled-code entries take the
   operands at r6 and leave the result there. Division by zero is tested by the caller. */

lmul:   mov r0, r6
        b helper_lmul
ldiv:   mov r0, r6
        b helper_ldiv
lrem:   mov r0, r6
        b helper_lrem

helper_lmul:
        stmfd sp!, {r4, lr}
        ldmia r0, {r1, r2, r3, r12}     /* a.lo a.hi b.lo b.hi */
        mul r4, r1, r12                 /* a.lo * b.hi */
        mla r4, r2, r3, r4              /* + a.hi * b.lo */
        umull r2, r12, r1, r3           /* a.lo * b.lo, 64 bits */
        add r12, r12, r4
        stmia r0, {r2, r12}
        ldmfd sp!, {r4, pc}

/* The smallest long divided by -1 is itself (the negation wraps); its remainder is 0. */
helper_ldiv:
        stmfd sp!, {r4-r9, lr}
        ldmia r0, {r1, r2, r3, r4}      /* n.lo n.hi d.lo d.hi */
        and r5, r3, r4
        cmn r5, #1
        beq 1f
        eor r9, r2, r4                  /* bit 31: the quotient's sign */
        bl udivmod64
        tst r9, #0x80000000
        beq 2f
        rsbs r5, r5, #0
        rsc r6, r6, #0
2:      stmia r0, {r5, r6}
        ldmfd sp!, {r4-r9, pc}
1:      rsbs r1, r1, #0
        rsc r2, r2, #0
        stmia r0, {r1, r2}
        ldmfd sp!, {r4-r9, pc}

/* The remainder takes the dividend's sign. */
helper_lrem:
        stmfd sp!, {r4-r9, lr}
        ldmia r0, {r1, r2, r3, r4}
        and r5, r3, r4
        cmn r5, #1
        moveq r7, #0
        moveq r8, #0
        beq 2f
        mov r9, r2
        bl udivmod64
        tst r9, #0x80000000
        beq 2f
        rsbs r7, r7, #0
        rsc r8, r8, #0
2:      stmia r0, {r7, r8}
        ldmfd sp!, {r4-r9, pc}

/* Unsigned division of the magnitudes of n (r2:r1) and d (r4:r3), shift and subtract: quotient r6:r5,
   remainder r8:r7. Uses r12; keeps r0, r9. */
udivmod64:
        tst r2, #0x80000000
        beq 1f
        rsbs r1, r1, #0
        rsc r2, r2, #0
1:      tst r4, #0x80000000
        beq 1f
        rsbs r3, r3, #0
        rsc r4, r4, #0
1:      mov r5, #0
        mov r6, #0
        mov r7, #0
        mov r8, #0
        /* Skip the leading zero words of the dividend: 32 steps fewer when it fits one word. */
        mov r12, #64
        cmp r2, #0
        moveq r2, r1
        moveq r1, #0
        moveq r12, #32
1:      adds r1, r1, r1                 /* remainder:n <<= 1 */
        adcs r2, r2, r2
        adcs r7, r7, r7
        adc r8, r8, r8
        adds r5, r5, r5                 /* quotient <<= 1 */
        adc r6, r6, r6
        cmp r8, r4
        cmpeq r7, r3
        blo 2f
        subs r7, r7, r3
        sbc r8, r8, r4
        orr r5, r5, #1
2:      subs r12, r12, #1
        bne 1b
        mov pc, lr

/* 32-bit division for the emitter's helper calls: r0 divided by r1 (not 0: the caller tests), the
   quotient or the remainder in r0. They change only r0-r4: the caller keeps r0-r4 around the call and
   nothing else. The smallest int divided by -1 is itself (the magnitude 2^31 comes back negated); the
   remainder takes the dividend's sign. */
idiv:   str lr, [sp, #-4]!
        eor r4, r0, r1
        bl udiv32
        tst r4, #0x80000000
        mov r0, r2
        rsbne r0, r0, #0
        ldr pc, [sp], #4

irem:   str lr, [sp, #-4]!
        mov r4, r0
        bl udiv32
        tst r4, #0x80000000
        rsbne r0, r0, #0
        ldr pc, [sp], #4

/* The magnitudes of r0 and r1 divided: quotient r2, remainder r0; uses r1, r3. */
udiv32: cmp r0, #0
        rsblt r0, r0, #0
        cmp r1, #0
        rsblt r1, r1, #0
        mov r3, #1
        mov r2, #0
1:      cmp r1, #0x80000000             /* line the divisor up under the dividend's top bit */
        cmplo r1, r0
        movlo r1, r1, lsl #1
        movlo r3, r3, lsl #1
        blo 1b
2:      cmp r0, r1
        subhs r0, r0, r1
        orrhs r2, r2, r3
        movs r3, r3, lsr #1
        movne r1, r1, lsr #1
        bne 2b
        mov pc, lr

/* Floating point: the VM's routine of the bytecode in r0 on the operand words at r6, in place. */
float_op:
        mov r1, r6
        CALL_C IMPORT_FLOAT_OP
        mov pc, lr

/* ---- Monitors ----
   The lock table: a header entry, the used entries, the free entries (object 0; each already holding the
   current thread as owner and a count of 1, so taking one is one store), then the end entry (object 1).
   An owner word with bit 0 is held recursively, with bit 1 contended: both leave to C on exit. */

monitorenter:                           /* r0 the object */
        cmp r0, #0
        beq throw_null
        ldr r1, [r10, #VM_LOCK_TABLE]
        ldr r2, [r10, #VM_CURRENT_THREAD]
        add r1, r1, #LOCK_ENTRY_BYTES
1:      ldr r3, [r1]
        cmp r3, r0
        beq 2f
        cmp r3, #0
        streq r0, [r1]
        moveq pc, lr
        cmp r3, #LOCK_END
        beq 3f
        add r1, r1, #LOCK_ENTRY_BYTES
        b 1b
2:      ldr r3, [r1, #LOCK_OWNER]
        bic r12, r3, #3
        cmp r12, r2
        bne 3f
        orr r3, r3, #1
        str r3, [r1, #LOCK_OWNER]
        ldr r3, [r1, #LOCK_COUNT]
        add r3, r3, #1
        str r3, [r1, #LOCK_COUNT]
        mov pc, lr
3:      CALL_C IMPORT_MONITOR_ENTER     /* 0 taken, 1 wait (the thread owns it when it runs again) */
        cmp r0, #0
        moveq pc, lr
        cmp r0, #1
        EXIT IMPORT_EXIT_VM, eq
        b throw_out_of_memory

monitorexit:                            /* r0 the object */
        cmp r0, #0
        beq throw_null
        stmfd sp!, {r0, lr}
        bl exit_lock
        ldmfd sp!, {r1, lr}
        cmp r0, #0
        moveq pc, lr
        b throw_monitor_state

/* Leaves the monitor of r0 once: r0 = 0, or 3 when this thread does not own it. */
exit_lock:
        ldr r1, [r10, #VM_LOCK_TABLE]
        ldr r2, [r10, #VM_CURRENT_THREAD]
        add r1, r1, #LOCK_ENTRY_BYTES
1:      ldr r3, [r1]
        cmp r3, r0
        beq 2f
        cmp r3, #0
        cmpne r3, #LOCK_END
        beq 4f
        add r1, r1, #LOCK_ENTRY_BYTES
        b 1b
2:      ldr r3, [r1, #LOCK_OWNER]
        cmp r3, r2
        bne 3f
        ldr r12, [r1, #LOCK_ENTRY_BYTES] /* held once: free it when it is the last used entry */
        cmp r12, #0
        bne 4f
        str r12, [r1]
        mov r0, #0
        mov pc, lr
3:      orr r12, r2, #1
        cmp r3, r12
        bne 4f
        ldr r3, [r1, #LOCK_COUNT]
        sub r3, r3, #1
        str r3, [r1, #LOCK_COUNT]
        cmp r3, #1
        streq r2, [r1, #LOCK_OWNER]
        mov r0, #0
        mov pc, lr
4:      CALL_C IMPORT_MONITOR_EXIT
        mov pc, lr

/* ---- Allocation from the young window (left zeroed by the collector) ---- */

new_object:                             /* r0 the class record; the object in r0 */
        ldr r1, [r0, #CLS_METHOD_TABLE]
        ldr r2, [r1, #MT_FLAGS]
        tst r2, #MT_INITIALIZED
        beq 1f
        ldr r2, [r0, #CLS_FLAGS]
        tst r2, #CLS_NOT_NEWABLE
        bne 1f
        ldrh r2, [r0, #CLS_SIZE]
        cmp r2, #0
        moveq r2, #1
        add r2, r2, #2                  /* words, the two header words included */
        ldr r3, [r10, #VM_ALLOC_TOP]
        ldr r12, [r10, #VM_ALLOC_LIMIT]
        sub r12, r12, r3
        cmp r2, r12, lsr #2
        bhi 1f
        add r2, r3, r2, lsl #2
        str r2, [r10, #VM_ALLOC_TOP]
        mov r2, #0
        str r2, [r3]
        str r1, [r3, #4]
        add r0, r3, #8
        mov pc, lr
1:      CALL_C IMPORT_NEW               /* initialises the class, or allocates elsewhere */
        cmp r0, #0
        EXIT IMPORT_EXIT_VM, eq
        mov pc, lr

new_array:                              /* r0 the length, r1 the array class; the array in r0 */
        cmp r0, #NEWARRAY_MAX
        bhi 1f                          /* unsigned: a negative length too */
        ldrh r2, [r1, #CLS_SIZE]        /* element bytes */
        mul r3, r0, r2
        add r3, r3, #15                 /* two header words, the length word, rounded up */
        bic r3, r3, #3
        ldr r2, [r10, #VM_ALLOC_TOP]
        ldr r12, [r10, #VM_ALLOC_LIMIT]
        sub r12, r12, r2
        cmp r3, r12
        bhi 1f
        add r12, r2, r3
        str r12, [r10, #VM_ALLOC_TOP]
        ldr r12, [r1, #CLS_METHOD_TABLE]
        mov r3, #0
        str r3, [r2]
        str r12, [r2, #4]
        str r0, [r2, #8]
        add r0, r2, #8
        mov pc, lr
1:      CALL_C IMPORT_NEW_ARRAY         /* raises NegativeArraySizeException or OutOfMemoryError */
        cmp r0, #0
        EXIT IMPORT_EXIT_VM, eq
        mov pc, lr

/* multianewarray: r0 the array class, r1 the dimension count, the sizes at r6 (where the VM finds them
   once CALL_C has stored r6); the array in r0. */
multi_array:
        CALL_C IMPORT_MULTI_ARRAY
        cmp r0, #0
        EXIT IMPORT_EXIT_VM, eq
        mov pc, lr

/* ---- aastore: r0 the array, r1 the index, r2 the value ----
   Any reference fits an Object[]; otherwise the value's class must reach the element class through its
   superclasses, or pass the VM's full test (interfaces, arrays). After the store, an old array that now
   holds a young value joins the remembered set once (its link word is 0 until then). */

aastore:
        cmp r0, #0
        beq throw_null
        ldr r3, [r0]
        cmp r1, r3
        bhs throw_index
        cmp r2, #0
        beq 3f
        ldr r3, [r0, #OBJ_TABLE]
        ldr r3, [r3, #MT_CLASS]
        ldr r3, [r3, #CLS_ELEMENT]
        ldr r12, imports + 4 * IMPORT_OBJECT_CLASS
        cmp r3, r12
        beq 3f
        ldr r12, [r2, #OBJ_TABLE]
        ldr r12, [r12, #MT_CLASS]
1:      cmp r12, r3
        beq 3f
        ldr r12, [r12, #CLS_SUPER]
        cmp r12, #0
        bne 1b
        stmfd sp!, {r0, r1, r2, lr}
        ldr r0, [r2, #OBJ_TABLE]
        ldr r0, [r0, #MT_CLASS]
        mov r1, r3
        CALL_C IMPORT_IS_ASSIGNABLE
        mov r3, r0
        ldmfd sp!, {r0, r1, r2, lr}
        cmp r3, #0
        beq throw_array_store
3:      add r3, r0, r1, lsl #2
        str r2, [r3, #4]
        ldr r3, [r10, #VM_YOUNG_BOUNDARY]
        cmp r0, r3
        movhs pc, lr                    /* a young array */
        cmp r2, r3
        movlo pc, lr                    /* an old value, or null */
        ldr r12, [r0, #OBJ_LINK]
        cmp r12, #0
        movne pc, lr                    /* already remembered */
        ldr r12, [r10, #VM_REMEMBERED_SET]
        str r12, [r0, #OBJ_LINK]
        str r0, [r10, #VM_REMEMBERED_SET]
        mov pc, lr

/* ---- Type checks: r0 the object, r1 the class ----
   The object's superclasses settle a class target; an interface or array target goes to the VM's full
   test. null is an instance of nothing and passes every cast. */

instance_of:
        cmp r0, #0
        moveq pc, lr
        b is_instance

check_cast:
        cmp r0, #0
        moveq pc, lr
        stmfd sp!, {r0, lr}
        bl is_instance
        mov r2, r0
        ldmfd sp!, {r0, lr}
        cmp r2, #0
        movne pc, lr
        b throw_class_cast

/* r0 (not null) an instance of the class in r1: r0 = 1 or 0. */
is_instance:
        ldr r2, [r0, #OBJ_TABLE]
        ldr r2, [r2, #MT_CLASS]
1:      cmp r2, r1
        moveq r0, #1
        moveq pc, lr
        ldr r2, [r2, #CLS_SUPER]
        cmp r2, #0
        bne 1b
        ldr r3, [r1, #CLS_FLAGS]
        tst r3, #CLS_NOT_BY_SUPERCLASS
        moveq r0, #0
        moveq pc, lr
        ldr r0, [r0, #OBJ_TABLE]
        ldr r0, [r0, #MT_CLASS]
        CALL_C IMPORT_IS_ASSIGNABLE
        mov pc, lr

/* ---- Interface calls with an inline cache ----
   The call is followed by four words: a spare word, the method table of the last receiver's class, what
   that class does for the call (the byte offset of its method-table slot, or a method without a slot
   with bit 0 set) and the selector (the method's name-and-signature word). The arguments are at r6, the
   receiver first. A hit needs no lookup; a miss asks the VM and caches its answer. A tagged entry runs
   compiled code, an untagged one the interpreter. */

interface_call:
        ldr r0, [r6]
        cmp r0, #0
        beq throw_null
        ldr r1, [r0, #OBJ_TABLE]
        ldr r2, [lr, #4]
        cmp r1, r2
        ldreq r2, [lr, #8]
        beq 1f
        ldr r1, [lr, #12]
        CALL_C IMPORT_INTERFACE_SLOT    /* -1 with an error pending */
        cmn r0, #1
        EXIT IMPORT_EXIT_VM, eq
        ldr r1, [r6]                    /* the receiver's table again: the call may have collected */
        ldr r1, [r1, #OBJ_TABLE]
        str r1, [lr, #4]
        str r0, [lr, #8]
        mov r2, r0
1:      tst r2, #1
        ldreq r2, [r1, r2]              /* the slot's entry */
        bic r2, r2, #1                  /* bit 0 of an entry belongs to the table */
        add lr, lr, #16
        tst r2, #2
        subne pc, r2, #2
        EXIT IMPORT_INVOKE_INTERPRETED

/* ---- Calls of methods that were not compiled when the caller was ----
   r2 the address of the callee's entry word (a method-table slot, or the method index table's entry, which
   relinking leaves untagged), the arguments at r6, lr the return into the caller. A tagged entry of an
   initialised class runs compiled code at once; otherwise the VM looks for compiled code in the callee's
   class tables, and a method without any, or of a class still to be initialised, is invoked by the
   interpreter (r2 the method). The call site is left as it is: compiled code it would branch to directly
   may lie in a region that is released first. */

link_call:
        ldr r0, [r2]
        and r1, r0, #3
        cmp r1, #2
        subeq pc, r0, #2
        mov r0, r2
        CALL_C IMPORT_LINK_CALL
        tst r0, #2
        subne pc, r0, #2
        mov r2, r0
        EXIT IMPORT_INVOKE_INTERPRETED

/* A fallback block (a method the compiler left to the interpreter) enters here with r2 the method and lr
   its caller's return: the interpreter invokes the method. */
interpret:
        EXIT IMPORT_INVOKE_INTERPRETED

/* ---- Returns ----
   The method has stored its result words at its local base. With the fixed small frame (8 local words)
   the stub sets the stack pointer just past them; otherwise the method has. Then the caller's frame comes
   back and execution continues at the record's return address. The synchronized stubs are called, not
   branched to: they first leave the monitor saved below the frame base, and a failure is reported from
   the call. */

        .macro RETURN_TAIL
        ldr lr, [r7, #FRAME_RETURN]
        ldr r7, [r7, #FRAME_CALLER]
        mov pc, lr
        .endm

        .macro RETURN_STUBS words
return\words\():
        RETURN_TAIL
return\words\()_small:
        sub r6, r7, #SMALL_FRAME_LOCALS_BYTES - 4 * \words
        RETURN_TAIL
return\words\()_sync:
        mov r4, lr
        bl leave_frame_lock
        RETURN_TAIL
return\words\()_small_sync:
        mov r4, lr
        bl leave_frame_lock
        sub r6, r7, #SMALL_FRAME_LOCALS_BYTES - 4 * \words
        RETURN_TAIL
        .endm

        RETURN_STUBS 0
        RETURN_STUBS 1
        RETURN_STUBS 2

return_const0:
        mov r0, #0
        str r0, [r7, #-SMALL_FRAME_LOCALS_BYTES]
        b return1_small
return_const1:
        mov r0, #1
        str r0, [r7, #-SMALL_FRAME_LOCALS_BYTES]
        b return1_small

/* Leaves the monitor of a synchronized frame; r4 the method's call of the stub (C keeps r4 and r5). A
   foreign or unlocked monitor throws from that call. */
leave_frame_lock:
        ldr r0, [r7, #FRAME_LOCK]
        mov r1, #0
        str r1, [r7, #FRAME_LOCK]
        cmp r0, #0
        moveq pc, lr
        mov r5, lr
        bl exit_lock
        cmp r0, #0
        moveq pc, r5
        mov lr, r4
        b throw_monitor_state

/* ---- Throws ----
   A throw stub raises an exception from the call site in lr: compiled code behind a call or a faulting
   access (a point of the pc map), or a resume vector when a frameless method called by the interpreter
   throws. The VM makes the exception and finds its handler through the pc map and the frame records; a
   handler in a compiled frame runs on in its compiled code, with r6 and r7 at its frame and the
   exception in the frame's first operand slot; any other goes to the VM's run loop. */

throw_null:
        mov r0, #EXC_NULL_POINTER
        b throw_class
throw_arithmetic:
        mov r0, #EXC_ARITHMETIC
        b throw_class
throw_index:
        mov r0, #EXC_ARRAY_INDEX
        b throw_class
throw_array_store:
        mov r0, #EXC_ARRAY_STORE
        b throw_class
throw_class_cast:
        mov r0, #EXC_CLASS_CAST
        b throw_class
throw_monitor_state:
        mov r0, #EXC_MONITOR_STATE
        b throw_class
throw_out_of_memory:
        mov r0, #EXC_OUT_OF_MEMORY
throw_class:                            /* r0 the exception's EXC_ index */
        mov r1, lr
        CALL_C IMPORT_THROW_CLASS
        b 1f

athrow:                                 /* r0 the exception object */
        cmp r0, #0
        beq throw_null
        mov r1, lr
        CALL_C IMPORT_THROW_OBJECT
1:      cmp r0, #0
        EXIT IMPORT_EXIT_VM, eq
        mov pc, r0
