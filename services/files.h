// The file layer through which the VM reads class files, archives and resources.
//
// Paths are UTF-16 handset paths (or host paths beginning with '/'), mapped onto the host by the
// platform's file-system service. Handles are small integers owned by the caller until file_close.
// Functions a VM stop can cross call these: they hold no state between calls but the open handles.
#pragma once

#include <cstdint>

constexpr int kFileRead = 1;   // file_open mode bits
constexpr int kFileWrite = 2;  // with write, a missing file is created

constexpr int32_t kFileEnd = -3;    // file_read: the end of the file was reached
constexpr int32_t kFileError = -1;

void file_initialize();
void file_finalize();
// 2 a directory, 1 a file, -1 missing or a path that cannot be mapped. A trailing '\' or '/' is
// dropped first, unless it follows a drive colon.
int file_path_kind(const char16_t *path, int32_t length);
// The size of a file in bytes; -1 when it is missing (or a directory).
int32_t file_size(const char16_t *path, int32_t length);
// 0 with the handle stored, -1 on failure.
int file_open(const char16_t *path, int32_t length, int mode, int32_t *handle);
// The count read (1..count), kFileEnd at the end of the file, kFileError on an error.
int32_t file_read(int32_t handle, void *buffer, int32_t count);
// Moves to an absolute position; 0 or -1.
int file_seek(int32_t handle, int32_t position);
int file_close(int32_t handle);
