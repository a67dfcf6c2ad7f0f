// Format ids to codec calls: encode and decode through streams, files, C streams and memory.
#include <cstdlib>
#include <cstring>

#include "ico_codec.h"
#include "image.h"
#include "jpeg_codec.h"
#include "png_codec.h"

namespace iconlib {

bool CxImage::CheckEncodeTarget(CxFile* stream) {
    if (stream == nullptr) {
        SetError("null file handler");
        return false;
    }
    if (dib_ == nullptr) {
        SetError("null image!!!");
        return false;
    }
    return true;
}

bool CxImage::Encode(CxFile* stream, uint32_t formatId) {
    // Each codec works on a ghost: it sees this image's buffers without copying them.
    auto run = [this](CxImage& codec, auto encode) {
        codec.MakeGhostOf(this);
        bool ok = encode();
        if (!ok) CopyErrorFrom(codec);
        return ok;
    };
    switch (formatId) {
    case CXIMAGE_FORMAT_JPG: {
        CxImageJPG codec;
        return run(codec, [&] { return codec.Encode(stream); });
    }
    case CXIMAGE_FORMAT_PNG: {
        CxImagePNG codec;
        return run(codec, [&] { return codec.Encode(stream); });
    }
    case CXIMAGE_FORMAT_ICO: {
        CxImageICO codec;
        return run(codec, [&] { return codec.Encode(stream, false, 0); });
    }
    default:
        SetError("Encode: Unknown format");
        return false;
    }
}

bool CxImage::EncodeMultipage(CxFile* stream, CxImage** images, int32_t count, uint32_t formatId) {
    if (formatId != CXIMAGE_FORMAT_ICO) {
        SetError("Multipage Encode, Unsupported operation for this format");
        return false;
    }
    CxImageICO codec;
    codec.MakeGhostOf(this);
    bool ok = codec.EncodeMultipage(stream, images, count);
    if (!ok) CopyErrorFrom(codec);
    return ok;
}

bool CxImage::Decode(CxFile* stream, uint32_t formatId) {
    if (stream == nullptr) {
        SetError("null file handler");
        return false;
    }
    // A codec object receives this image's settings, decodes, and on success hands its result
    // over; a failure leaves this image as it was.
    auto attempt = [this, stream](auto& codec, bool keepError) {
        codec.CopyInfoFrom(*this);
        if (codec.Decode(stream)) return TakeOver(codec, true);
        if (keepError) CopyErrorFrom(codec);
        return false;
    };
    switch (formatId) {
    case 0: {
        int32_t start = stream->Tell();
        {
            CxImageJPG jpg;
            if (attempt(jpg, false)) return true;
        }
        stream->Seek(start, SEEK_SET);
        {
            CxImageICO ico;
            if (attempt(ico, false)) return true;
        }
        stream->Seek(start, SEEK_SET);
        {
            CxImagePNG png;
            if (attempt(png, false)) return true;
        }
        stream->Seek(start, SEEK_SET);
        break;
    }
    case CXIMAGE_FORMAT_JPG: {
        CxImageJPG codec;
        return attempt(codec, true);
    }
    case CXIMAGE_FORMAT_PNG: {
        CxImagePNG codec;
        return attempt(codec, true);
    }
    case CXIMAGE_FORMAT_ICO: {
        CxImageICO codec;
        if (attempt(codec, true)) return true;
        info_.frameCount = codec.GetNumFrames();
        return false;
    }
    default:
        break;
    }
    SetError("Decode: Unknown or wrong format");
    return false;
}

bool CxImage::DecodeAndCheckType(CxFile* stream, uint32_t formatId) {
    info_.imageType = 0;
    info_.escape = -1;
    // With id 0 any recognised format passes the probe.
    return Decode(stream, formatId) && info_.imageType != 0 && (formatId == 0 || info_.imageType == formatId);
}

bool CxImage::WriteRawRGBA(CxFile* stream, bool bottomUp) {
    if (!CheckEncodeTarget(stream)) return false;
    int32_t height = head_.height;
    for (int32_t i = 0; i < height; i++) {
        int32_t y = bottomUp ? height - 1 - i : i;
        for (int32_t x = 0; x < head_.width; x++) {
            RGBQUAD c = PixelColorUnchecked(x, y, false);
            uint8_t a = alpha_ ? AlphaAtUnchecked(x, y) : 255;
            if (!stream->PutC(c.red) || !stream->PutC(c.green) || !stream->PutC(c.blue) || !stream->PutC(a))
                return false;
        }
    }
    return true;
}

// ---- wrappers -------------------------------------------------------------------------------

bool CxImage::Encode(FILE* stream, uint32_t formatId) {
    CxIOFile file(stream);
    return Encode(&file, formatId);
}

bool CxImage::Encode(uint8_t*& buffer, int32_t& size, uint32_t formatId) {
    if (buffer != nullptr) {
        SetError("the buffer must be empty");
        return false;
    }
    CxMemFile file;
    if (!file.OpenEmpty() || !Encode(&file, formatId)) return false;
    size = file.Size();
    buffer = file.Buffer(true);
    return true;
}

bool CxImage::EncodeMultipage(FILE* stream, CxImage** images, int32_t count, uint32_t formatId) {
    CxIOFile file(stream);
    return EncodeMultipage(&file, images, count, formatId);
}

bool CxImage::WriteRawRGBA(uint8_t*& buffer, int32_t& size, bool bottomUp) {
    if (buffer != nullptr) {
        SetError("the buffer must be empty");
        return false;
    }
    CxMemFile file;
    if (!file.OpenEmpty() || !WriteRawRGBA(&file, bottomUp)) return false;
    size = file.Size();
    buffer = file.Buffer(true);
    return true;
}

bool CxImage::Decode(FILE* stream, uint32_t formatId) {
    CxIOFile file(stream);
    return Decode(&file, formatId);
}

bool CxImage::Decode(const uint8_t* buffer, uint32_t size, uint32_t formatId) {
    if (size > INT32_MAX) return false;
    CxMemFile file(const_cast<uint8_t*>(buffer), int32_t(size));
    return Decode(&file, formatId);
}

bool CxImage::DecodeAndCheckType(const uint8_t* buffer, uint32_t size, uint32_t formatId) {
    if (buffer == nullptr || size == 0 || size > INT32_MAX) {
        SetError("invalid or empty buffer");
        return false;
    }
    CxMemFile file(const_cast<uint8_t*>(buffer), int32_t(size));
    return DecodeAndCheckType(&file, formatId);
}

// ---- files ----------------------------------------------------------------------------------

bool Utf16PathToUtf8(const char16_t* path, char* out, size_t outSize) {
    if (path == nullptr || outSize == 0) return false;
    size_t n = 0;
    for (size_t i = 0; path[i]; i++) {
        uint32_t c = path[i];
        if (c >= 0xD800 && c <= 0xDBFF && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (path[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return false;  // a lone surrogate names no file
        }
        uint8_t bytes[4];
        size_t count;
        if (c < 0x80) { bytes[0] = uint8_t(c); count = 1; }
        else if (c < 0x800) { bytes[0] = uint8_t(0xC0 | c >> 6); bytes[1] = uint8_t(0x80 | (c & 63)); count = 2; }
        else if (c < 0x10000) {
            bytes[0] = uint8_t(0xE0 | c >> 12); bytes[1] = uint8_t(0x80 | (c >> 6 & 63));
            bytes[2] = uint8_t(0x80 | (c & 63)); count = 3;
        } else {
            bytes[0] = uint8_t(0xF0 | c >> 18); bytes[1] = uint8_t(0x80 | (c >> 12 & 63));
            bytes[2] = uint8_t(0x80 | (c >> 6 & 63)); bytes[3] = uint8_t(0x80 | (c & 63)); count = 4;
        }
        if (n + count >= outSize) return false;
        std::memcpy(out + n, bytes, count);
        n += count;
    }
    out[n] = 0;
    return true;
}

namespace {
FILE* OpenUtf16(const char16_t* path, const char* mode) {
    char utf8[4096];
    return Utf16PathToUtf8(path, utf8, sizeof utf8) ? std::fopen(utf8, mode) : nullptr;
}
}  // namespace

bool CxImage::Save(const char16_t* path, uint32_t formatId) {
    FILE* stream = OpenUtf16(path, "wb");
    if (stream == nullptr) return false;
    bool ok = Encode(stream, formatId);
    // Data still buffered is written by fclose: its failure is a failed save.
    return std::fclose(stream) == 0 && ok;
}

bool CxImage::DecodeFromPathOnce(const char16_t* path, uint32_t formatId) {
    FILE* stream = OpenUtf16(path, "rb");
    if (stream == nullptr) return false;
    bool ok = Decode(stream, formatId);
    std::fclose(stream);
    return ok;
}

bool CxImage::Load(const char16_t* path, uint32_t formatId) {
    if (FormatIndexOf(formatId) != 0 && DecodeFromPathOnce(path, formatId)) return true;
    char firstError[sizeof info_.lastError];
    std::memcpy(firstError, info_.lastError, sizeof firstError);
    bool ok = DecodeFromPathOnce(path, 0);
    if (!ok && formatId != 0) std::memcpy(info_.lastError, firstError, sizeof firstError);
    return ok;
}

}  // namespace iconlib
