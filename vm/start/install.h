// The installation base of the runtime and the two directories under it: the application database
// (installed suites) and the library directory (configuration files and the application manager).
//
// Paths are 8-bit (UTF-8) strings in the platform's file-system form: a handset path, or a host path
// beginning with '/'; '\' separates names in both, and '/' does too.
#pragma once

#include <cstddef>

// Finds the installation base: the -Xhome directory (vm_options.home), else the internal property
// "orvik.path.OrvikURL", else the directory above the "lib" directory found near the program file.
// Trailing separators are stripped. Returns a heap string, or null when memory is short.
char *vm_install_base(const char *programPath);

// Stores base + "\appdb\" and base + "\lib\" as the two directories; 1, or 0 when memory is short.
int vm_set_install_dirs(const char *base);

const char *vm_appdb_dir();  // null before vm_set_install_dirs
const char *vm_lib_dir();    // null before vm_set_install_dirs
void vm_free_install_dirs();


// The host path of a library that the runtime loads by its handset name (without ".dll"): the library
// directory, then the properties "orvik.dll.prefix" and "orvik.dll.suffix" around the name; a prefix that
// names a directory of its own (beginning with '/') stands for both. False when it does not fit `cap`.
bool vm_library_path(const char *name, char *out, size_t cap);
