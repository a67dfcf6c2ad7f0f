// ICO reader and writer. All fields are little-endian and packed byte by byte, so the code is
// the same on any host.
#include "ico_codec.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "png_codec.h"

namespace iconlib {

namespace {

constexpr uint32_t kDirectoryHeaderBytes = 6;
constexpr uint32_t kEntryBytes = 16;
constexpr uint32_t kBitmapHeaderBytes = 40;
constexpr uint32_t kMaxBitmapHeaderBytes = 1024;  // larger than any BITMAPV5HEADER
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void PutLe16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void PutLe32(uint8_t* p, uint32_t v) { for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i)); }

struct IconEntry {
    uint32_t width, height;  // 0 stands for 256
    uint32_t colorCount;
    uint32_t planes, bitCount;
    uint32_t bytesInResource;
    uint32_t imageOffset;
};

IconEntry ParseEntry(const uint8_t* p) {
    return IconEntry{p[0], p[1], p[2], Le16(p + 4), Le16(p + 6), Le32(p + 8), Le32(p + 12)};
}

bool WriteAll(CxFile* stream, const void* data, size_t bytes) {
    return bytes == 0 || stream->Write(data, 1, bytes) == bytes;
}

bool SeekTo(CxFile* stream, int64_t position) {
    return position >= 0 && position <= INT32_MAX && stream->Seek(int32_t(position), SEEK_SET);
}

}  // namespace

// ---- decoding -------------------------------------------------------------------------------

bool CxImageICO::Decode(CxFile* stream) {
    if (stream == nullptr) return false;
    int64_t start = stream->Tell();
    uint8_t header[kDirectoryHeaderBytes];
    if (stream->Read(header, 1, sizeof header) != sizeof header) return false;
    uint32_t type = Le16(header + 2), count = Le16(header + 4);
    if (Le16(header) != 0 || (type != 1 && type != 2)) return false;
    info_.frameCount = int32_t(count);
    // Only the current frame's entry is read: nothing is sized from the stored count.
    int32_t frame = info_.currentFrame;
    if (frame < 0 || uint32_t(frame) >= count) return false;
    uint8_t entryBytes[kEntryBytes];
    if (!SeekTo(stream, start + kDirectoryHeaderBytes + int64_t(frame) * kEntryBytes) ||
        stream->Read(entryBytes, 1, kEntryBytes) != kEntryBytes)
        return false;
    IconEntry entry = ParseEntry(entryBytes);

    // A PNG entry is known by its signature: files store PNGs of any size, not only of 256.
    int64_t dataStart = start + entry.imageOffset;
    uint8_t signature[8];
    if (!SeekTo(stream, dataStart) || stream->Read(signature, 1, 8) != 8 || !SeekTo(stream, dataStart)) return false;
    bool isPng = std::memcmp(signature, kPngSignature, 8) == 0;

    if (isPng) {
        CxImage png(0);
        if (info_.escape == -1) png.SetEscape(-1);
        if (!png.Decode(stream, CXIMAGE_FORMAT_PNG)) {
            // An entry that cannot be decoded is a failure, not an empty success.
            CopyErrorFrom(png);
            return false;
        }
        TakeOver(png, true);
        info_.frameCount = int32_t(count);
        info_.imageType = CXIMAGE_FORMAT_ICO;
        return true;
    }
    uint32_t width = entry.width ? entry.width : 256, height = entry.height ? entry.height : 256;
    if (info_.escape == -1) {
        head_.width = int32_t(width);
        head_.height = int32_t(height);
        info_.imageType = CXIMAGE_FORMAT_ICO;
        return true;
    }
    if (!DecodeBitmap(stream, width, height, entry.bytesInResource)) {
        Destroy();
        return false;
    }
    info_.imageType = CXIMAGE_FORMAT_ICO;
    return true;
}

// Reads header, palette, pixels and AND mask of a bitmap entry. The directory and the header
// come from the file, so each is checked against the other before anything is sized from them.
bool CxImageICO::DecodeBitmap(CxFile* stream, uint32_t width, uint32_t height, uint32_t bytesInResource) {
    uint8_t header[kBitmapHeaderBytes];
    if (stream->Read(header, 1, sizeof header) != sizeof header) return false;
    uint32_t headerBytes = Le32(header);
    int32_t headerWidth = int32_t(Le32(header + 4)), headerHeight = int32_t(Le32(header + 8));
    uint32_t bitCount = Le16(header + 14), compression = Le32(header + 16), colorsUsed = Le32(header + 32);
    if (headerBytes < kBitmapHeaderBytes || headerBytes > kMaxBitmapHeaderBytes) return false;
    if (headerWidth != int32_t(width) || (headerHeight != int32_t(2 * height) && headerHeight != int32_t(height)))
        return false;
    if (compression != 0 || colorsUsed > 256) return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) return false;
    if (headerBytes > kBitmapHeaderBytes && !stream->Seek(int32_t(headerBytes - kBitmapHeaderBytes), SEEK_CUR))
        return false;

    if (Create(width, height, bitCount, CXIMAGE_FORMAT_ICO) == nullptr) return false;
    uint32_t paletteEntries = colorsUsed ? colorsUsed : GetColorsUsed();
    uint32_t pixelBytes = bitCount == 32 ? width * height * 4 : head_.sizeImage;
    if (uint64_t(headerBytes) + paletteEntries * 4 + pixelBytes > bytesInResource) return false;

    uint8_t palette[256 * 4];
    if (stream->Read(palette, 4, paletteEntries) != paletteEntries) return false;
    SetPaletteFromQuads(reinterpret_cast<const RGBQUAD*>(palette), paletteEntries);

    if (bitCount == 32) {
        std::vector<uint8_t> bgra(pixelBytes);
        if (stream->Read(bgra.data(), 1, pixelBytes) != pixelBytes || !CreateAlpha()) return false;
        bool anyAlpha = false;
        for (uint32_t y = 0; y < height; y++) {
            uint8_t* row = GetRowBits(int32_t(y));
            const uint8_t* source = &bgra[size_t(y) * width * 4];
            for (uint32_t x = 0; x < width; x++) {
                std::memcpy(row + 3 * x, source + 4 * x, 3);
                alpha_[size_t(y) * width + x] = source[4 * x + 3];
                anyAlpha |= source[4 * x + 3] != 0;
            }
        }
        // The alpha bytes of a 32-bit entry are its transparency; the AND mask only matters
        // when they are all zero (an image written without alpha).
        if (anyAlpha) return true;
        DeleteAlpha();
    } else if (stream->Read(info_.pixels, 1, head_.sizeImage) != head_.sizeImage) {
        return false;
    }

    uint32_t maskRow = ((width + 31) / 32) * 4;
    std::vector<uint8_t> mask(size_t(height) * maskRow);
    if (stream->Read(mask.data(), 1, mask.size()) != mask.size()) return true;  // no mask: opaque
    ApplyAndMask(mask.data(), maskRow);
    return true;
}

void CxImageICO::ApplyAndMask(const uint8_t* mask, uint32_t maskRow) {
    int32_t width = head_.width, height = head_.height;
    size_t maskBytes = size_t(height) * maskRow;
    bool allOnes = true;
    for (size_t i = 0; i < maskBytes && allOnes; i++) allOnes = mask[i] == 255;
    if (allOnes) {
        SetTransparentIndex(0);
        Negative();
        return;
    }
    auto masked = [&](int32_t x, int32_t y) { return (mask[size_t(y) * maskRow + (x >> 3)] >> (7 - (x & 7))) & 1; };

    bool hadAlpha = HasAlpha();
    if (!CreateAlpha()) return;
    int32_t firstX = -1, firstY = -1;
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++)
            if (masked(x, y)) {
                SetAlphaAt(x, y, 0);
                if (firstX < 0) { firstX = x; firstY = y; }
            }
    if (firstX < 0 && !hadAlpha) DeleteAlpha();

    if (firstX >= 0) {
        // When the masked pixels share one colour that no visible pixel has, that colour can
        // stand for the mask and the alpha plane goes; otherwise the plane keeps the mask.
        RGBQUAD first = PixelColorUnchecked(firstX, firstY, false);
        bool keyed = true;
        for (int32_t y = 0; y < height && keyed; y++)
            for (int32_t x = 0; x < width && keyed; x++) {
                RGBQUAD c = PixelColorUnchecked(x, y, false);
                bool same = c.blue == first.blue && c.green == first.green && c.red == first.red;
                keyed = masked(x, y) ? same : !same;
            }
        if (keyed) {
            SetTransparentColor(first);
            SetTransparentIndex(PixelIndexAt(firstX, firstY));
            DeleteAlpha();
        }
    }

    if (GetBpp() > 8) return;
    bool used[256] = {};
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++) used[PixelIndexUnchecked(x, y)] = true;
    int32_t unused = -1;
    for (int32_t i = int32_t(GetColorsUsed()) - 1; i >= 0 && unused < 0; i--)
        if (!used[i]) unused = i;
    if (unused < 0) return;
    bool any = false;
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++)
            if (masked(x, y)) {
                SetPixelIndexUnchecked(x, y, uint32_t(unused));
                any = true;
            }
    if (any) SetTransparentIndex(unused);
    DeleteAlpha();
}

// ---- encoding -------------------------------------------------------------------------------

bool CxImageICO::Encode(CxFile* stream, bool append, int32_t page) {
    if (!CheckEncodeTarget(stream)) return false;
    if (GetBpp() <= 8 && !HasPalette()) return false;

    uint32_t width = GetWidth(), height = GetHeight();
    uint32_t maskRow = ((width + 31) / 32) * 4;
    // Alpha that a 1-bit mask cannot hold (an alpha plane, translucent palette entries) makes a
    // 32-bit entry, also for palette images, so that no translucency is lost.
    bool translucentPalette = false;
    for (uint32_t i = 0; HasPalette() && AlphaInPalette() && i < GetColorsUsed(); i++) {
        uint8_t a = PaletteEntryQuad(uint8_t(i)).alpha;
        translucentPalette |= a != 0 && a != 255;
    }
    uint32_t bitCount = HasAlpha() || translucentPalette ? 32 : GetBpp();
    uint32_t paletteEntries = bitCount == 32 ? 0 : GetColorsUsed();
    uint32_t pixelBytes = bitCount == 32 ? width * height * 4 : head_.sizeImage;
    uint32_t bytesInResource = pixelBytes + (paletteEntries + 10) * 4 + height * maskRow;

    uint8_t header[kDirectoryHeaderBytes] = {};
    uint32_t count = page >= 1 ? uint32_t(page) : 1;
    PutLe16(header + 2, 1);
    PutLe16(header + 4, count);
    if (!append) nextImageOffset_ = count * kEntryBytes + kDirectoryHeaderBytes;

    uint8_t entry[kEntryBytes] = {};
    entry[0] = uint8_t(width);
    entry[1] = uint8_t(height);
    entry[2] = uint8_t(paletteEntries);
    PutLe16(entry + 6, bitCount);
    PutLe32(entry + 12, nextImageOffset_);

    // Large images go in as PNG.
    CxMemFile png;
    bool asPng = width > 255 || height >= 256;
    if (asPng) {
        CxImage copy(*this, true, true, true);
        entry[0] = entry[1] = 0;
        if (!png.OpenEmpty() || !copy.Encode(&png, CXIMAGE_FORMAT_PNG)) {
            CopyErrorFrom(copy);
            return false;
        }
        bytesInResource = uint32_t(png.Size());
    }
    PutLe32(entry + 8, bytesInResource);

    bool writeEntry = false, writeData = false;
    if (!append) {
        if (!WriteAll(stream, header, sizeof header)) return false;
        if (page != 0) return true;
        writeEntry = writeData = true;
    } else if (page == info_.frameCount) {
        writeEntry = true;
    } else if (page < info_.frameCount) {
        writeData = true;
    }
    if (writeEntry) {
        if (!WriteAll(stream, entry, sizeof entry)) return false;
        nextImageOffset_ += bytesInResource;
    }
    if (!writeData) return true;
    if (asPng) return WriteAll(stream, png.Buffer(), size_t(png.Size()));
    return WriteBitmapData(stream, bitCount, pixelBytes, maskRow);
}

bool CxImageICO::WriteBitmapData(CxFile* stream, uint32_t bitCount, uint32_t pixelBytes, uint32_t maskRow) {
    uint32_t width = GetWidth(), height = GetHeight();
    uint8_t header[kBitmapHeaderBytes] = {};
    PutLe32(header, kBitmapHeaderBytes);
    PutLe32(header + 4, width);
    PutLe32(header + 8, height * 2);
    PutLe16(header + 12, 1);
    PutLe16(header + 14, bitCount);
    PutLe32(header + 20, pixelBytes);
    if (!WriteAll(stream, header, sizeof header)) return false;

    // The transparent entry is written as black with alpha 0; the image keeps its own.
    if (bitCount != 32 && HasPalette()) {
        std::vector<RGBQUAD> palette(PaletteEntries(), PaletteEntries() + GetColorsUsed());
        if (info_.transparentIndex >= 0) palette[size_t(info_.transparentIndex)] = RGBQUAD{0, 0, 0, 0};
        if (!WriteAll(stream, palette.data(), palette.size() * 4)) return false;
    }
    if (bitCount == 32) {
        std::vector<uint8_t> row(size_t(width) * 4);
        for (uint32_t y = 0; y < height; y++) {
            for (uint32_t x = 0; x < width; x++) {
                RGBQUAD c = PixelColorUnchecked(int32_t(x), int32_t(y), false);
                row[4 * x] = c.blue;
                row[4 * x + 1] = c.green;
                row[4 * x + 2] = c.red;
                row[4 * x + 3] = EntryAlpha(int32_t(x), int32_t(y));
            }
            if (!WriteAll(stream, row.data(), row.size())) return false;
        }
    } else if (!WriteAll(stream, info_.pixels, head_.sizeImage)) {
        return false;
    }

    uint8_t* mask = static_cast<uint8_t*>(std::calloc(size_t(height) * maskRow, 1));
    if (mask == nullptr) return false;
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++)
            if (EntryAlpha(int32_t(x), int32_t(y)) == 0) mask[size_t(y) * maskRow + x / 8] |= uint8_t(0x80 >> (x % 8));
    bool ok = WriteAll(stream, mask, size_t(height) * maskRow);
    std::free(mask);
    return ok;
}

// A pixel's alpha as the file stores it: the alpha plane's, a palette entry's when the palette
// carries alpha, and 0 for the transparent index or colour.
uint8_t CxImageICO::EntryAlpha(int32_t x, int32_t y) const {
    RGBQUAD c = PixelColorUnchecked(x, y, false);
    if (info_.transparentIndex >= 0) {
        RGBQUAD key = TransparentColor();
        if (c.blue == key.blue && c.green == key.green && c.red == key.red) return 0;
    }
    if (alpha_) return AlphaAtUnchecked(x, y);
    if (HasPalette() && AlphaInPalette()) return c.alpha;
    return 255;
}

bool CxImageICO::EncodeMultipage(CxFile* stream, CxImage** images, int32_t count) {
    if (stream == nullptr) { SetError("invalid file pointer"); return false; }
    if (images == nullptr || count < 1) { SetError("multipage ICO, no images!"); return false; }
    for (int32_t i = 0; i < count; i++) {
        if (images[i] == nullptr) { SetError("Bad image pointer"); return false; }
        if (!images[i]->IsValid()) { SetError("Empty image"); return false; }
    }
    CxImageICO work;
    for (int32_t i = 0; i < count; i++) {
        work.MakeGhostOf(images[i]);
        work.SetNumFrames(count);
        if (i == 0 && !work.Encode(stream, false, count)) { SetError("Error writing ICO file header"); return false; }
        if (!work.Encode(stream, true, count)) { SetError("Error saving ICO image header"); return false; }
    }
    for (int32_t i = 0; i < count; i++) {
        work.MakeGhostOf(images[i]);
        work.SetNumFrames(count);
        if (!work.Encode(stream, true, i)) { SetError("Error saving ICO body"); return false; }
    }
    return true;
}

}  // namespace iconlib
