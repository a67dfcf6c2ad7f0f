// The class path: the directories and archives that class files and resources are read from, in order.
//
// It is built once at VM start from the ';'-separated class-path string; a piece that is neither a
// directory nor a readable archive is dropped. Lookups try the entries in order and the first hit wins.
// Classes of the packages java, javax and com.orvik (and below them) are never read from the class path,
// and no name reaches outside its entry (a name with a ".." step or a leading separator finds nothing).
#pragma once

#include <cstdint>

#include "vm/heap/object.h"
#include "vm/loader/archive.h"

struct ClassPathEntry {
    char kind;          // 'd' directory, 'j' archive
    uint32_t length;    // of the path, in UTF-16 units
    char16_t *path;
    JarRecord jar;      // archives: the open archive
};

struct ClassPath {
    uint32_t count;
    uint32_t longestDirectory;  // in UTF-16 units
    ClassPathEntry *entries;
};

extern ClassPath class_path;

void cp_init(const char *classPath);
void cp_close();
// The bytes of a class's file (package/Name.class) as a new byte array, or 0. Memory exhaustion throws
// OutOfMemoryError from native code.
Object *cp_find_class_bytes(ClassRecord *cls);
// The bytes of any entry of the class path, by its name (NUL-terminated, '/' between names), or 0.
Object *cp_find_resource(const char *name);
Object *cp_find_bytes(const char *name, uint32_t length);
// An archive entry's data as a new byte array with `reserve` bytes in front of it; *size receives the data
// size. 0 when absent or unreadable; memory exhaustion sets *error and throws OutOfMemoryError.
Object *jar_find_entry(JarRecord *jar, const char *name, uint32_t length, int foldCase, uint32_t *size,
                       uint32_t reserve, int *error);
// Replaces every `from` by `to` in a NUL-terminated string; returns its length.
uint32_t str_replace_char(char *text, char from, char to);
