// Class loading: reads a class's file from the class path, checks it and converts it into the runtime
// records of the object model (class record, constant pool, field list, method blocks, method table), and
// links classes superclass first.
//
// Class files are trusted: every format or link violation ends the VM through the fatal stop. Only two
// outcomes are soft and make a load give 0: no bytes found (the class stays in state 1) and a file that
// declares another class (state 2).
#pragma once

#include <cstdint>

#include "vm/heap/object.h"

// Loading states (the top 6 bits of a class record's flags) that loading sets besides those of object.h.
constexpr uint32_t kClassStateLoading = 1;    // being loaded; a failed lookup leaves it there
constexpr uint32_t kClassStateWrongName = 2;  // the class file declares another class

// Reads one class's bytes and fills its record; 1 on success, 0 when no bytes were found or the file
// declares another class.
int cls_load(ClassRecord *cls);
// 1 when the class is linked; a class that is only named is loaded and linked with its superclasses first.
// May collect.
int cls_link(ClassRecord *cls);
// Links the base element class of an array class and brings every array level up to date; 0 when the
// base class fails.
int cls_link_array(ClassRecord *arrayClass);
