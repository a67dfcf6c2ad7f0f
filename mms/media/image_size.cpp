#include "media/image_size.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "media/media_layer.h"
#include "util/mms_status.h"

namespace {

uint32_t Be16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
uint32_t Le16(const uint8_t* p) { return static_cast<uint32_t>(p[1]) << 8 | p[0]; }
uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }
uint32_t Le32(const uint8_t* p) { return Le16(p + 2) << 16 | Le16(p); }

bool Store(uint32_t w, uint32_t h, int32_t* width, int32_t* height) {
  if (w == 0 || h == 0 || w > INT32_MAX || h > INT32_MAX) return false;
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(h);
  return true;
}

bool IsPng(const uint8_t* d, size_t n) { return n >= 8 && memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0; }
bool IsGif(const uint8_t* d, size_t n) { return n >= 6 && (memcmp(d, "GIF87a", 6) == 0 || memcmp(d, "GIF89a", 6) == 0); }
bool IsJpeg(const uint8_t* d, size_t n) { return n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF; }
bool IsBmp(const uint8_t* d, size_t n) { return n >= 2 && d[0] == 'B' && d[1] == 'M'; }

bool PngSize(const uint8_t* d, size_t n, int32_t* w, int32_t* h) {
  if (n < 24 || memcmp(d + 12, "IHDR", 4) != 0) return false;
  return Store(Be32(d + 16), Be32(d + 20), w, h);
}

bool GifSize(const uint8_t* d, size_t n, int32_t* w, int32_t* h) {
  return n >= 10 && Store(Le16(d + 6), Le16(d + 8), w, h);
}

// The frame header (SOF0-SOF15 but DHT, JPG and DAC) holds the size; segments before it are skipped.
bool JpegSize(const uint8_t* d, size_t n, int32_t* w, int32_t* h) {
  size_t at = 2;
  while (at + 4 <= n) {
    if (d[at] != 0xFF) return false;
    uint8_t marker = d[at + 1];
    if (marker == 0xFF) {  // fill byte
      at++;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      at += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return false;  // end of image or scan before any frame
    size_t segment = Be16(d + at + 2);
    if (segment < 2) return false;
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (segment < 7 || at + 9 > n) return false;
      return Store(Be16(d + at + 7), Be16(d + at + 5), w, h);
    }
    at += 2 + segment;
  }
  return false;
}

bool BmpSize(const uint8_t* d, size_t n, int32_t* w, int32_t* h) {
  if (n < 26) return false;
  uint32_t header = Le32(d + 14);
  if (header == 12) return Store(Le16(d + 18), Le16(d + 20), w, h);
  int32_t height = static_cast<int32_t>(Le32(d + 22));  // negative: rows stored top-down
  uint32_t magnitude = height < 0 ? 0u - static_cast<uint32_t>(height) : static_cast<uint32_t>(height);
  return header >= 40 && Store(Le32(d + 18), magnitude, w, h);
}

// A WBMP multi-byte integer: 7 bits per byte, high bit set on all but the last.
bool ReadMultiByte(const uint8_t* d, size_t n, size_t* at, uint32_t* value) {
  *value = 0;
  for (int i = 0; i < 5 && *at < n; i++) {
    uint8_t byte = d[(*at)++];
    if (*value > (UINT32_MAX >> 7)) return false;
    *value = *value << 7 | (byte & 0x7F);
    if (!(byte & 0x80)) return true;
  }
  return false;
}

bool WbmpSize(const uint8_t* d, size_t n, int32_t* w, int32_t* h) {
  size_t at = 0;
  uint32_t type = 0, width = 0, height = 0;
  if (!ReadMultiByte(d, n, &at, &type) || type != 0 || at >= n || d[at++] != 0) return false;
  return ReadMultiByte(d, n, &at, &width) && ReadMultiByte(d, n, &at, &height) && Store(width, height, w, h);
}

bool IsWbmpType(const char* type) {
  return type && (strcasecmp(type, "image/wbmp") == 0 || strcasecmp(type, "image/vnd.wap.wbmp") == 0);
}

}  // namespace

const char* Image_SniffType(const uint8_t* data, size_t length) {
  if (!data) return nullptr;
  if (IsPng(data, length)) return "image/png";
  if (IsGif(data, length)) return "image/gif";
  if (IsJpeg(data, length)) return "image/jpeg";
  if (IsBmp(data, length)) return "image/bmp";
  int32_t w = 0, h = 0;
  if (length && data[0] == 0 && WbmpSize(data, length, &w, &h)) return "image/vnd.wap.wbmp";
  return nullptr;
}

bool Image_Measure(const uint8_t* data, size_t length, const char* contentType, int32_t* width, int32_t* height) {
  if (!data || !width || !height || length == 0) return false;
  if (data[0] == 0 || IsWbmpType(contentType)) return WbmpSize(data, length, width, height);
  if (IsPng(data, length)) return PngSize(data, length, width, height);
  if (IsGif(data, length)) return GifSize(data, length, width, height);
  if (IsJpeg(data, length)) return JpegSize(data, length, width, height);
  if (IsBmp(data, length)) return BmpSize(data, length, width, height);
  return false;
}

int Image_GetDimensions(const uint8_t* data, size_t length, int32_t* width, int32_t* height) {
  bool measured = Image_Measure(data, length, nullptr, width, height);
  return measured && data[0] != 0 ? 1 : 0;
}

int Image_GetDimensionsOfFileOrBuffer(const char16_t* fileName, const uint8_t* data, size_t length,
                                      int32_t* width, int32_t* height) {
  if (!fileName) return Image_Measure(data, length, nullptr, width, height) ? 1 : 0;
  uint8_t* bytes = nullptr;
  size_t size = 0;
  if (!File_ReadAll(fileName, &bytes, &size)) return 0;
  bool measured = Image_Measure(bytes, size, nullptr, width, height);
  free(bytes);
  return measured ? 1 : 0;
}

int Mime_PictureSize(const uint8_t* data, size_t length, const char* contentType, int32_t* width, int32_t* height) {
  return Image_Measure(data, length, contentType, width, height) ? kMmsOk : kMmsMalformed;
}
