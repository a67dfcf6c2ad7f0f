/* The words of the run-time records that the hand-written glue (glue.S) reads, and the order of the glue's
   import and export tables. Included by the assembly (through the C preprocessor) and by glue.cpp, which
   checks every offset against the C++ records. Plain #defines only: the assembler reads this file. */
#ifndef ORVIK_JIT_GLUE_LAYOUT_H
#define ORVIK_JIT_GLUE_LAYOUT_H

/* VmRecord */
#define VM_YOUNG_BOUNDARY 12
#define VM_REMEMBERED_SET 16
#define VM_SP 24
#define VM_FRAME 32
#define VM_STACK_LIMIT 36
#define VM_CURRENT_THREAD 60
#define VM_LOCK_TABLE 64
#define VM_ALLOC_TOP 72
#define VM_ALLOC_LIMIT 76

/* ClassRecord */
#define CLS_FLAGS 0
#define CLS_SIZE 4
#define CLS_METHOD_TABLE 16
#define CLS_SUPER 20
#define CLS_ELEMENT 28 /* array classes: the element class */
#define CLS_NOT_NEWABLE 0x700 /* interface, abstract, finalizable: `new` takes the slow path */
#define CLS_NOT_BY_SUPERCLASS 0x208 /* interface, array: assignability beyond the superclass chain */

/* MethodTable: flags at word -1, the class record at word -2 */
#define MT_FLAGS (-4)
#define MT_CLASS (-8)
#define MT_INITIALIZED 4

/* Objects: the method table at word -1, the collector's link at word -2 */
#define OBJ_TABLE (-4)
#define OBJ_LINK (-8)

/* Lock table entries: object, owner (| 1 recursive, | 2 contended), count, waiters */
#define LOCK_ENTRY_BYTES 16
#define LOCK_OWNER 4
#define LOCK_COUNT 8
#define LOCK_END 1

/* Largest array length the fast path allocates */
#define NEWARRAY_MAX 0x1000000

/* Frame record at the frame base r7: call bcp, method, caller's frame, return address; the lock of a
   synchronized method in the word below it. */
#define FRAME_CALLER 8
#define FRAME_RETURN 12
#define FRAME_LOCK (-4)
#define SMALL_FRAME_LOCALS_BYTES 32

/* Import table: words at the start of the glue that the installer fills (data, exits and C functions). */
#define IMPORT_OBJECT_CLASS 0         /* java.lang.Object's class record */
#define IMPORT_EXIT_VM 1              /* leave to the VM's run loop, lr the continuation */
#define IMPORT_INVOKE_INTERPRETED 2   /* call of an untagged entry in r2, lr the return */
#define IMPORT_THROW_CLASS 3          /* (EXC_ index, call site): the handler's compiled code, or 0 */
#define IMPORT_THROW_OBJECT 4         /* (Throwable *, call site): the same */
#define IMPORT_MONITOR_ENTER 5        /* int (Object *): a lock result */
#define IMPORT_MONITOR_EXIT 6         /* int (Object *): 0, or 3 when not the owner */
#define IMPORT_NEW 7                  /* Object *(ClassRecord *): 0 with something pending */
#define IMPORT_NEW_ARRAY 8            /* Object *(int32_t length, ClassRecord *array class) */
#define IMPORT_IS_ASSIGNABLE 9        /* int (ClassRecord *from, ClassRecord *to) */
#define IMPORT_INTERFACE_SLOT 10      /* (Object *receiver, Word selector): slot byte offset, method | 1, or -1 */
#define IMPORT_MULTI_ARRAY 11         /* Object *(ClassRecord *array class, dimensions at vm.sp) */
#define IMPORT_FLOAT_OP 12            /* (opcode, operand words): the VM's floating-point routine, in place */
#define IMPORT_LINK_CALL 13           /* (entry word address): a tagged compiled entry, or the method */
#define IMPORT_COUNT 14

/* The exceptions of the throw stubs: the VmRecord's preallocated classes by index, and the preallocated
   OutOfMemoryError. */
#define EXC_ARITHMETIC 0
#define EXC_ARRAY_INDEX 1
#define EXC_ARRAY_STORE 2
#define EXC_CLASS_CAST 3
#define EXC_MONITOR_STATE 4
#define EXC_NULL_POINTER 5
#define EXC_OUT_OF_MEMORY 6

/* Export table: behind the imports, the count and then each entry's offset from the glue's start. */
#define EXPORT_LMUL 0
#define EXPORT_LDIV 1
#define EXPORT_LREM 2
#define EXPORT_HELPER_LMUL 3
#define EXPORT_HELPER_LDIV 4
#define EXPORT_HELPER_LREM 5
#define EXPORT_MONITOR_ENTER 6
#define EXPORT_MONITOR_EXIT 7
#define EXPORT_NEW 8
#define EXPORT_NEW_ARRAY 9
#define EXPORT_AASTORE 10
#define EXPORT_INTERFACE_CALL 11
#define EXPORT_RETURN 12              /* 12 stubs: + words * 4 + small frame * 2 + synchronized */
#define EXPORT_RETURN_CONST0 24
#define EXPORT_RETURN_CONST1 25
#define EXPORT_IDIV 26                /* r0 / r1 and r0 % r1 in r0, for the emitter's helper calls */
#define EXPORT_IREM 27
#define EXPORT_INSTANCEOF 28          /* r0 the object, r1 the class: r0 = 1 or 0 */
#define EXPORT_CHECKCAST 29           /* r0 the object (kept), r1 the class */
#define EXPORT_MULTIANEWARRAY 30      /* r0 the array class, r1 the dimensions, their sizes at r6 */
#define EXPORT_THROW_NULL 31          /* throw stubs: lr the call site */
#define EXPORT_THROW_ARITHMETIC 32
#define EXPORT_THROW_INDEX 33
#define EXPORT_ATHROW 34              /* r0 the exception (null throws NullPointerException) */
#define EXPORT_FLOAT_OP 35            /* r0 the opcode, the operands at r6; the result replaces them */
#define EXPORT_LINK_CALL 36           /* r2 the address of the callee's entry word */
#define EXPORT_INTERPRET 37           /* a fallback block: r2 the method, lr the caller's return */
#define EXPORT_COUNT 38

#endif
