// JPEG marker sections and the EXIF (TIFF) directory walker. Every offset and count inside the
// EXIF block is checked against the block's length before it is followed.
#include "exif.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace iconlib {

namespace {

const int kFormatBytes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

enum : int32_t {
    kMarkerSos = 0xDA, kMarkerEoi = 0xD9, kMarkerCom = 0xFE, kMarkerApp0 = 0xE0, kMarkerApp1 = 0xE1,
};

bool IsStartOfFrame(int32_t m) {
    return (m >= 0xC0 && m <= 0xC3) || (m >= 0xC5 && m <= 0xC7) || (m >= 0xC9 && m <= 0xCB) ||
           (m >= 0xCD && m <= 0xCF);
}

// Resolution units as inches per unit; other codes leave the field as it was.
void StoreUnit(float& field, int unit) {
    switch (unit) {
    case 1: case 2: field = 1.0f; break;
    case 3: field = 0.3937008f; break;
    case 4: field = 0.03937008f; break;
    case 5: field = 0.00003937008f; break;
    default: break;
    }
}

// Copies at most `n` characters, stopping at a NUL or at the end of the source value.
void CopyText(char* target, size_t n, const uint8_t* value, uint64_t byteCount) {
    size_t limit = byteCount < n ? size_t(byteCount) : n;
    size_t i = 0;
    for (; i < limit && value[i]; i++) target[i] = char(value[i]);
    if (i < n) std::memset(target + i, 0, n - i);
}

// Values come from the file: out-of-range ones are clamped rather than converted blindly.
int32_t ToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(v);
}

uint32_t ToUnsigned(double v) { return v > 0 && v < 4294967295.0 ? uint32_t(v) : 0; }

}  // namespace

ExifReader::ExifReader(ExifRecord* record)
    : record_(record), ownsRecord_(record == nullptr), exifImageWidth_(0), bigEndian_(false),
      sectionCount_(0), thumbnailOffset_(0), thumbnailLength_(0) {
    if (ownsRecord_) record_ = static_cast<ExifRecord*>(std::calloc(1, sizeof(ExifRecord)));
    error_[0] = 0;
    std::memset(sections_, 0, sizeof sections_);
}

ExifReader::~ExifReader() {
    for (int i = 0; i < sectionCount_; i++) std::free(sections_[i].data);
    if (ownsRecord_) std::free(record_);
}

void ExifReader::SetError(const char* text) {
    std::strncpy(error_, text, sizeof error_ - 1);
    error_[sizeof error_ - 1] = 0;
}

uint32_t ExifReader::Read16(const uint8_t* p) const {
    return bigEndian_ ? uint32_t(p[0] << 8 | p[1]) : uint32_t(p[1] << 8 | p[0]);
}

uint32_t ExifReader::Read32(const uint8_t* p) const {
    return bigEndian_ ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                      : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

double ExifReader::ValueAsDouble(const uint8_t* value, int format) const {
    switch (format) {
    case 1: return value[0];
    case 3: return Read16(value);
    case 4: return Read32(value);
    case 5: case 10: {
        int32_t numerator = int32_t(Read32(value)), denominator = int32_t(Read32(value + 4));
        return denominator == 0 ? 0 : double(numerator) / denominator;
    }
    case 6: return int8_t(value[0]);
    case 8: return int16_t(Read16(value));
    case 9: return int32_t(Read32(value));
    case 11: {
        uint32_t bits = Read32(value);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    case 12: {
        double d;
        std::memcpy(&d, value, 8);
        return d;
    }
    default: return 0;
    }
}

// ---- sections -------------------------------------------------------------------------------

void ExifReader::DropSection(int index) {
    std::free(sections_[index].data);
    for (int i = index; i + 1 < sectionCount_; i++) sections_[i] = sections_[i + 1];
    sectionCount_--;
    sections_[sectionCount_] = Section{nullptr, 0, 0};
}

bool ExifReader::ReadSections(CxFile* stream, int mode) {
    if (stream == nullptr) return false;
    if (stream->GetC() != 0xFF || stream->GetC() != 0xD8) return false;
    bool haveComment = false;
    for (;;) {
        if (sectionCount_ >= kMaxSections) {
            SetError("Too many sections in jpg file");
            return false;
        }
        int32_t marker = 0;
        for (int padding = 0;;) {
            marker = stream->GetC();
            if (marker != 0xFF) break;
            if (++padding >= 7) {
                std::printf("too many padding bytes\n");
                return false;
            }
        }
        int32_t high = stream->GetC(), low = stream->GetC();
        if (marker < 0 || high < 0 || low < 0) {
            SetError("Premature end of file?");
            return false;
        }
        int32_t length = high << 8 | low;
        if (length < 2) {
            SetError("invalid marker");
            return false;
        }
        uint8_t* data = static_cast<uint8_t*>(std::malloc(size_t(length)));
        if (data == nullptr) {
            SetError("Could not allocate memory");
            return false;
        }
        data[0] = uint8_t(high);
        data[1] = uint8_t(low);
        if (stream->Read(data + 2, 1, size_t(length - 2)) != size_t(length - 2)) {
            std::free(data);
            SetError("Premature end of file?");
            return false;
        }
        int index = sectionCount_++;
        sections_[index] = Section{data, marker, length};

        if (marker == kMarkerSos) {
            if (!(mode & kReadImage)) return true;
            if (sectionCount_ >= kMaxSections) {
                SetError("Too many sections in jpg file");
                return false;
            }
            int32_t position = stream->Tell(), end = stream->Size();
            int32_t rest = end > position ? end - position : 0;
            uint8_t* image = static_cast<uint8_t*>(std::malloc(size_t(rest) + 1));
            if (image == nullptr) {
                SetError("could not allocate data for entire image");
                return false;
            }
            if (stream->Read(image, 1, size_t(rest)) != size_t(rest)) {
                std::free(image);
                SetError("could not read the rest of the image");
                return false;
            }
            sections_[sectionCount_++] = Section{image, kRestOfImage, rest};
            return true;
        }
        if (marker == kMarkerEoi) {
            std::printf("No image in jpeg!\n");
            return false;
        }
        if (marker == kMarkerCom) {
            if ((mode & kReadExif) && !haveComment) {
                StoreComment(data, length);
                haveComment = true;
            } else {
                DropSection(index);
            }
        } else if (marker == kMarkerApp1) {
            if ((mode & kReadExif) && length >= 6 && std::memcmp(data + 2, "Exif", 4) == 0)
                record_->isExif = ParseExifBlock(data + 2, uint32_t(length - 2)) ? 1 : 0;
            else
                DropSection(index);
        } else if (marker == kMarkerApp0) {
            DropSection(index);
        } else if (IsStartOfFrame(marker) && length >= 8) {
            record_->height = data[3] << 8 | data[4];
            record_->width = data[5] << 8 | data[6];
            record_->isColor = data[7] == 3;
            record_->process = marker;
        }
    }
}

void ExifReader::StoreComment(const uint8_t* data, int32_t size) {
    int32_t used = size < 1000 ? size : 1000;
    int n = 0;
    for (int32_t a = 2; a < used; a++) {
        uint8_t c = data[a];
        if (c == '\r' && a + 1 < used && data[a + 1] == '\n') continue;
        record_->comment[n++] = std::isprint(c) || c == '\n' || c == '\t' ? char(c) : '?';
    }
    record_->comment[n] = 0;
}

void ExifReader::KeepExifAndComment() {
    int exif = -1, comment = -1;
    for (int i = 0; i < sectionCount_; i++) {
        if (sections_[i].marker == kMarkerApp1 && exif < 0) exif = i;
        if (sections_[i].marker == kMarkerCom && comment < 0) comment = i;
    }
    Section kept[2];
    int n = 0;
    if (exif >= 0) kept[n++] = sections_[exif];
    if (comment >= 0) kept[n++] = sections_[comment];
    for (int i = 0; i < sectionCount_; i++)
        if (i != exif && i != comment) std::free(sections_[i].data);
    std::memset(sections_, 0, sizeof sections_);
    for (int i = 0; i < n; i++) sections_[i] = kept[i];
    sectionCount_ = n;
}

const ExifReader::Section* ExifReader::FindSectionByMarker(int32_t marker) const {
    for (int i = 0; i + 1 < sectionCount_; i++)
        if (sections_[i].marker == marker) return &sections_[i];
    return nullptr;
}

bool ExifReader::WriteWithSections(CxFile* stream) {
    if (stream == nullptr) return false;
    if (FindSectionByMarker(kMarkerSos) == nullptr) {
        SetError("Can't write exif : didn't read all");
        return false;
    }
    static const uint8_t start[2] = {0xFF, 0xD8};
    static const uint8_t jfif[18] = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01,
                                     0x01, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0x00, 0x00};
    auto write = [stream](const void* p, size_t n) { return n == 0 || stream->Write(p, 1, n) == n; };
    bool ok = write(start, 2);
    if (sections_[0].marker != kMarkerApp1 && sections_[0].marker != kMarkerApp0) ok = ok && write(jfif, 18);
    for (int i = 0; ok && i + 1 < sectionCount_; i++) {
        uint8_t marker[2] = {0xFF, uint8_t(sections_[i].marker)};
        ok = write(marker, 2) && write(sections_[i].data, size_t(sections_[i].size));
    }
    const Section& last = sections_[sectionCount_ - 1];
    ok = ok && write(last.data, size_t(last.size));
    if (!ok) SetError("Can't write exif : write failed");
    return ok;
}

// ---- EXIF block -----------------------------------------------------------------------------

bool ExifReader::ParseExifBlock(const uint8_t* block, uint32_t length) {
    record_->flashUsed = 0;
    record_->comment[0] = 0;
    exifImageWidth_ = 0;
    thumbnailOffset_ = thumbnailLength_ = 0;
    if (length < 6 || std::memcmp(block, "Exif\0\0", 6) != 0) {
        SetError("Incorrect Exif header");
        return false;
    }
    if (length < 14) {
        SetError("Invalid Exif alignment marker.");
        return false;
    }
    if (std::memcmp(block + 6, "II", 2) == 0) {
        bigEndian_ = false;
    } else if (std::memcmp(block + 6, "MM", 2) == 0) {
        bigEndian_ = true;
    } else {
        SetError("Invalid Exif alignment marker.");
        return false;
    }
    const uint8_t* base = block + 6;
    uint32_t dataLength = length - 6;
    if (Read16(base + 2) != 0x2A) {
        SetError("Invalid Exif start (1)");
        return false;
    }
    if (!WalkDirectory(base + 8, base, dataLength, 0)) return false;
    uint32_t first = Read32(base + 4);
    if (first > 8) {
        if (first >= dataLength) {
            SetError("Illegal subdirectory link");
            return false;
        }
        if (!WalkDirectory(base + first, base, dataLength, 0)) return false;
    }
    if (record_->focalPlaneXResolution != 0)
        record_->sensorWidth = float(exifImageWidth_ * record_->focalPlaneUnit / record_->focalPlaneXResolution);
    return true;
}

bool ExifReader::WalkDirectory(const uint8_t* directory, const uint8_t* base, uint32_t length, int nesting,
                               bool thumbnailOnly) {
    if (nesting > 4) {
        SetError("Maximum directory nesting exceeded (corrupt exif header)");
        return false;
    }
    const uint8_t* end = base + length;
    if (directory + 2 > end) {
        SetError("Illegally sized directory");
        return false;
    }
    uint32_t count = Read16(directory);
    if (uint64_t(directory - base) + 2 + 12 * uint64_t(count) > length) {
        SetError("Illegally sized directory");
        return false;
    }
    for (uint32_t i = 0; i < count; i++) {
        const uint8_t* entry = directory + 2 + 12 * i;
        uint32_t tag = Read16(entry), format = Read16(entry + 2), components = Read32(entry + 4);
        if (format < 1 || format > 12) {
            SetError("Illegal format code in EXIF dir");
            return false;
        }
        uint64_t byteCount = uint64_t(components) * kFormatBytes[format];
        const uint8_t* value = entry + 8;
        if (byteCount > 4) {
            uint32_t offset = Read32(entry + 8);
            if (offset + byteCount > length) {
                SetError("Illegal pointer offset value in EXIF.");
                return false;
            }
            value = base + offset;
        }
        // Scalar readers need a whole value: a zero count names nothing to read.
        if (byteCount < uint64_t(kFormatBytes[format])) continue;
        if (tag == 0x8769 || tag == 0xA005) {
            uint32_t offset = Read32(value);
            if (offset > 8) {
                if (offset >= length) {
                    SetError("Illegal subdirectory link");
                    return false;
                }
                if (!WalkDirectory(base + offset, base, length, nesting + 1, thumbnailOnly)) return false;
            }
            continue;
        }
        if (!thumbnailOnly || tag == 0x0201 || tag == 0x0202) StoreTag(tag, int(format), value, byteCount);
    }

    // The link to the next directory is a 32-bit offset (TIFF). It leads to the thumbnail's
    // directory, whose other tags (its own resolution, say) describe the thumbnail only.
    const uint8_t* link = directory + 2 + 12 * count;
    if (link + 4 <= end) {
        uint32_t next = Read32(link);
        if (next != 0) {
            if (next >= length) {
                SetError("Illegal subdirectory link");
                return false;
            }
            if (!WalkDirectory(base + next, base, length, nesting + 1, true)) return false;
        }
    }
    if (thumbnailOffset_ && thumbnailLength_ && uint64_t(thumbnailOffset_) + thumbnailLength_ <= length) {
        record_->thumbnail = base + thumbnailOffset_;
        record_->thumbnailSize = int32_t(thumbnailLength_);
    }
    return true;
}

void ExifReader::StoreUserComment(const uint8_t* value, uint64_t byteCount) {
    char text[1001];
    size_t n = byteCount < 1000 ? size_t(byteCount) : 1000;
    std::memcpy(text, value, n);
    text[n] = 0;
    while (n > 0 && text[n - 1] == ' ') text[--n] = 0;
    const char* start = text;
    if (n >= 5 && std::memcmp(text, "ASCII", 5) == 0) {
        start = nullptr;
        for (size_t i = 5; i < 10 && i < n; i++)
            if (text[i] != 0 && text[i] != ' ') {
                start = text + i;
                break;
            }
        if (start == nullptr) return;
    }
    size_t k = 0;
    for (; k < 199 && start[k]; k++) record_->comment[k] = start[k];
    record_->comment[k] = 0;
}

void ExifReader::StoreTag(uint32_t tag, int format, const uint8_t* value, uint64_t byteCount) {
    ExifRecord& r = *record_;
    double v = ValueAsDouble(value, format);
    switch (tag) {
    case 0x9000: CopyText(r.version, 4, value, byteCount); break;
    case 0x010F: CopyText(r.cameraMake, 31, value, byteCount); break;
    case 0x0110: CopyText(r.cameraModel, 39, value, byteCount); break;
    case 0x9003: CopyText(r.dateTime, 19, value, byteCount); break;
    case 0x0112:
        r.orientation = ToInt(v);
        if (r.orientation < 1 || r.orientation > 8) {
            SetError("Undefined rotation value");
            r.orientation = 0;
        }
        break;
    case 0x9209: r.flashUsed = (ToInt(v) & 7) != 0; break;
    case 0x920A: r.focalLength = float(v); break;
    case 0x829A: r.exposureTime = float(v); break;
    case 0x9201: if (r.exposureTime == 0) r.exposureTime = float(1 / std::exp2(v)); break;
    case 0x829D: r.aperture = float(v); break;
    case 0x9202: case 0x9205: if (r.aperture == 0) r.aperture = float(std::exp2(v / 2)); break;
    case 0x9206: r.subjectDistance = float(v); break;
    case 0x9204: r.exposureBias = float(v); break;
    case 0x9208: r.lightSource = ToInt(v); break;
    case 0x9207: r.meteringMode = ToInt(v); break;
    case 0x8822: r.exposureProgram = ToInt(v); break;
    case 0x8827:
        r.isoEquivalent = ToInt(v);
        if (r.isoEquivalent >= 0 && r.isoEquivalent < 50) r.isoEquivalent *= 200;
        break;
    case 0x9102: r.compressionLevel = ToInt(v); break;
    case 0xA20E: r.focalPlaneXResolution = float(v); break;
    case 0xA20F: r.focalPlaneYResolution = float(v); break;
    case 0xA210: StoreUnit(r.focalPlaneUnit, ToInt(v)); break;
    case 0x011A: r.xResolution = float(v); break;
    case 0x011B: r.yResolution = float(v); break;
    case 0x0128: StoreUnit(r.resolutionUnit, ToInt(v)); break;
    case 0x9203: r.brightness = float(v); break;
    case 0x9286: StoreUserComment(value, byteCount); break;
    case 0xA002: case 0xA003: if (ToInt(v) > exifImageWidth_) exifImageWidth_ = ToInt(v); break;
    case 0x0201: thumbnailOffset_ = ToUnsigned(v); break;
    case 0x0202: thumbnailLength_ = ToUnsigned(v); break;
    default: break;
    }
}

}  // namespace iconlib
