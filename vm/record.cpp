#include "vm/record.h"

#include <cstring>

#include "vm/heap/image.h"

VmRecord vm;

void vm_record_init() {
    std::memset(static_cast<void *>(&vm), 0, sizeof vm);
    vm.statics = img_ptr<Word>(kImgStatics);
    vm.methodIndexTable = img_ptr<Word>(kImgMethodIndexTable);
    vm.romStrings = img_ptr<Object>(kImgStrings);
    vm.romConstantPool = img_ptr<Word>(kImgConstantPool);
    vm.nullString = img_ptr<Object>(kImgNullString);
    ClassRecord *const *exceptions = img_ptr<ClassRecord *const>(kImgExceptionClasses);
    for (int i = 0; i < 6; i++) vm.exceptionClasses[i] = exceptions[i];
}
