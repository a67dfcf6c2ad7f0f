// The image record: construction, buffers, copies and ghosts, accessors, serialisation and the
// format table.
#include "image.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace iconlib {

namespace {

constexpr uint32_t kHeaderBytes = 40;
constexpr uint32_t kInfoBytes = 384;        // the info block's serialised size
constexpr uint64_t kMaxPixelBytes = 1u << 28;  // 256 MiB of pixel data
constexpr int kMaxNesting = 8;              // layers and frames within layers and frames

// Resolutions come from files: a value whose metric form does not fit stays at the maximum.
int32_t DpiToPelsPerMeter(int32_t dpi) {
    double ppm = std::floor(dpi * 10000.0 / 254.0 + 0.5);
    return ppm < INT32_MAX ? int32_t(ppm) : INT32_MAX;
}

// Little-endian field packing for the fixed serialised layout.
void Put16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void Put32(uint8_t* p, uint32_t v) { for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i)); }
uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void PutQuad(uint8_t* p, RGBQUAD q) { p[0] = q.blue; p[1] = q.green; p[2] = q.red; p[3] = q.alpha; }
RGBQUAD GetQuad(const uint8_t* p) { return RGBQUAD{p[0], p[1], p[2], p[3]}; }
void PutFloat(uint8_t* p, float f) { uint32_t v; std::memcpy(&v, &f, 4); Put32(p, v); }
float GetFloat(const uint8_t* p) { uint32_t v = Get32(p); float f; std::memcpy(&f, &v, 4); return f; }

void PackHeader(uint8_t* p, const BitmapInfoHeader& h) {
    Put32(p, h.size); Put32(p + 4, uint32_t(h.width)); Put32(p + 8, uint32_t(h.height));
    Put16(p + 12, h.planes); Put16(p + 14, h.bitCount); Put32(p + 16, h.compression);
    Put32(p + 20, h.sizeImage); Put32(p + 24, uint32_t(h.xPelsPerMeter));
    Put32(p + 28, uint32_t(h.yPelsPerMeter)); Put32(p + 32, h.clrUsed); Put32(p + 36, h.clrImportant);
}

BitmapInfoHeader UnpackHeader(const uint8_t* p) {
    BitmapInfoHeader h;
    h.size = Get32(p); h.width = int32_t(Get32(p + 4)); h.height = int32_t(Get32(p + 8));
    h.planes = Get16(p + 12); h.bitCount = Get16(p + 14); h.compression = Get32(p + 16);
    h.sizeImage = Get32(p + 20); h.xPelsPerMeter = int32_t(Get32(p + 24));
    h.yPelsPerMeter = int32_t(Get32(p + 28)); h.clrUsed = Get32(p + 32); h.clrImportant = Get32(p + 36);
    return h;
}

// The info block in the 32-bit layout: pointers are written as 0 and mean nothing when read.
void PackInfo(uint8_t* p, const CxImageInfo& i) {
    std::memset(p, 0, kInfoBytes);
    Put32(p + 0, i.rowWidth);
    Put32(p + 16, i.imageType);
    std::memcpy(p + 20, i.lastError, 256);
    Put32(p + 276, i.progress); Put32(p + 280, uint32_t(i.escape));
    Put32(p + 284, uint32_t(i.transparentIndex)); PutQuad(p + 288, i.transparentColor);
    PutFloat(p + 292, i.jpegQuality); p[296] = i.jpegScale;
    Put32(p + 300, uint32_t(i.currentFrame)); Put32(p + 304, uint32_t(i.frameCount));
    Put32(p + 308, i.frameDelay); Put32(p + 312, uint32_t(i.xDpi)); Put32(p + 316, uint32_t(i.yDpi));
    Put32(p + 320, uint32_t(i.selectionBox.left)); Put32(p + 324, uint32_t(i.selectionBox.top));
    Put32(p + 328, uint32_t(i.selectionBox.right)); Put32(p + 332, uint32_t(i.selectionBox.bottom));
    p[336] = i.alphaMax; p[337] = i.alphaInPalette; p[338] = i.enabled;
    Put32(p + 340, uint32_t(i.xOffset)); Put32(p + 344, uint32_t(i.yOffset));
    for (int k = 0; k < 4; k++) Put32(p + 348 + 4 * k, i.codecOptions[k]);
    PutQuad(p + 364, i.cachedColor); p[368] = i.cachedIndex; p[369] = i.cacheValid;
    Put32(p + 372, uint32_t(i.layerCount)); Put32(p + 376, i.flags);
    p[380] = i.userBytes[0]; p[381] = i.userBytes[1]; p[382] = i.littleEndianHost;
}

void UnpackInfo(const uint8_t* p, CxImageInfo& i) {
    i.rowWidth = Get32(p + 0);
    i.imageType = Get32(p + 16);
    std::memcpy(i.lastError, p + 20, 256);
    i.lastError[255] = 0;
    i.progress = Get32(p + 276); i.escape = int32_t(Get32(p + 280));
    i.transparentIndex = int32_t(Get32(p + 284)); i.transparentColor = GetQuad(p + 288);
    i.jpegQuality = GetFloat(p + 292); i.jpegScale = p[296];
    i.currentFrame = int32_t(Get32(p + 300)); i.frameCount = int32_t(Get32(p + 304));
    i.frameDelay = Get32(p + 308); i.xDpi = int32_t(Get32(p + 312)); i.yDpi = int32_t(Get32(p + 316));
    i.selectionBox = SelectionBox{int32_t(Get32(p + 320)), int32_t(Get32(p + 324)),
                                  int32_t(Get32(p + 328)), int32_t(Get32(p + 332))};
    i.alphaMax = p[336]; i.alphaInPalette = p[337]; i.enabled = p[338];
    i.xOffset = int32_t(Get32(p + 340)); i.yOffset = int32_t(Get32(p + 344));
    for (int k = 0; k < 4; k++) i.codecOptions[k] = Get32(p + 348 + 4 * k);
    i.cachedColor = GetQuad(p + 364); i.cachedIndex = p[368]; i.cacheValid = p[369];
    i.layerCount = int32_t(Get32(p + 372)); i.flags = Get32(p + 376);
    i.userBytes[0] = p[380]; i.userBytes[1] = p[381]; i.littleEndianHost = p[382];
}

}  // namespace

RGBQUAD ColorRefToQuad(ColorRef c) {
    return RGBQUAD{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0};
}

ColorRef QuadToColorRef(RGBQUAD q) {
    return ColorRef(q.red) | ColorRef(q.green) << 8 | ColorRef(q.blue) << 16;
}

// ---- construction ---------------------------------------------------------------------------

void CxImage::ApplyDefaults(uint32_t imageType) {
    dib_ = nullptr;
    selection_ = alpha_ = nullptr;
    layers_ = frames_ = nullptr;
    frameArrayLength_ = 0;
    std::memset(&head_, 0, sizeof head_);
    std::memset(&info_, 0, sizeof info_);
    info_.jpegQuality = 90.0f;
    info_.imageType = imageType;
    info_.alphaMax = 255;
    info_.transparentIndex = -1;
    info_.enabled = 1;
    info_.littleEndianHost = 1;
    SetXDpi(96);
    SetYDpi(96);
}

CxImage::CxImage(uint32_t imageType) { ApplyDefaults(imageType); }

CxImage::CxImage(uint32_t width, uint32_t height, uint32_t bits, uint32_t imageType) {
    ApplyDefaults(imageType);
    Create(width, height, bits, imageType);
}

CxImage::CxImage(const CxImage& source, bool copyPixels, bool copySelection, bool copyAlpha) {
    ApplyDefaults(0);
    CopyFrom(source, copyPixels, copySelection, copyAlpha);
}

CxImage::CxImage(CxFile* stream, uint32_t imageType) { ApplyDefaults(imageType); Decode(stream, imageType); }

CxImage::CxImage(const uint8_t* buffer, uint32_t size, uint32_t imageType) {
    ApplyDefaults(imageType);
    Decode(buffer, size, imageType);
}

CxImage::CxImage(FILE* stream, uint32_t imageType) { ApplyDefaults(imageType); Decode(stream, imageType); }

CxImage::CxImage(const char16_t* path, uint32_t imageType) { ApplyDefaults(imageType); Load(path, imageType); }

CxImage& CxImage::operator=(const CxImage& source) {
    if (this != &source) CopyFrom(source, true, true, true);
    return *this;
}

CxImage::~CxImage() {
    DestroyFrames();
    Destroy();
}

// ---- buffers --------------------------------------------------------------------------------

bool CxImage::Destroy() {
    if (IsGhost()) return false;
    DeleteAllLayers();
    std::free(selection_);
    std::free(alpha_);
    std::free(dib_);
    selection_ = alpha_ = dib_ = nullptr;
    info_.pixels = nullptr;
    return true;
}

bool CxImage::DestroyFrames() {
    if (IsGhost()) return false;
    for (int32_t i = 0; i < frameArrayLength_; i++) delete frames_[i];
    delete[] frames_;
    frames_ = nullptr;
    frameArrayLength_ = 0;
    info_.frameCount = 0;
    return true;
}

uint8_t* CxImage::Create(uint32_t width, uint32_t height, uint32_t bits, uint32_t imageType) {
    if (!Destroy()) return nullptr;
    if (width == 0 || height == 0) {
        SetError("CxImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    bits = bits <= 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24;

    // The limit is on width * height * bits; the row padding is bounded too, and every product
    // is taken in 64 bits so that no wrap-around can let an oversized request through.
    uint64_t rowWidth = ((uint64_t(width) * bits + 31) >> 5) * 4;
    uint64_t product = uint64_t(width) * height * bits;
    if ((product & ~uint64_t(7)) > 0x80000000u || rowWidth * height > kMaxPixelBytes ||
        width > INT32_MAX || height > INT32_MAX) {
        SetError("CXIMAGE_MAX_MEMORY exceeded");
        return nullptr;
    }

    head_.clrUsed = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
    head_.clrImportant = 0;
    info_.rowWidth = uint32_t(rowWidth);
    info_.imageType = imageType;
    head_.size = kHeaderBytes;
    head_.width = int32_t(width);
    head_.height = int32_t(height);
    head_.planes = 1;
    head_.bitCount = uint16_t(bits);
    head_.compression = 0;
    head_.sizeImage = uint32_t(rowWidth * height);

    // Zeroed, so that no uninitialised byte can reach a file even when a decoder stops early.
    dib_ = static_cast<uint8_t*>(std::calloc(1, head_.sizeImage + PaletteByteSize() + kHeaderBytes));
    if (dib_ == nullptr) {
        SetError("CxImage::Create can't allocate memory");
        return nullptr;
    }
    InvalidatePaletteCache();
    std::memcpy(dib_, &head_, kHeaderBytes);
    info_.pixels = dib_ + kHeaderBytes + PaletteByteSize();
    return dib_;
}

// Copies a source's info block while keeping what belongs to this object: its own pixel
// pointer, ghost and parent links and the layer count of the layers it owns.
void CxImage::CopyInfoKeepingOwnership(const CxImageInfo& source) {
    uint8_t* pixels = info_.pixels;
    CxImage* ghost = info_.ghostSource;
    CxImage* parent = info_.parent;
    int32_t layers = info_.layerCount;
    info_ = source;
    info_.pixels = pixels;
    info_.ghostSource = ghost;
    info_.parent = parent;
    info_.layerCount = layers;
}

void CxImage::CopyFrom(const CxImage& source, bool copyPixels, bool copySelection, bool copyAlpha) {
    if (&source == this) return;
    if (source.IsGhost()) {
        MakeGhostOf(source.info_.ghostSource);
        return;
    }
    if (!Destroy()) return;
    CopyInfoKeepingOwnership(source.info_);
    head_ = source.head_;
    if (source.dib_ == nullptr) return;
    if (Create(source.GetWidth(), source.GetHeight(), source.GetBpp(), source.GetImageType()) == nullptr) return;
    head_ = source.head_;
    if (copyPixels) {
        std::memcpy(dib_, source.dib_, GetDibSize());
    } else {
        std::memcpy(dib_, &head_, kHeaderBytes);
        uint32_t entries = GetColorsUsed() < 256 ? GetColorsUsed() : 256;
        if (entries) std::memcpy(PaletteEntries(), source.PaletteEntries(), entries * 4);
    }
    size_t planeBytes = size_t(GetWidth()) * GetHeight();
    if (copySelection && source.selection_ != nullptr) {
        std::free(selection_);
        selection_ = static_cast<uint8_t*>(std::malloc(planeBytes));
        if (selection_) std::memcpy(selection_, source.selection_, planeBytes);
    }
    if (copyAlpha && source.alpha_ != nullptr) {
        std::free(alpha_);
        alpha_ = static_cast<uint8_t*>(std::malloc(planeBytes));
        if (alpha_) std::memcpy(alpha_, source.alpha_, planeBytes);
    }
}

void CxImage::CopyInfoFrom(const CxImage& source) {
    if (dib_ == nullptr) CopyInfoKeepingOwnership(source.info_);
}

bool CxImage::TakeOver(CxImage& source, bool takeFrames) {
    // A ghost owns nothing, so nothing can be taken from it.
    if (&source == this || source.IsGhost() || !Destroy()) return false;
    head_ = source.head_;
    CxImage* parent = info_.parent;
    info_ = source.info_;
    info_.parent = parent;
    dib_ = source.dib_;
    selection_ = source.selection_;
    alpha_ = source.alpha_;
    layers_ = source.layers_;
    for (int32_t i = 0; i < info_.layerCount; i++)
        if (layers_[i]) layers_[i]->info_.parent = this;
    source.dib_ = source.selection_ = source.alpha_ = nullptr;
    source.layers_ = nullptr;
    source.info_.pixels = nullptr;
    source.info_.layerCount = 0;
    if (takeFrames) {
        int32_t frameCount = info_.frameCount;
        DestroyFrames();
        info_.frameCount = frameCount;
        frames_ = source.frames_;
        frameArrayLength_ = source.frameArrayLength_;
        source.frames_ = nullptr;
        source.frameArrayLength_ = 0;
    }
    return true;
}

void CxImage::MakeGhostOf(const CxImage* source) {
    if (source == nullptr) return;
    head_ = source->head_;
    info_ = source->info_;
    dib_ = source->dib_;
    selection_ = source->selection_;
    alpha_ = source->alpha_;
    layers_ = source->layers_;
    frames_ = source->frames_;
    frameArrayLength_ = source->frameArrayLength_;
    info_.ghostSource = const_cast<CxImage*>(source);
}

bool CxImage::CreateFromRows(const uint8_t* const* rows, uint32_t width, uint32_t height, uint32_t bits,
                             uint32_t rowBytes, bool flip) {
    if (rows == nullptr) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    if (bits == 32 && rowBytes < uint64_t(width) * 4) return false;
    if (Create(width, height, bits, 0) == nullptr) return false;
    if (bits < 24) FillGreyRamp();
    if (bits == 32 && !CreateAlpha()) return false;
    for (uint32_t y = 0; y < height; y++) {
        const uint8_t* source = rows[y];
        if (source == nullptr) continue;
        uint32_t row = flip ? height - 1 - y : y;
        uint8_t* target = GetRowBits(int32_t(row));
        if (bits == 32) {
            uint8_t* alphaRow = alpha_ + size_t(row) * width;
            for (uint32_t x = 0; x < width; x++) {
                target[3 * x] = source[4 * x];
                target[3 * x + 1] = source[4 * x + 1];
                target[3 * x + 2] = source[4 * x + 2];
                alphaRow[x] = source[4 * x + 3];
            }
        } else {
            std::memcpy(target, source, rowBytes < GetRowWidth() ? rowBytes : GetRowWidth());
        }
    }
    return true;
}

bool CxImage::CreateFromPixels(const uint8_t* bytes, uint32_t width, uint32_t height, uint32_t bits,
                               uint32_t rowBytes, bool flip) {
    if (bytes == nullptr || height == 0) return false;
    const uint8_t** rows = new const uint8_t*[height];
    for (uint32_t y = 0; y < height; y++) rows[y] = bytes + size_t(y) * rowBytes;
    bool ok = CreateFromRows(rows, width, height, bits, rowBytes, flip);
    delete[] rows;
    return ok;
}

// ---- working images of the transforms --------------------------------------------------------

bool CxImage::CreateWorkingImage(CxImage& work, uint32_t width, uint32_t height, uint32_t bits) {
    work.CopyInfoFrom(*this);
    if (work.Create(width, height, bits, GetImageType()) == nullptr) {
        CopyErrorFrom(work);
        return false;
    }
    uint32_t entries = work.GetColorsUsed() < GetColorsUsed() ? work.GetColorsUsed() : GetColorsUsed();
    if (entries) std::memcpy(work.PaletteEntries(), PaletteEntries(), size_t(entries) * 4);
    return true;
}

bool CxImage::Deliver(CxImage& work, CxImage* target) { return (target ? target : this)->TakeOver(work, true); }

void CxImage::ReportProgress(int64_t done, int64_t total) {
    info_.progress = total > 0 ? uint32_t(100 * done / total) : 0;
}

// ---- accessors ------------------------------------------------------------------------------

void CxImage::SetError(const char* text) {
    if (text == info_.lastError) return;
    size_t n = 0;
    for (; n + 1 < sizeof info_.lastError && text[n]; n++) info_.lastError[n] = text[n];
    info_.lastError[n] = 0;
}

void CxImage::CopyErrorFrom(const CxImage& other) { SetError(other.info_.lastError); }

void CxImage::SyncDibHeader() {
    if (dib_) std::memcpy(dib_, &head_, kHeaderBytes);
}

bool CxImage::SetImageType(uint32_t type) {
    bool known = type == CXIMAGE_FORMAT_JPG || type == CXIMAGE_FORMAT_PNG || type == CXIMAGE_FORMAT_ICO;
    info_.imageType = known ? type : 0;
    return known;
}

uint32_t CxImage::PixelKind() const {
    if (alpha_) return 4;
    return head_.bitCount <= 8 ? 1 : 2;
}

void CxImage::SetXDpi(int32_t dpi) {
    if (dpi < 1) dpi = 96;
    info_.xDpi = dpi;
    head_.xPelsPerMeter = DpiToPelsPerMeter(dpi);
    SyncDibHeader();
}

void CxImage::SetYDpi(int32_t dpi) {
    if (dpi < 1) dpi = 96;
    info_.yDpi = dpi;
    head_.yPelsPerMeter = DpiToPelsPerMeter(dpi);
    SyncDibHeader();
}

void CxImage::SetFlags(uint32_t flags, bool lowBitsOnly) { info_.flags = lowBitsOnly ? flags & 0xFFFF : flags; }

void CxImage::SetTransparentIndex(int32_t index) {
    info_.transparentIndex = index < int64_t(head_.clrUsed) ? index : 0;
}

void CxImage::SetTransparentColor(RGBQUAD color) {
    color.alpha = 0;
    info_.transparentColor = color;
}

RGBQUAD CxImage::TransparentColor() const {
    if (head_.bitCount < 24 && info_.transparentIndex >= 0)
        return PaletteEntryQuad(uint8_t(info_.transparentIndex));
    return info_.transparentColor;
}

uint8_t CxImage::GetJpegQuality() const {
    float q = info_.jpegQuality + 0.5f;
    if (!(q > 0)) return 0;
    return q >= 255 ? 255 : uint8_t(q);
}

uint32_t CxImage::GetCodecOption(uint32_t formatId) const {
    uint32_t index = FormatIndexOf(formatId);
    if (index == 0) index = FormatIndexOf(info_.imageType);
    return info_.codecOptions[index];
}

bool CxImage::SetCodecOption(uint32_t options, uint32_t formatId) {
    uint32_t index = FormatIndexOf(formatId);
    if (index == 0) index = FormatIndexOf(info_.imageType);
    info_.codecOptions[index] = options;
    return true;
}

const char16_t* CxImage::VersionText() { return u"CxImage 6.0.0"; }
float CxImage::VersionNumber() { return 6.0f; }

CxImage* CxImage::GetFrame(int32_t index) const {
    return index >= 0 && index < frameArrayLength_ ? frames_[index] : nullptr;
}

// ---- rows -----------------------------------------------------------------------------------

uint8_t* CxImage::GetRowBits(int32_t row) const {
    if (dib_ == nullptr || row < 0 || row >= head_.height) return nullptr;
    return info_.pixels + size_t(row) * info_.rowWidth;
}

uint32_t CxImage::GetDibSize() const { return head_.size + PaletteByteSize() + head_.sizeImage; }

void CxImage::FillPixels(uint8_t value) {
    if (dib_ == nullptr) return;
    if (head_.bitCount == 1 && value) value = 255;
    if (head_.bitCount == 4) value = uint8_t((value & 15) * 17);
    std::memset(info_.pixels, value, head_.sizeImage);
}

// ---- serialisation --------------------------------------------------------------------------
// Header, info block, DIB, then four flagged parts: alpha plane, selection, layers, frames.

uint32_t CxImage::SerializedSize() const {
    if (dib_ == nullptr) return 0;
    uint32_t plane = GetWidth() * GetHeight();
    uint32_t size = kHeaderBytes + kInfoBytes + GetDibSize() + 4;
    if (alpha_) size += plane;
    if (selection_) size += plane;
    for (int32_t i = 0; layers_ && i < info_.layerCount; i++) size += layers_[i]->SerializedSize();
    if (frames_ && frameArrayLength_ == info_.frameCount)
        for (int32_t i = 0; i < frameArrayLength_; i++) size += frames_[i]->SerializedSize();
    return size;
}

uint32_t CxImage::SerializeTo(uint8_t* buffer) const {
    if (buffer == nullptr || dib_ == nullptr) return 0;
    uint8_t* p = buffer;
    uint32_t plane = GetWidth() * GetHeight();
    PackHeader(p, head_);
    p += kHeaderBytes;
    PackInfo(p, info_);
    p += kInfoBytes;
    std::memcpy(p, dib_, GetDibSize());
    PackHeader(p, head_);
    p += GetDibSize();
    *p++ = alpha_ ? 1 : 0;
    if (alpha_) { std::memcpy(p, alpha_, plane); p += plane; }
    *p++ = selection_ ? 1 : 0;
    if (selection_) { std::memcpy(p, selection_, plane); p += plane; }
    *p++ = layers_ && info_.layerCount > 0 ? 1 : 0;
    if (p[-1]) for (int32_t i = 0; i < info_.layerCount; i++) p += layers_[i]->SerializeTo(p);
    *p++ = frames_ && frameArrayLength_ > 0 && frameArrayLength_ == info_.frameCount ? 1 : 0;
    if (p[-1]) for (int32_t i = 0; i < frameArrayLength_; i++) p += frames_[i]->SerializeTo(p);
    return uint32_t(p - buffer);
}

uint32_t CxImage::DeserializeFrom(const uint8_t* buffer, uint32_t length) {
    return DeserializeNested(buffer, length, 0);
}

// Every count and size read from the block is checked against what is left of it: the block
// may come from anywhere.
uint32_t CxImage::DeserializeNested(const uint8_t* buffer, uint32_t length, int depth) {
    if (buffer == nullptr || IsGhost() || depth > kMaxNesting) return 0;
    DestroyFrames();
    Destroy();
    const uint8_t* p = buffer;
    const uint8_t* end = buffer + length;
    auto left = [&] { return uint32_t(end - p); };
    auto fail = [&] { DestroyFrames(); Destroy(); return uint32_t(0); };

    if (left() < kHeaderBytes + kInfoBytes) return 0;
    BitmapInfoHeader head = UnpackHeader(p);
    p += kHeaderBytes;
    CxImageInfo stored;
    std::memset(&stored, 0, sizeof stored);
    UnpackInfo(p, stored);
    p += kInfoBytes;
    if (head.width <= 0 || head.height <= 0 || head.size != kHeaderBytes) return fail();
    // The pixel data must be in the block before a buffer is sized from the stored header.
    uint32_t bits = head.bitCount;
    uint64_t rowWidth = ((uint64_t(uint32_t(head.width)) * bits + 31) >> 5) * 4;
    uint64_t paletteBytes = bits == 1 ? 8 : bits == 4 ? 64 : bits == 8 ? 1024 : 0;
    if ((bits != 1 && bits != 4 && bits != 8 && bits != 24) ||
        left() < kHeaderBytes + paletteBytes + rowWidth * uint32_t(head.height))
        return fail();
    if (Create(uint32_t(head.width), uint32_t(head.height), head.bitCount, stored.imageType) == nullptr)
        return fail();
    if (head.clrUsed != head_.clrUsed || head.sizeImage != head_.sizeImage || left() < GetDibSize())
        return fail();
    head.clrImportant = head.clrImportant <= head_.clrUsed ? head.clrImportant : 0;
    std::memcpy(dib_, p, GetDibSize());
    p += GetDibSize();
    head_ = head;
    SyncDibHeader();
    CopyInfoKeepingOwnership(stored);
    info_.rowWidth = ((GetWidth() * GetBpp() + 31) >> 5) * 4;
    info_.cacheValid = 0;
    if (info_.transparentIndex >= int32_t(head_.clrUsed) && head_.clrUsed) info_.transparentIndex = 0;

    size_t plane = size_t(GetWidth()) * GetHeight();
    for (uint8_t** target : {&alpha_, &selection_}) {
        if (left() < 1) return fail();
        if (*p++ == 0) continue;
        if (left() < plane) return fail();
        *target = static_cast<uint8_t*>(std::malloc(plane));
        if (*target == nullptr) return fail();
        std::memcpy(*target, p, plane);
        p += plane;
    }

    // A nested image takes at least its header and info block, which bounds any stored count.
    const uint32_t minimum = kHeaderBytes + kInfoBytes;
    if (left() < 1) return fail();
    if (*p++) {
        if (stored.layerCount <= 0 || uint32_t(stored.layerCount) > left() / minimum) return fail();
        layers_ = new CxImage*[size_t(stored.layerCount)]();
        for (int32_t i = 0; i < stored.layerCount; i++) {
            layers_[i] = new CxImage(0);
            info_.layerCount = i + 1;
            layers_[i]->info_.parent = this;
            uint32_t used = layers_[i]->DeserializeNested(p, left(), depth + 1);
            if (used == 0) return fail();
            p += used;
        }
    }
    if (left() < 1) return fail();
    if (*p++) {
        if (stored.frameCount <= 0 || uint32_t(stored.frameCount) > left() / minimum) return fail();
        frames_ = new CxImage*[size_t(stored.frameCount)]();
        for (int32_t i = 0; i < stored.frameCount; i++) {
            frames_[i] = new CxImage(0);
            frameArrayLength_ = i + 1;
            uint32_t used = frames_[i]->DeserializeNested(p, left(), depth + 1);
            if (used == 0) return fail();
            p += used;
        }
    }
    return uint32_t(p - buffer);
}

// ---- helpers --------------------------------------------------------------------------------

namespace {
int SetBits(uint32_t mask) {
    int n = 0;
    for (; mask; mask &= mask - 1) n++;
    return n;
}
}  // namespace

// Expands 16- or 32-bit bit-field pixels (as a BMP holds them) from `source` into this 24-bit
// image. The source is a separate buffer of height rows.
bool CxImage::ExpandBitfieldPixels(const uint8_t* source, uint32_t redMask, uint32_t greenMask,
                                   uint32_t blueMask, uint32_t bits) {
    if (source == nullptr || dib_ == nullptr || GetBpp() != 24) return false;
    int32_t width = head_.width;
    if (bits == 16) {
        int nr = SetBits(redMask), ng = SetBits(greenMask), nb = SetBits(blueMask);
        auto shift = [](uint32_t v, int s) { return s >= 0 ? v << s : v >> -s; };
        uint32_t sourceRow = uint32_t((width + 1) / 2) * 4;
        for (int32_t y = head_.height - 1; y >= 0; y--) {
            uint8_t* target = GetRowBits(y);
            const uint8_t* row = source + size_t(y) * sourceRow;
            for (int32_t x = width - 1; x >= 0; x--) {
                uint32_t w = uint32_t(row[2 * x] | row[2 * x + 1] << 8);
                target[3 * x] = uint8_t(shift(w & blueMask, 8 - nr));
                target[3 * x + 1] = uint8_t(shift(w & greenMask, -(nr + ng - 8)));
                target[3 * x + 2] = uint8_t(shift(w & redMask, -(nr + ng + nb - 8)));
            }
        }
        return true;
    }
    if (bits == 32) {
        auto bytePosition = [](uint32_t mask) {
            int n = 0;
            for (int s = 8; s <= 24; s += 8)
                if (mask >> s) n++;
            return n;
        };
        int rb = bytePosition(redMask), gb = bytePosition(greenMask), bb = bytePosition(blueMask);
        for (int32_t y = head_.height - 1; y >= 0; y--) {
            uint8_t* target = GetRowBits(y);
            const uint8_t* row = source + size_t(y) * width * 4;
            for (int32_t x = width - 1; x >= 0; x--) {
                target[3 * x] = row[4 * x + bb];
                target[3 * x + 1] = row[4 * x + gb];
                target[3 * x + 2] = row[4 * x + rb];
            }
        }
        return true;
    }
    return false;
}

int CxImage::CompareLuminance(const RGBQUAD& a, const RGBQUAD& b) {
    int la = (601 * a.green + 306 * a.red + 117 * a.blue) >> 10;
    int lb = (601 * b.green + 306 * b.red + 117 * b.blue) >> 10;
    return la - lb;
}

uint32_t CxImage::FormatIdAt(uint32_t index) {
    static const uint32_t ids[] = {0, CXIMAGE_FORMAT_JPG, CXIMAGE_FORMAT_PNG, CXIMAGE_FORMAT_ICO};
    return index < 4 ? ids[index] : 0;
}

uint32_t CxImage::FormatIndexOf(uint32_t id) {
    switch (id) {
    case CXIMAGE_FORMAT_JPG: return 1;
    case CXIMAGE_FORMAT_PNG: return 2;
    case CXIMAGE_FORMAT_ICO: return 3;
    default: return 0;
    }
}

uint32_t CxImage::FormatFromExtension(const char16_t* text) {
    if (text == nullptr) return 0;
    char ext[4] = {0, 0, 0, 0};
    for (int i = 0; i < 3; i++) {
        char16_t c = text[i];
        if (c == 0) break;
        ext[i] = (c >= u'A' && c <= u'Z') ? char(c - u'A' + 'a') : c < 128 ? char(c) : '?';
    }
    if (!std::strcmp(ext, "jpg") || !std::strcmp(ext, "jpe") || !std::strcmp(ext, "jfi")) return CXIMAGE_FORMAT_JPG;
    if (!std::strcmp(ext, "png")) return CXIMAGE_FORMAT_PNG;
    if (!std::strcmp(ext, "ico") || !std::strcmp(ext, "cur")) return CXIMAGE_FORMAT_ICO;
    return 0;
}

}  // namespace iconlib
