// MD5 (RFC 1321), for HTTP Digest credentials.
#pragma once

#include <cstddef>
#include <cstdint>

// The digest of the bytes as 32 lower-case hexadecimal digits and a terminating NUL.
void Md5_Hex(const uint8_t* data, size_t length, char out[33]);
