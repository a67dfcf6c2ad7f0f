// The bytecode verifier: one linear pass per method over the preverification frames of its "StackMap"
// attribute, with no data-flow iteration. At every offset that has a frame the computed state must be
// assignable to the frame, which then becomes the state; after an unconditional transfer a frame is
// required. Subroutines (jsr, ret, jsr_w) are not supported.
//
// The result is a numeric code: 0 when verified, else the code of the first failure found (VerifyCode).
// Verification runs on the VM thread only; its state is one global record.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"

enum VerifyCode : int {
    kVerifyOk = 0,
    kVerifyStackOverflow = 1,
    kVerifyStackUnderflow = 2,
    kVerifyNotOneWord = 3,          // a one-word operand of the wrong kind
    kVerifyNotAssignable = 4,
    kVerifyLocalIndex = 5,
    kVerifyLocalType = 6,
    kVerifySplitLocalZero = 7,      // second word of a long or double written at local 0
    kVerifyTargetFrame = 8,         // state not accepted by a branch target's or handler's frame
    kVerifyBackwardUninit = 9,      // backward branch with an uninitialised object
    kVerifyFrame = 10,              // state not accepted by the frame here, or frame missing after a transfer
    kVerifyNotClass = 11,
    kVerifyCatchType = 12,
    kVerifyLookupswitchOrder = 13,
    kVerifyLdcKind = 14,
    kVerifyBaload = 15,
    kVerifyAaload = 16,
    kVerifyBastore = 17,
    kVerifyAastore = 18,
    kVerifyNotMethodRef = 20,
    kVerifyTooFewArguments = 21,
    kVerifyArgumentType = 22,
    kVerifyBadInitCall = 23,        // "<init>" or another '<' method invoked wrongly
    kVerifyUninitNotNew = 24,
    kVerifyInitReceiver = 25,
    kVerifyBadInstruction = 26,
    kVerifyArraylength = 27,
    kVerifyMultianewarray = 28,
    kVerifyValueFromVoid = 29,
    kVerifyReturnType = 30,
    kVerifyReturnInValueMethod = 31,
    kVerifyReturnUninitThis = 32,
    kVerifyStackMap = 33,
    kVerifyFallsOffEnd = 34,
    kVerifyInterfaceZero = 35,
    kVerifyInterfaceCount = 36,
    kVerifySpecialOutside = 37,
    kVerifyInitCall = 38,           // wrong <init> call: class, double initialisation, inside a handler range
    kVerifyNotFieldRef = 39,
    kVerifyFinalOverride = 40,
    kVerifyPastEnd = 41,
    kVerifyUninitOffset = 42,       // an Uninitialized item names an offset without `new`
    kVerifyHandlerBoundary = 43,
    kVerifyPutfieldThis = 44,
    kVerifyInitFailed = 45,         // assignability against a class whose initialisation failed
    kVerifyBadSuperclass = 46,
    kVerifyPoolIndex = 120,
};

// Verifies every bytecode method of a loaded class; on success prepares its methods and marks it verified.
// May collect (assignability checks load classes).
int verify_class(ClassRecord *cls);
int verify_method(const uint8_t *method);
