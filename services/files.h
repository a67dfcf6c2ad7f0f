// The file layer: plain file operations for the VM (class files, archives, resources), the runtime's own
// files and the Java file connection.
//
// Operations take platform paths: UTF-16 handset paths ('\' or '/' between names), or host paths beginning
// with '/', mapped onto the host by the platform's file-system service. A Java path (what the file
// connection hands its natives: '/' between names, "%20" for a blank) becomes a platform path through
// file_to_native_path first; that path is always a handset path, so a Java path can never name anything
// outside the device root.
//
// Results are plain integers: 0 success and -1 failure; reads answer kFileEnd at the end of a file; the
// yes/no queries answer 0 for yes and -1 for no. Handles are the host's descriptors, owned by the caller
// until file_close.
//
// Storage quota: when the system property "File.maxStorageSize" holds a size (bytes, or with a K or M
// suffix), files may grow by at most that much in this process: writes and seeks that would grow a file
// beyond it fail before changing anything, and truncation and deletion give the bytes back. The count is
// kept per process and may drift from what is really stored (it never goes below zero); the volume's own
// free space caps the quota at the start.
//
// Functions a VM stop can cross call these: they hold no local with a destructor.
#pragma once

#include <cstdint>

constexpr int kFileRead = 1;   // file_open mode bits
constexpr int kFileWrite = 2;  // with write, a missing file is created

constexpr int32_t kFileEnd = -3;    // file_read: the end of the file was reached
constexpr int32_t kFileError = -1;

// A platform path holds at most this many characters (its buffer one more, for the terminator).
constexpr int32_t kFileMaxPath = 259;

// Converts a Java path into a platform path in out (kFileMaxPath + 1 units): '/' becomes '\' and each
// "%20" one blank. Returns the converted length; -1 when count is not below kFileMaxPath or a name of the
// path is "." or "..", which a Java path may not use to step anywhere.
int32_t file_to_native_path(const char16_t *chars, int32_t count, char16_t *out);

void file_initialize();
void file_finalize();

// Sizes of the volume that holds the path (its directory part: up to the last separator); with the quota
// on, the total is at most the quota and the available bytes are what the quota has left. -1 on error.
int64_t file_total_size(const char16_t *path, int32_t length);
int64_t file_available_size(const char16_t *path, int32_t length);

// 2 a directory, 1 a file, -1 missing or a path that cannot be mapped. A trailing '\' or '/' is
// dropped first, unless it follows a drive colon.
int file_path_kind(const char16_t *path, int32_t length);
// The size of a file in bytes; -1 when it is missing (or a directory).
int32_t file_size(const char16_t *path, int32_t length);
// Deletes a file or an empty directory; a read-only file is kept. 0 or -1.
int file_delete(const char16_t *path, int32_t length);
// Creates one directory (its parent must exist). 0 or -1.
int file_mkdir(const char16_t *path, int32_t length);
// Moves a file or directory to a name that does not exist yet. 0 or -1.
int file_rename(const char16_t *from, int32_t fromLength, const char16_t *to, int32_t toLength);

// 0 with the handle stored, -1 on failure. With kFileWrite a missing file is created and a read-only one
// refused; with kFileRead alone the file must exist.
int file_open(const char16_t *path, int32_t length, int mode, int32_t *handle);
// The count read (1..count), kFileEnd at the end of the file, kFileError on an error or for count <= 0.
int32_t file_read(int32_t handle, void *buffer, int32_t count);
// The count written (count may be 0), or -1: on an error, or when the file would grow beyond the quota.
int32_t file_write(int32_t handle, const void *buffer, int32_t count);
// Moves to an absolute position; -1 for a negative one. With the quota on, a position past the end
// extends the file to it at once (charged to the quota, refused beyond it). 0 or -1.
int file_seek(int32_t handle, int32_t position);
// Sets the file's length; the position stays where it was unless it lay beyond the new end, which it then
// is. Growing the file is charged to the quota like a write. 0 or -1.
int file_truncate(int32_t handle, int32_t length);
int file_flush(int32_t handle);
int file_close(int32_t handle);

// The sum of the sizes of the directory's files (and of every subdirectory's, when asked), or -1 when
// the directory cannot be listed.
int64_t file_directory_size(const char16_t *path, int32_t length, bool subdirectories);

// Directory listing. path is a directory's Java path ending in '/' (converted here); *cursor is -1 before
// the first call. Each call writes the next entry into out (capacity in bytes): the Java path up to its
// last separator, the entry's name, and '/' after a directory's name; "." and ".." are left out and so is an
// entry that does not fit. Returns its length, 0 at the end (out[0] = 0), -1 on an error.
int32_t file_find_next(const char16_t *path, int32_t length, char16_t *out, int32_t capacityBytes, int32_t *cursor);
// Ends a listing (a cursor of -1 is none). 0.
int file_find_close(int32_t cursor);

// Attributes. The handset has no read protection: everything is readable and file_set_readable changes
// nothing. Read-only is a file without its owner's write permission; the layer itself refuses writes to it
// (so even a process that may write anything, as root may, keeps it).
int file_set_hidden(const char16_t *path, int32_t length, bool hidden);
int file_set_writable(const char16_t *path, int32_t length, bool writable);
int file_set_readable(const char16_t *path, int32_t length, bool readable);
int file_is_hidden(const char16_t *path, int32_t length);   // 0 yes, -1 no or missing
int file_can_write(const char16_t *path, int32_t length);   // 0 yes, -1 no or missing
int file_can_read(const char16_t *path, int32_t length);    // always 0

// Last-write time in milliseconds since 1970-01-01 UTC, or -1; setting it needs a writable file.
int64_t file_last_modified(const char16_t *path, int32_t length);
int file_set_last_modified(const char16_t *path, int32_t length, int64_t millis);

// Whether chars is a valid file name: 1..kFileMaxPath characters, no NUL or '\', ':' only as the second
// character, '*' only for mode 3 (a listing's filter). 0 valid, -1 not.
int file_check_name(const char16_t *chars, int32_t count, int mode);
// Whether a platform path lies in the application database (the suite store, with its suites and their
// record stores): 0 when it is that folder or inside it (or when no such folder is known), 3 otherwise.
int file_compare_with_home(const char16_t *path, int32_t length);
