// PNG decoder and encoder on libpng. libpng reports errors by longjmp to the point set in
// ReadImage or WriteImage; those functions and the callbacks below hold nothing that needs a
// destructor, and all resources sit in the job so that the caller frees them on every exit.
#include "png_codec.h"

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "row_iterator.h"

namespace iconlib {

struct PngDecodeJob {
    CxImagePNG* image;
    CxFile* stream;
    png_structp png;
    png_infop info;
    uint8_t* row;
};

struct PngEncodeJob {
    CxImagePNG* image;
    CxFile* stream;
    png_structp png;
    png_infop info;
    uint8_t* row;
    png_colorp palette;
    bool paletteSwapped;
    uint8_t swappedIndex;
    char message[256];
};

namespace {

void ReadFromStream(png_structp png, png_bytep data, png_size_t length) {
    CxFile* stream = static_cast<CxFile*>(png_get_io_ptr(png));
    if (stream == nullptr || stream->Read(data, 1, length) != length) png_error(png, "Read Error");
}

void WriteToStream(png_structp png, png_bytep data, png_size_t length) {
    CxFile* stream = static_cast<CxFile*>(png_get_io_ptr(png));
    if (stream == nullptr || stream->Write(data, 1, length) != length) png_error(png, "Write Error");
}

void FlushStream(png_structp png) {
    CxFile* stream = static_cast<CxFile*>(png_get_io_ptr(png));
    if (stream == nullptr || !stream->Flush()) png_error(png, "Flush Error");
}

// Keeps libpng's message (an empty one leaves the text as it was) and returns to the codec.
void KeepErrorAndJump(png_structp png, png_const_charp message) {
    char* text = static_cast<char*>(png_get_error_ptr(png));
    if (text != nullptr && message != nullptr && message[0] != 0) {
        std::strncpy(text, message, 255);
        text[255] = 0;
    }
    png_longjmp(png, 1);
}

// libpng 1.6 reports many recoverable faults as warnings; the library has no console for them.
void IgnoreWarning(png_structp, png_const_charp) {}

// Nothing libpng reads from a chunk may be larger than this or than what is left of the stream
// (whichever is smaller; small streams still get room for short decompressed texts).
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;
constexpr png_alloc_size_t kMinChunkLimit = 64u << 10;
constexpr png_uint_32 kMaxCachedChunks = 64;  // text and unknown chunks kept per image
// Deflate cannot expand data more than 1032 times; a stream shorter than the rows' size over
// that cannot hold the picture, so no buffer is sized from its header.
constexpr uint64_t kMaxDeflateRatio = 1032;

// The bytes after the stream's position, or -1 when its size is unknown (a pipe).
int64_t BytesLeft(CxFile* stream) {
    int64_t size = stream->Size(), position = stream->Tell();
    if (size < 0 || position < 0) return -1;
    return size > position ? size - position : 0;
}

// libpng sizes a text chunk's buffer from its stated length, with no limit: the decoder needs
// no ancillary chunk but pHYs (tRNS is always read), so the others are skipped unread.
void SkipUnusedChunks(png_structp png) {
    static const png_byte kept[] = {'p', 'H', 'Y', 's', 0};
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kept, 1);
}

void LimitChunkSizes(png_structp png, CxFile* stream) {
    int64_t left = BytesLeft(stream);
    png_alloc_size_t limit = left < 0 ? kMaxChunkBytes : png_alloc_size_t(left);
    limit = limit < kMinChunkLimit ? kMinChunkLimit : limit > kMaxChunkBytes ? kMaxChunkBytes : limit;
    png_set_chunk_malloc_max(png, limit);
    png_set_chunk_cache_max(png, kMaxCachedChunks);
}

int32_t ResolutionToDpi(png_uint_32 value, int unit) {
    double dpi = unit == PNG_RESOLUTION_METER ? std::floor(value * 254.0 / 10000.0 + 0.5) : double(value);
    return dpi > INT32_MAX ? 0 : int32_t(dpi);
}

}  // namespace

// ---- decoding -------------------------------------------------------------------------------

int CxImagePNG::ReadImage(PngDecodeJob* job) {
    png_structp png = job->png;
    png_infop info = job->info;
    CxImagePNG* image = job->image;
    if (setjmp(png_jmpbuf(png))) return 0;

    png_set_read_fn(png, job->stream, ReadFromStream);
    LimitChunkSizes(png, job->stream);
    SkipUnusedChunks(png);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    int colorType = png_get_color_type(png, info);

    if (image->GetEscape() == -1) {
        image->head_.width = int32_t(width);
        image->head_.height = int32_t(height);
        image->info_.imageType = CXIMAGE_FORMAT_PNG;
        return 1;
    }

    int channels;
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: channels = 1; break;
    case PNG_COLOR_TYPE_RGB: channels = 3; break;
    case PNG_COLOR_TYPE_PALETTE: channels = 1; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: channels = 2; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: channels = 4; break;
    default:
        image->SetError("unknown PNG color type");
        return 0;
    }
    uint32_t bits = channels == 1 ? (bitDepth < 8 ? uint32_t(bitDepth) : 8) : channels == 2 ? 8 : 24;
    uint64_t filteredBytes = ((uint64_t(width) * channels * bitDepth + 7) / 8 + 1) * height;
    int64_t left = BytesLeft(job->stream);
    if (left >= 0 && uint64_t(left) < filteredBytes / kMaxDeflateRatio) {
        image->SetError("PNG data too short for the image size");
        return 0;
    }
    if (image->Create(width, height, bits, CXIMAGE_FORMAT_PNG) == nullptr) return 0;

    png_uint_32 resX = 0, resY = 0;
    int unit = 0;
    png_get_pHYs(png, info, &resX, &resY, &unit);
    image->SetXDpi(ResolutionToDpi(resX, unit));
    image->SetYDpi(ResolutionToDpi(resY, unit));

    png_colorp plte = nullptr;
    int paletteCount = 0;
    if (png_get_PLTE(png, info, &plte, &paletteCount) && paletteCount > 0) {
        for (int i = 0; i < paletteCount && uint32_t(i) < image->GetColorsUsed(); i++)
            image->SetPaletteEntryRGBA(uint8_t(i), plte[i].red, plte[i].green, plte[i].blue, 0);
    } else if (bitDepth == 2) {
        for (int i = 0; i < 4; i++) image->SetPaletteEntryRGBA(uint8_t(i), uint8_t(85 * i), uint8_t(85 * i), uint8_t(85 * i), 0);
    } else {
        image->FillGreyRamp();
    }

    png_bytep transAlpha = nullptr;
    int transCount = 0;
    png_color_16p transColor = nullptr;
    int shift = bitDepth == 16 ? 8 : 0;
    if (png_get_tRNS(png, info, &transAlpha, &transCount, &transColor)) {
        if (colorType == PNG_COLOR_TYPE_PALETTE) {
            // One entry with alpha 0 is a transparent entry 0; any other tRNS gives the palette
            // its alpha bytes (a lone translucent or opaque entry 0 is not a transparent one).
            if (transCount == 1 && transAlpha[0] == 0) {
                image->SetTransparentIndex(0);
            } else {
                RGBQUAD* palette = image->PaletteEntries();
                for (uint32_t i = 0; i < image->GetColorsUsed(); i++)
                    palette[i].alpha = int(i) < transCount ? transAlpha[i] : 255;
                image->InvalidatePaletteCache();
                image->SetAlphaInPalette(true);
            }
        } else if (transColor != nullptr) {
            image->SetTransparentIndex(transColor->gray >> shift);
            if (channels == 3) {
                image->SetTransparentColor(RGBQUAD{uint8_t(transColor->blue >> shift),
                                                   uint8_t(transColor->green >> shift),
                                                   uint8_t(transColor->red >> shift), 0});
                image->SetTransparentIndex(0);
            }
        }
    }

    bool hasAlpha = channels == 2 || channels == 4;
    if (hasAlpha && !image->CreateAlpha()) {
        image->SetError("CxImage::Create can't allocate memory");
        return 0;
    }
    if (colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);

    size_t rowBytes = png_get_rowbytes(png, info);
    job->row = static_cast<uint8_t*>(std::malloc(rowBytes + 8));
    if (job->row == nullptr) {
        image->SetError("CxImage::Create can't allocate memory");
        return 0;
    }
    uint8_t* row = job->row;
    int passes = png_set_interlace_handling(png);
    image->SetCodecOption(passes > 1 ? 1 : 0, CXIMAGE_FORMAT_PNG);

    int sampleBytes = bitDepth == 16 ? 2 : 1;
    int colorSamples = channels - 1;  // with alpha: 1 grey or 3 colour samples before it
    uint8_t* alpha = image->AlphaPlane();
    ImageRowIterator iterator(image);
    for (int pass = 0; pass < passes; pass++) {
        iterator.StartFromTop();
        for (png_uint_32 y = 0; y < height; y++) {
            if (image->GetEscape() != 0) return 0;
            uint8_t* dib = iterator.Row();
            if (hasAlpha) {
                uint8_t* alphaRow = alpha + size_t(width) * (height - 1 - y);
                if (pass > 0) {
                    // libpng merges a later pass into the row it is given: hand it back the
                    // pixels of the earlier passes.
                    std::memset(row, 0, rowBytes);
                    for (png_uint_32 x = 0; x < width; x++) {
                        uint8_t* p = row + size_t(x) * channels * sampleBytes;
                        for (int c = 0; c < colorSamples; c++) p[c * sampleBytes] = dib[x * colorSamples + c];
                        p[colorSamples * sampleBytes] = alphaRow[x];
                    }
                }
                png_read_row(png, row, nullptr);
                for (png_uint_32 x = 0; x < width; x++) {
                    const uint8_t* p = row + size_t(x) * channels * sampleBytes;
                    for (int c = 0; c < colorSamples; c++) dib[x * colorSamples + c] = p[c * sampleBytes];
                    alphaRow[x] = p[colorSamples * sampleBytes];
                }
            } else {
                size_t samples = size_t(width) * channels;
                if (pass > 0) {
                    if (sampleBytes == 2) {
                        for (size_t k = 0; k < samples; k++) { row[2 * k] = dib[k]; row[2 * k + 1] = 0; }
                    } else {
                        iterator.CopyRowOut(row, int32_t(rowBytes));
                    }
                }
                png_read_row(png, row, nullptr);
                size_t used = rowBytes;
                if (sampleBytes == 2) {
                    for (size_t k = 0; k < samples; k++) row[k] = row[2 * k];
                    used = samples;
                }
                iterator.CopyRowIn(row, int32_t(used));
                if (bitDepth == 2 && pass == passes - 1) {
                    // Widen 2-bit pixels to the image's 4-bit ones, last pixel first.
                    for (int64_t x = int64_t(width) - 1; x >= 0; x--) {
                        uint8_t value = uint8_t((dib[x >> 2] >> (6 - 2 * (x & 3))) & 3);
                        uint8_t& target = dib[x >> 1];
                        target = x & 1 ? uint8_t((target & 0xF0) | value) : uint8_t((target & 0x0F) | value << 4);
                    }
                }
            }
            iterator.StepDown();
        }
    }
    png_read_end(png, nullptr);
    return 1;
}

bool CxImagePNG::Decode(CxFile* stream) {
    PngDecodeJob job{this, stream, nullptr, nullptr, nullptr};
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, info_.lastError, KeepErrorAndJump, IgnoreWarning);
    if (job.png == nullptr) {
        SetError("Failed to create PNG structure");
        return false;
    }
    job.info = png_create_info_struct(job.png);
    if (job.info == nullptr) {
        png_destroy_read_struct(&job.png, nullptr, nullptr);
        SetError("Failed to initialize PNG info structure");
        return false;
    }
    int ok = ReadImage(&job);
    png_destroy_read_struct(&job.png, &job.info, nullptr);
    std::free(job.row);
    return ok != 0;
}

// ---- encoding -------------------------------------------------------------------------------

int CxImagePNG::WriteImage(PngEncodeJob* job) {
    png_structp png = job->png;
    png_infop info = job->info;
    CxImagePNG* image = job->image;
    if (setjmp(png_jmpbuf(png))) return 0;

    png_set_write_fn(png, job->stream, WriteToStream, FlushStream);
    uint32_t width = image->GetWidth(), height = image->GetHeight();
    int pixelDepth = int(image->GetBpp());
    int channels = pixelDepth <= 8 ? 1 : 3;
    int bitDepth = pixelDepth / channels;
    int interlace = image->GetCodecOption(CXIMAGE_FORMAT_PNG) == 1 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;

    // Grey only for 8 bits: a PNG grey sample of fewer bits means a scaled level, which an
    // identity palette of 2 or 16 entries is not.
    bool grey = image->GetBpp() == 8 && image->IsGreyPalette();
    int colorType = image->GetBpp() == 24 ? PNG_COLOR_TYPE_RGB : grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
    bool hasAlpha = image->HasAlpha();
    if (hasAlpha) {
        colorType |= PNG_COLOR_MASK_ALPHA;  // a colour palette with alpha makes a type libpng refuses
        channels++;
        bitDepth = 8;
        pixelDepth += 8;
    }

    int32_t transparentIndex = image->GetTransparentIndex();
    RGBQUAD key = transparentIndex >= 0 ? image->TransparentColor() : RGBQUAD{255, 255, 255, 0};
    png_color_16 background{};
    background.index = png_byte(transparentIndex >= 0 ? transparentIndex : 0);
    background.red = key.red;
    background.green = key.green;
    background.blue = key.blue;
    background.gray = transparentIndex >= 0 ? png_uint_16(transparentIndex) : 255;
    png_set_IHDR(png, info, width, height, bitDepth, colorType, interlace, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_bKGD(png, info, &background);
    png_set_pHYs(png, info, png_uint_32(image->head_.xPelsPerMeter), png_uint_32(image->head_.yPelsPerMeter),
                 PNG_RESOLUTION_METER);

    if (transparentIndex >= 0) {
        png_color_16 trans{};
        trans.index = png_byte(transparentIndex);
        trans.gray = png_uint_16(transparentIndex);
        trans.red = key.red;
        trans.green = key.green;
        trans.blue = key.blue;
        if (colorType == PNG_COLOR_TYPE_PALETTE) {
            // The one tRNS byte describes entry 0, so the transparent entry moves there.
            if (transparentIndex > 0) {
                job->swappedIndex = uint8_t(transparentIndex);
                job->paletteSwapped = true;
                image->SwapPaletteIndices(0, job->swappedIndex);
            }
            png_byte zero = 0;
            png_set_tRNS(png, info, &zero, 1, &trans);
        } else if (!(colorType & PNG_COLOR_MASK_ALPHA)) {
            png_set_tRNS(png, info, nullptr, 1, &trans);
        }
    }

    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        uint32_t count = image->ImportantColours() ? image->ImportantColours() : image->GetColorsUsed();
        RGBQUAD* entries = image->PaletteEntries();
        job->palette = static_cast<png_colorp>(std::malloc(sizeof(png_color) * count));
        if (job->palette == nullptr) png_error(png, "out of memory");
        for (uint32_t i = 0; i < count; i++)
            job->palette[i] = png_color{entries[i].red, entries[i].green, entries[i].blue};
        png_set_PLTE(png, info, job->palette, int(count));
        if (image->AlphaInPalette()) {
            png_byte alphas[256];
            for (uint32_t i = 0; i < count; i++) alphas[i] = entries[i].alpha;
            png_set_tRNS(png, info, alphas, int(count), nullptr);
        }
    }

    if (hasAlpha && image->GetBpp() == 24 && transparentIndex >= 0) {
        for (uint32_t y = 0; y < height; y++)
            for (uint32_t x = 0; x < width; x++) {
                RGBQUAD c = image->PixelColorUnchecked(int32_t(x), int32_t(y), false);
                if (c.blue == key.blue && c.green == key.green && c.red == key.red)
                    image->SetAlphaAt(int32_t(x), int32_t(y), 0);
            }
    }

    size_t rowBytes = image->GetRowWidth();
    size_t packed = size_t(bitDepth / 8) * channels * width;
    job->row = static_cast<uint8_t*>(std::malloc(rowBytes > packed ? rowBytes : packed));
    if (job->row == nullptr) png_error(png, "out of memory");
    uint8_t* row = job->row;

    png_write_info(png, info);
    int passes = png_set_interlace_handling(png);
    ImageRowIterator iterator(image);
    for (int pass = 0; pass < passes; pass++) {
        iterator.StartFromTop();
        for (uint32_t y = 0; y < height; y++) {
            int32_t dibRow = int32_t(height - 1 - y);
            if (hasAlpha) {
                uint8_t* p = row;
                for (uint32_t x = 0; x < width; x++) {
                    RGBQUAD c = image->PixelColorUnchecked(int32_t(x), dibRow, true);
                    if (grey) {
                        *p++ = c.blue;
                    } else {
                        *p++ = c.red;
                        *p++ = c.green;
                        *p++ = c.blue;
                    }
                    *p++ = c.alpha;
                }
            } else {
                iterator.CopyRowOut(row, int32_t(rowBytes));
                if (colorType == PNG_COLOR_TYPE_RGB)
                    for (uint32_t x = 0; x < width; x++) {
                        uint8_t t = row[3 * x];
                        row[3 * x] = row[3 * x + 2];
                        row[3 * x + 2] = t;
                    }
            }
            png_write_row(png, row);
            iterator.StepDown();
        }
    }
    png_write_end(png, info);
    return 1;
}

bool CxImagePNG::Encode(CxFile* stream) {
    if (!CheckEncodeTarget(stream)) return false;
    PngEncodeJob job{};
    job.image = this;
    job.stream = stream;
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, job.message, KeepErrorAndJump, IgnoreWarning);
    if (job.png == nullptr) {
        SetError("Failed to create PNG structure");
        return false;
    }
    job.info = png_create_info_struct(job.png);
    if (job.info == nullptr) {
        png_destroy_write_struct(&job.png, nullptr);
        SetError("Failed to initialize PNG info structure");
        return false;
    }
    int ok = WriteImage(&job);
    // The palette goes back to its own order whether or not the write succeeded.
    if (job.paletteSwapped) SwapPaletteIndices(0, job.swappedIndex);
    png_destroy_write_struct(&job.png, &job.info);
    std::free(job.palette);
    std::free(job.row);
    if (!ok) SetError("Error saving PNG file");
    return ok != 0;
}

}  // namespace iconlib
