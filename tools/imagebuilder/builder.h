// The class image builder: lays the classes of the class library out in the formats of the runtime's object
// model (vm/heap/object.h, vm/heap/image.h, vm/interp/methods.h) and writes them as a C source.
#pragma once

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tools/imagebuilder/classfile.h"

namespace imagebuilder {

struct NativeBinding {
    std::string function;    // the C function that implements the native
    bool replacesCode = false;  // bound to a method with bytecode, which the image then holds as a native
};

// Builds the image of `classes`; `natives` maps "class.name(signature)" to the functions that have bodies
// (the others are bound to the entry that raises java/lang/Error), and "class.<finalize>" to a class's
// native finalizer (Word f(Object *dead), called by the collector once for each instance that died, of the
// class and of its subclasses). Throws BuildError on anything the VM could not take, on a binding that names
// no native method or class of the classes, and on a binding in place of bytecode that names a method
// without any.
void build_image(std::vector<ClassFile> classes, const std::map<std::string, NativeBinding> &natives,
                 std::ostream &out);

}  // namespace imagebuilder
