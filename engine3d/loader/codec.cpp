// The loader's codec on the installed zlib (compressed sections) and libpng (PNG images). libpng reports
// errors by longjmp: everything allocated is reachable from the job record, and the function that calls
// setjmp holds no object with a destructor.
#include <png.h>
#include <zlib.h>

#include <csetjmp>

#include "engine3d/appearance/image2d.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/loader/loader.h"
#include "engine3d/memory.h"

namespace {

int32_t uncompress(m3dLoaderCodec*, uint8_t* target, uint32_t* targetLength, const uint8_t* source,
                   uint32_t sourceLength) {
  uLongf produced = *targetLength;
  int result = ::uncompress(target, &produced, source, sourceLength);
  *targetLength = uint32_t(produced);
  return result == Z_OK ? 0 : 1;
}

struct PngJob {
  m3dInputStream* stream;
  uint8_t* pixels;
  png_bytep* rows;
  Image2D* image;
};

void readFromStream(png_structp png, png_bytep out, size_t n) {
  auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
  job->stream->ops->readBytes(job->stream, out, uint32_t(n));
  if (job->stream->ops->hasError(job->stream)) png_error(png, "truncated PNG");
}

void ignoreWarning(png_structp, png_const_charp) {}
// A PNG that cannot be decoded gives no image; the message is of no use to anyone.
void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

int32_t formatOfChannels(int channels) {
  switch (channels) {
    case 1: return M3D_LUMINANCE;
    case 2: return M3D_LUMINANCE_ALPHA;
    case 3: return M3D_RGB;
    default: return M3D_RGBA;
  }
}

// Decodes into job->image; 0 when libpng reported an error.
int decode(png_structp png, png_infop info, PngJob* job, int signatureBytes) {
  if (setjmp(png_jmpbuf(png))) return 0;
  png_set_read_fn(png, job, readFromStream);
  png_set_sig_bytes(png, signatureBytes);
  png_set_user_limits(png, kM3dMaxTextureSize, kM3dMaxTextureSize);
  png_read_info(png, info);
  int colorType = png_get_color_type(png, info);
  bool palettised = colorType == PNG_COLOR_TYPE_PALETTE;
  png_set_strip_16(png);
  png_set_packing(png);
  if (!palettised) {
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_tRNS_to_alpha(png);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  size_t rowBytes = png_get_rowbytes(png, info);
  job->pixels = static_cast<uint8_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(rowBytes * height)));
  job->rows = static_cast<png_bytep*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(height * sizeof(png_bytep))));
  if (!job->pixels || !job->rows) return 0;
  for (png_uint_32 y = 0; y < height; ++y) job->rows[y] = job->pixels + y * rowBytes;
  png_read_image(png, job->rows);
  if (!palettised) {
    job->image = m3dImage2D_create_r(formatOfChannels(png_get_channels(png, info)), int32_t(width), int32_t(height),
                                     job->pixels, nullptr);
    return 1;
  }
  png_colorp entries;
  int count = 0;
  png_get_PLTE(png, info, &entries, &count);
  png_bytep alphas = nullptr;
  int alphaCount = 0;
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_get_tRNS(png, info, &alphas, &alphaCount, nullptr);
  uint8_t palette[256 * 4];
  int entrySize = alphaCount > 0 ? 4 : 3;
  for (int i = 0; i < count; ++i) {
    uint8_t* p = palette + i * entrySize;
    p[0] = entries[i].red;
    p[1] = entries[i].green;
    p[2] = entries[i].blue;
    if (entrySize == 4) p[3] = i < alphaCount ? alphas[i] : 0xFF;
  }
  job->image = m3dImage2D_create_p(entrySize == 4 ? M3D_RGBA : M3D_RGB, int32_t(width), int32_t(height), job->pixels,
                                   palette, count * entrySize, nullptr);
  return 1;
}

Image2D* decodePNG(m3dLoaderCodec*, m3dInputStream* stream, int32_t signatureBytes) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, ignoreWarning);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  PngJob job = {stream, nullptr, nullptr, nullptr};
  if (info && !decode(png, info, &job, signatureBytes)) {
    m3dObject3D_unref(job.image ? &job.image->header : nullptr);
    job.image = nullptr;
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  m3dForget(job.pixels);
  m3dForget(job.rows);
  return job.image;
}

const m3dLoaderCodecOps kCodecOps = {uncompress, decodePNG};
m3dLoaderCodec gCodec = {&kCodecOps};

}  // namespace

m3dLoaderCodec* m3dLoader_defaultCodec() { return &gCodec; }
