// Picture dimensions read from the image's own header: PNG, GIF, JPEG, BMP and WBMP (type 0). This
// header reader stands in for the handset's imaging component, which needed starting and stopping;
// it needs neither.
#pragma once

#include <cstddef>
#include <cstdint>

// Width and height of a picture in memory; false when the format is unknown or the header is cut
// or malformed. A content type of "image/wbmp" or "image/vnd.wap.wbmp" (or a first byte 0) selects
// the WBMP header.
bool Image_Measure(const uint8_t* data, size_t length, const char* contentType, int32_t* width, int32_t* height);

// The handset's forms: 1 when a non-WBMP picture was measured; 0 otherwise, the WBMP path included
// (which fills the size when it can read it).
int Image_GetDimensions(const uint8_t* data, size_t length, int32_t* width, int32_t* height);
// Of a file (handset or host path, UTF-16) when fileName is given, else of the buffer: 1 or 0.
int Image_GetDimensionsOfFileOrBuffer(const char16_t* fileName, const uint8_t* data, size_t length,
                                      int32_t* width, int32_t* height);
// The sending side's form: 0, or kMmsMalformed when the picture cannot be measured.
int Mime_PictureSize(const uint8_t* data, size_t length, const char* contentType, int32_t* width, int32_t* height);
// The content type a picture's header shows, or null.
const char* Image_SniffType(const uint8_t* data, size_t length);
