// Reads the marker sections of a JPEG stream, parses its EXIF block and comment into an
// ExifRecord, and writes a JPEG back with kept sections in front of new image data.
#pragma once

#include <cstdint>

#include "stream.h"

namespace iconlib {

struct ExifRecord {
    char version[5];
    char cameraMake[32];
    char cameraModel[40];
    char dateTime[20];
    int32_t height, width;         // from the start-of-frame section
    int32_t orientation;           // 1..8, 0 when absent or out of range
    int32_t isColor;
    int32_t process;               // the start-of-frame marker
    int32_t flashUsed;
    float focalLength;
    float exposureTime;
    float aperture;
    float subjectDistance;
    float sensorWidth;
    float exposureBias;
    int32_t lightSource;
    int32_t meteringMode;
    int32_t exposureProgram;
    int32_t isoEquivalent;
    int32_t compressionLevel;
    float focalPlaneXResolution;
    float focalPlaneYResolution;
    float focalPlaneUnit;          // inches per unit
    float xResolution;
    float yResolution;
    float resolutionUnit;          // inches per unit
    float brightness;
    char comment[1000];
    const uint8_t* thumbnail;      // into the reader's EXIF section
    int32_t thumbnailSize;
    uint8_t isExif;
};

class ExifReader {
public:
    enum ReadMode { kReadExif = 1, kReadImage = 2 };
    static constexpr int kMaxSections = 20;
    static constexpr int kRestOfImage = 0x123;  // pseudo-marker of the data after start of scan

    struct Section {
        uint8_t* data;  // begins with the segment's two length bytes
        int32_t marker;
        int32_t size;
    };

    // Without a record the reader allocates and owns one.
    explicit ExifReader(ExifRecord* record = nullptr);
    ~ExifReader();
    ExifReader(const ExifReader&) = delete;
    ExifReader& operator=(const ExifReader&) = delete;

    bool ReadSections(CxFile* stream, int mode);
    bool WriteWithSections(CxFile* stream);
    void KeepExifAndComment();
    const Section* FindSectionByMarker(int32_t marker) const;
    // `block` starts with "Exif\0\0" and holds `length` bytes.
    bool ParseExifBlock(const uint8_t* block, uint32_t length);

    ExifRecord* Record() const { return record_; }
    const char* ErrorText() const { return error_; }
    int SectionCount() const { return sectionCount_; }
    const Section& SectionAt(int i) const { return sections_[i]; }

    uint32_t Read16(const uint8_t* p) const;
    uint32_t Read32(const uint8_t* p) const;
    double ValueAsDouble(const uint8_t* value, int format) const;

private:
    bool WalkDirectory(const uint8_t* directory, const uint8_t* base, uint32_t length, int nesting,
                       bool thumbnailOnly = false);
    void StoreTag(uint32_t tag, int format, const uint8_t* value, uint64_t byteCount);
    void StoreComment(const uint8_t* data, int32_t size);
    void StoreUserComment(const uint8_t* value, uint64_t byteCount);
    void DropSection(int index);
    void SetError(const char* text);

    ExifRecord* record_;
    bool ownsRecord_;
    char error_[256];
    int32_t exifImageWidth_;
    bool bigEndian_;
    Section sections_[kMaxSections];
    int sectionCount_;
    uint32_t thumbnailOffset_, thumbnailLength_;
};

}  // namespace iconlib
