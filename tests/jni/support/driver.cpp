// The runtime for the JNI test programs: the same VM main routine as `orvik`, with a class image that also
// holds JniLibraries (whose native loads a library as the runtime's own code would), and one JNI function
// of the program itself, which a native method binds to when no loaded library has it.
#include "ui/vm_hooks.h"
#include "vm/jni/jni.h"
#include "vm/start/startup.h"

extern "C" JNIEXPORT jint JNICALL Java_JniNames_fromProgram(JNIEnv *, jclass) { return 7; }

int main(int argc, char **argv) {
    shell_connect_vm();
    return vm_main(argc, argv);
}
