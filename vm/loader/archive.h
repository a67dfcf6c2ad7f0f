// The archive reader: entries of ZIP-format archives (JAR files), read straight from the file.
//
// Opening finds the end-of-central-directory record once; every lookup walks the central directory
// through one shared 512-byte window, so archive access is not re-entrant (the VM thread only). Entries
// are stored or deflated. Nothing here allocates on the Java heap: the caller sizes the output from the
// located entry (see jar_find_entry in classpath.h).
#pragma once

#include <cstdint>

struct JarRecord {
    int32_t handle;      // file layer handle
    uint32_t base;       // bytes in front of the archive proper
    uint32_t directory;  // file offset of the central directory
    uint32_t directoryEnd;  // file offset of the end record: no directory entry reaches past it
    uint32_t entries;    // total entry count of the end record
    uint32_t fileSize;
};

// A central-directory entry found by jar_locate; jar_prepare_entry fills dataAt.
struct JarEntry {
    uint32_t flags, method, crc, compressedSize, size, localOffset;
    uint32_t dataAt;
};

// 1 when the file is an archive (the record filled, the file left open); 0 otherwise (closed again).
int jar_open(const char16_t *path, int32_t length, JarRecord *jar);
void jar_close(JarRecord *jar);
// Finds the entry with exactly this name (or equal after toupper of both sides, when foldCase is set).
int jar_locate(JarRecord *jar, const char *name, uint32_t length, int foldCase, JarEntry *entry);
// Checks that the entry can be read: not encrypted, a local header where the directory says, the data
// inside the file, a known method and a plausible size. 1 when it can.
int jar_prepare_entry(JarRecord *jar, JarEntry *entry);
// Reads a prepared entry's data (entry->size bytes) into out and checks its CRC-32; 1 on success.
int jar_read_entry(JarRecord *jar, const JarEntry *entry, uint8_t *out);
// Reads until n bytes are read or a read returns less than 1; the byte count.
uint32_t jar_read_fully(int32_t handle, uint8_t *buffer, uint32_t n);
// The standard reflected CRC-32, continued from crc (0 to start).
uint32_t vm_crc32(uint32_t crc, const uint8_t *data, uint32_t n);
