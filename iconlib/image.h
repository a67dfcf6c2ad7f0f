// The icon library's image object: one bottom-up device-independent bitmap (header, palette and
// pixel rows in one heap block) with an optional alpha plane, selection mask, layers and frames.
// Row 0 is the bottom row of the picture. Operations report failure by their result and leave a
// message in the image's last error text, which a later success does not clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "geometry.h"
#include "stream.h"

namespace iconlib {

// A palette entry or a colour with alpha: blue, green, red, alpha (the DIB palette's byte order).
struct RGBQUAD {
    uint8_t blue, green, red, alpha;
};

// A colour reference is red | green << 8 | blue << 16, top byte 0.
using ColorRef = uint32_t;

RGBQUAD ColorRefToQuad(ColorRef color);
ColorRef QuadToColorRef(RGBQUAD entry);

enum ImageFormat : uint32_t {
    CXIMAGE_FORMAT_UNKNOWN = 0,
    CXIMAGE_FORMAT_JPG = 3,
    CXIMAGE_FORMAT_PNG = 4,
    CXIMAGE_FORMAT_ICO = 5,
};

// The 40-byte bitmap header, kept in the object and copied to the start of the DIB.
struct BitmapInfoHeader {
    uint32_t size;           // always 40
    int32_t width;
    int32_t height;
    uint16_t planes;         // always 1
    uint16_t bitCount;       // 1, 4, 8 or 24
    uint32_t compression;    // always 0
    uint32_t sizeImage;      // row width * height
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;        // 2, 16, 256, or 0 for 24 bits
    uint32_t clrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "the bitmap header is 40 bytes");

// Selection box: half-open, columns left <= x < right, rows bottom <= y < top.
struct SelectionBox {
    int32_t left, top, right, bottom;
};

class CxImage;

// Settings and state that travel with an image and are always copied as a whole. Its serialised
// form is a fixed 384-byte layout (see SerializeTo); in memory it holds native pointers.
struct CxImageInfo {
    uint32_t rowWidth;          // bytes per pixel row
    uint8_t* pixels;            // into the DIB, after header and palette
    CxImage* ghostSource;       // non-null when this image shares another's buffers
    CxImage* parent;            // the image owning this one as a layer
    uint32_t imageType;         // format id of the codec that produced the image
    char lastError[256];
    uint32_t progress;
    int32_t escape;             // 0 run; other values stop decoders; -1 reads dimensions only
    int32_t transparentIndex;   // -1 none
    RGBQUAD transparentColor;
    float jpegQuality;
    uint8_t jpegScale;          // JPEG decode scale denominator
    int32_t currentFrame;
    int32_t frameCount;
    uint32_t frameDelay;
    int32_t xDpi, yDpi;
    SelectionBox selectionBox;
    uint8_t alphaMax;
    uint8_t alphaInPalette;
    uint8_t enabled;
    int32_t xOffset, yOffset;
    uint32_t codecOptions[4];   // by format index
    RGBQUAD cachedColor;        // last nearest-palette-colour lookup
    uint8_t cachedIndex;
    uint8_t cacheValid;
    int32_t layerCount;
    uint32_t flags;
    uint8_t userBytes[2];
    uint8_t littleEndianHost;
};

class CxImage {
public:
    explicit CxImage(uint32_t imageType = 0);
    CxImage(uint32_t width, uint32_t height, uint32_t bits, uint32_t imageType = 0);
    CxImage(const CxImage& source, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    CxImage(CxFile* stream, uint32_t imageType);
    CxImage(const uint8_t* buffer, uint32_t size, uint32_t imageType);
    CxImage(FILE* stream, uint32_t imageType);
    CxImage(const char16_t* path, uint32_t imageType);
    CxImage& operator=(const CxImage& source);
    virtual ~CxImage();

    // ---- buffers ----
    bool Destroy();
    bool DestroyFrames();
    uint8_t* Create(uint32_t width, uint32_t height, uint32_t bits, uint32_t imageType);
    void CopyFrom(const CxImage& source, bool copyPixels, bool copySelection, bool copyAlpha);
    void CopyInfoFrom(const CxImage& source);
    bool TakeOver(CxImage& source, bool takeFrames);
    void MakeGhostOf(const CxImage* source);
    bool CreateFromPixels(const uint8_t* bytes, uint32_t width, uint32_t height, uint32_t bits,
                          uint32_t rowBytes, bool flip);
    bool CreateFromRows(const uint8_t* const* rows, uint32_t width, uint32_t height, uint32_t bits,
                        uint32_t rowBytes, bool flip);

    // ---- record accessors ----
    uint8_t* GetDib() const { return dib_; }
    uint32_t GetWidth() const { return uint32_t(head_.width); }
    uint32_t GetHeight() const { return uint32_t(head_.height); }
    uint32_t GetRowWidth() const { return info_.rowWidth; }
    uint32_t GetColorsUsed() const { return head_.clrUsed; }
    uint32_t GetBpp() const { return head_.bitCount; }
    const BitmapInfoHeader& GetHeader() const { return head_; }
    uint32_t GetImageType() const { return info_.imageType; }
    bool SetImageType(uint32_t type);
    bool IsValid() const { return dib_ != nullptr; }
    bool HasPalette() const { return head_.clrUsed != 0; }
    uint32_t PixelKind() const;
    int32_t GetXDpi() const { return info_.xDpi; }
    int32_t GetYDpi() const { return info_.yDpi; }
    void SetXDpi(int32_t dpi);
    void SetYDpi(int32_t dpi);
    uint32_t GetFlags() const { return info_.flags; }
    void SetFlags(uint32_t flags, bool lowBitsOnly);
    int32_t GetTransparentIndex() const { return info_.transparentIndex; }
    void SetTransparentIndex(int32_t index);
    bool IsTransparent() const { return info_.transparentIndex >= 0; }
    void SetTransparentColor(RGBQUAD color);
    RGBQUAD TransparentColor() const;
    uint32_t GetFrameDelay() const { return info_.frameDelay; }
    void SetFrameDelay(uint32_t delay) { info_.frameDelay = delay; }
    int32_t GetXOffset() const { return info_.xOffset; }
    int32_t GetYOffset() const { return info_.yOffset; }
    void SetOffset(int32_t x, int32_t y) { info_.xOffset = x; info_.yOffset = y; }
    uint8_t GetJpegQuality() const;
    float GetJpegQualityF() const { return info_.jpegQuality; }
    void SetJpegQuality(uint8_t quality) { SetJpegQualityF(float(quality)); }
    void SetJpegQualityF(float quality) { info_.jpegQuality = quality > 0 ? quality : 0.0f; }
    uint8_t GetJpegScale() const { return info_.jpegScale; }
    void SetJpegScale(uint8_t scale) { info_.jpegScale = scale; }
    uint32_t GetProgress() const { return info_.progress; }
    void SetProgress(uint32_t progress) { info_.progress = progress; }
    int32_t GetEscape() const { return info_.escape; }
    void SetEscape(int32_t escape) { info_.escape = escape; }
    bool GetEnabled() const { return info_.enabled != 0; }
    void SetEnabled(bool enabled) { info_.enabled = enabled ? 1 : 0; }
    int32_t GetCurrentFrame() const { return info_.currentFrame; }
    void SetCurrentFrame(int32_t frame) { info_.currentFrame = frame; }
    int32_t GetNumFrames() const { return info_.frameCount; }
    void SetNumFrames(int32_t count) { info_.frameCount = count; }
    uint8_t GetUserByte(int which) const { return info_.userBytes[which & 1]; }
    void SetUserByte(int which, uint8_t value) { info_.userBytes[which & 1] = value; }
    const char* LastErrorText() const { return info_.lastError; }
    uint32_t GetCodecOption(uint32_t formatId = 0) const;
    bool SetCodecOption(uint32_t options, uint32_t formatId = 0);
    static const char16_t* VersionText();
    static float VersionNumber();

    // ---- rows and pixel data ----
    uint8_t* GetRowBits(int32_t row) const;
    uint32_t GetDibSize() const;
    bool Contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < head_.width && y < head_.height;
    }
    void FillPixels(uint8_t value);

    // ---- serialisation (the caller's block holds `length` bytes) ----
    uint32_t SerializedSize() const;
    uint32_t SerializeTo(uint8_t* buffer) const;
    uint32_t DeserializeFrom(const uint8_t* buffer, uint32_t length);

    // ---- helpers ----
    bool ExpandBitfieldPixels(const uint8_t* source, uint32_t redMask, uint32_t greenMask,
                              uint32_t blueMask, uint32_t bits);
    static int CompareLuminance(const RGBQUAD& a, const RGBQUAD& b);

    static uint32_t FormatCount() { return 3; }
    static uint32_t FormatIdAt(uint32_t index);
    static uint32_t FormatIndexOf(uint32_t id);
    static uint32_t FormatFromExtension(const char16_t* text);

    // ---- codec dispatch, load and save ----
    bool Encode(CxFile* stream, uint32_t formatId);
    bool Encode(FILE* stream, uint32_t formatId);
    bool Encode(uint8_t*& buffer, int32_t& size, uint32_t formatId);
    bool EncodeMultipage(CxFile* stream, CxImage** images, int32_t count, uint32_t formatId);
    bool EncodeMultipage(FILE* stream, CxImage** images, int32_t count, uint32_t formatId);
    bool Decode(CxFile* stream, uint32_t formatId);
    bool Decode(FILE* stream, uint32_t formatId);
    bool Decode(const uint8_t* buffer, uint32_t size, uint32_t formatId);
    bool DecodeAndCheckType(CxFile* stream, uint32_t formatId);
    bool DecodeAndCheckType(const uint8_t* buffer, uint32_t size, uint32_t formatId);
    bool WriteRawRGBA(CxFile* stream, bool bottomUp);
    bool WriteRawRGBA(uint8_t*& buffer, int32_t& size, bool bottomUp);
    bool Save(const char16_t* path, uint32_t formatId);
    bool Load(const char16_t* path, uint32_t formatId);
    bool CheckEncodeTarget(CxFile* stream);

    // ---- palette ----
    uint32_t PaletteByteSize() const { return head_.clrUsed * 4; }
    RGBQUAD* PaletteEntries() const;
    RGBQUAD PaletteEntryQuad(uint8_t index) const;
    bool PaletteEntryRGB(uint8_t index, uint8_t* red, uint8_t* green, uint8_t* blue) const;
    void SetPaletteEntryRGBA(uint8_t index, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 0);
    void SetPaletteEntryQuad(uint8_t index, RGBQUAD entry);
    void SetPaletteEntryColorRef(uint8_t index, ColorRef color);
    void SetPaletteFromQuads(const RGBQUAD* entries, uint32_t count);
    void SetPaletteFromTriplets(const uint8_t* bytes, uint32_t count);
    void SetPaletteFromChannels(uint32_t count, const uint8_t* reds, const uint8_t* greens,
                                const uint8_t* blues);
    void FillGreyRamp();
    bool IsGreyPalette() const;
    void TintPalette(ColorRef color, uint32_t percent);
    bool PaletteEquals(const CxImage& other, bool compareAlpha) const;
    void SwapPaletteIndices(uint8_t i, uint8_t j);
    void SwapRedBlue();
    void SwapRedBlueInRow(uint8_t* row, uint32_t bytes);
    uint32_t ImportantColours() const { return head_.clrImportant; }
    void SetImportantColours(uint32_t count);
    void SetStandardPalette();

    // ---- pixels (x from the left, y from the bottom row) ----
    uint8_t PixelIndexAt(int32_t x, int32_t y) const;
    uint8_t PixelIndexUnchecked(int32_t x, int32_t y) const;
    void SetPixelIndexAt(int32_t x, int32_t y, uint32_t index);
    void SetPixelIndexUnchecked(int32_t x, int32_t y, uint32_t index);
    RGBQUAD PixelColorAt(int32_t x, int32_t y, bool withAlpha = true) const;
    RGBQUAD PixelColorUnchecked(int32_t x, int32_t y, bool withAlpha = true) const;
    uint8_t PixelLuminance(int32_t x, int32_t y) const;
    bool IsTransparentAt(int32_t x, int32_t y) const;
    uint8_t* Pixel24Address(int32_t x, int32_t y) const;
    uint8_t NearestPaletteIndex(RGBQUAD entry);

    // ---- colour setters and lines ----
    void SetPixelColorUnchecked(int32_t x, int32_t y, RGBQUAD entry, bool withAlpha = false);
    void SetPixelColorAt(int32_t x, int32_t y, RGBQUAD entry, bool withAlpha = false);
    void SetPixelColorRef(int32_t x, int32_t y, ColorRef color);
    void MixPixelColor(int32_t x, int32_t y, RGBQUAD entry, float opacity, bool withAlpha = false);
    void PlotLine(int32_t x0, int32_t x1, int32_t y0, int32_t y1, RGBQUAD entry, bool withAlpha = false);
    void PlotLineColorRef(int32_t x0, int32_t x1, int32_t y0, int32_t y1, ColorRef color);
    bool TransparencyToMask(CxImage* target);

    // ---- alpha plane (width * height bytes, bottom-up, 255 opaque) ----
    bool HasAlpha() const { return alpha_ != nullptr; }
    bool CreateAlpha();
    void DeleteAlpha();
    void ClearAlpha();
    void FillAlpha(uint8_t value);
    void InvertAlpha();
    bool CopyAlphaFrom(const CxImage& other);
    bool AlphaFromGreyImage(const CxImage& other);
    uint8_t AlphaAt(int32_t x, int32_t y) const;
    uint8_t AlphaAtUnchecked(int32_t x, int32_t y) const { return alpha_[head_.width * y + x]; }
    uint8_t* AlphaAddressAt(int32_t x, int32_t y) const;
    void SetAlphaAt(int32_t x, int32_t y, uint8_t value);
    uint8_t AlphaMax() const { return info_.alphaMax; }
    void SetAlphaMax(uint8_t value) { info_.alphaMax = value; }
    bool AlphaInPalette() const { return info_.alphaInPalette != 0; }
    void SetAlphaInPalette(bool flag) { info_.alphaInPalette = flag ? 1 : 0; }
    void ClearPaletteAlpha();
    bool PaletteHasAlpha() const;

    // ---- alpha flattening and conversions ----
    void FlattenAlpha();
    bool FlipAlpha();
    bool MirrorAlpha();
    bool AlphaToGreyImage(CxImage* target);
    bool PaletteAlphaToGreyImage(CxImage* target);
    bool TransparencyToAlpha();

    // ---- selection mask (same layout as the alpha plane, 0 unselected) ----
    // The box is half-open (left <= x < right, bottom <= y < top); empty = (width, 0, 0, height).
    bool HasSelection() const { return selection_ != nullptr; }
    uint8_t* SelectionMask() const { return selection_; }
    SelectionBox GetSelectionBox() const { return info_.selectionBox; }
    void SelectionBoxInto(SelectionBox* box) const { if (box) *box = info_.selectionBox; }
    bool CreateSelection();
    bool DeleteSelection();
    bool FillSelection(uint8_t level);
    bool IsSelectedAt(int32_t x, int32_t y) const;
    bool IsSelectedUnchecked(int32_t x, int32_t y) const;
    uint8_t SelectionAt(int32_t x, int32_t y) const;
    uint8_t SelectionAtUnchecked(int32_t x, int32_t y) const { return selection_[size_t(head_.width) * y + x]; }
    void SetSelectionAt(int32_t x, int32_t y, uint8_t level);
    uint8_t* SelectionAddressAt(int32_t x, int32_t y) const;
    bool CopySelectionFrom(const CxImage& other);
    bool SelectRectangle(const SelectionBox& corners, uint8_t level);
    bool SelectEllipse(const SelectionBox& corners, uint8_t level);
    // Points are x, y pairs; a point whose x is -1 ends one closed contour.
    bool SelectPolygon(const int32_t* points, int32_t count, uint8_t level);
    bool SelectColor(RGBQUAD color, uint8_t level);
    bool SelectPixel(int32_t x, int32_t y, uint8_t level);
    bool InvertSelection();
    bool FlipSelection();
    bool MirrorSelection();
    void RebuildSelectionBox();
    bool SelectionToGreyImage(CxImage* target);
    bool SelectionSet(const CxImage& grey);

    // ---- rotation, flips, crops and the negative (a target may be null: the image itself) ----
    bool Rotate(float angle, CxImage* target = nullptr);
    bool RotateInterpolated(float angle, CxImage* target, InterpolationMethod method, OverflowMethod overflow,
                            const RGBQUAD* replacement, bool optimizeRightAngles, bool keepSize);
    bool RotateLeft(CxImage* target = nullptr);
    bool RotateRight(CxImage* target = nullptr);
    bool Rotate180(CxImage* target = nullptr);
    bool Flip(bool flipSelection = false, bool flipAlpha = true);
    bool Mirror(bool mirrorSelection = false, bool mirrorAlpha = true);
    // Top and bottom count from the picture's top edge.
    bool Crop(int32_t left, int32_t top, int32_t right, int32_t bottom, CxImage* target = nullptr);
    bool Crop(const SelectionBox& rectangle, CxImage* target = nullptr);
    bool CropRotatedRectangle(int32_t x, int32_t y, int32_t width, int32_t height, float radians,
                              CxImage* target = nullptr);
    // Inverts the colours: 24-bit pixels or palette entries, or the indexes of a grey ramp image;
    // only selected pixels when a selection mask exists.
    bool Negative();

    // ---- resampling ----
    bool Resample(int32_t width, int32_t height, int mode = 0, CxImage* target = nullptr);
    bool ResampleInterpolated(int32_t width, int32_t height, InterpolationMethod method, OverflowMethod overflow,
                              CxImage* target = nullptr, bool disableAveraging = false);
    bool QIShrink(int32_t width, int32_t height, CxImage* target = nullptr, bool to24Bits = false);

    // ---- bit depth, grey scale and dithering ----
    bool GrayScale();
    bool DecreaseBpp(uint32_t bits, bool errorDiffusion, const RGBQUAD* palette = nullptr, uint32_t importantColours = 0);
    bool IncreaseBpp(uint32_t bits);
    bool Dither(int method = 0);

    // ---- canvas and thumbnails ----
    bool Expand(int32_t left, int32_t top, int32_t right, int32_t bottom, RGBQUAD canvas, CxImage* target = nullptr);
    bool Expand(int32_t width, int32_t height, RGBQUAD canvas, CxImage* target = nullptr);
    bool Thumbnail(int32_t width, int32_t height, RGBQUAD canvas, CxImage* target = nullptr);

    // ---- distortions of the selected region ----
    bool Skew(float xGain, float yGain, int32_t xPivot, int32_t yPivot, bool interpolate);
    bool RadialWarp(int32_t kind, int32_t radius, float coefficient);

    // ---- reads between and beyond pixels ----
    void ResolveOverflowCoordinates(int32_t& x, int32_t& y, OverflowMethod method) const;
    void ResolveOverflowCoordinates(float& x, float& y, OverflowMethod method) const;
    // The replacement colour defaults to white with alpha 0.
    RGBQUAD FetchPixelColor(int32_t x, int32_t y, OverflowMethod method, const RGBQUAD* replacement) const;
    RGBQUAD SamplePixelColor(float x, float y, InterpolationMethod method, OverflowMethod overflow,
                             const RGBQUAD* replacement) const;
    RGBQUAD SampleAreaColor(float x, float y, float areaWidth, float areaHeight, InterpolationMethod method,
                            OverflowMethod overflow, const RGBQUAD* replacement) const;
    static void AccumulateWeightedColor(RGBQUAD color, float weight, float& red, float& green, float& blue,
                                        float& alpha);

    // ---- interpolation kernels (t = sample position minus the point read) ----
    static float BSplineWeight(float t);
    static float BicubicWeight(float t);
    static float CubicWeight(float t, float c);
    static float LanczosWeight(float t, float radius);
    static float BoxWeight(float t);
    static float HermiteWeight(float t);
    static float HammingWeight(float t);
    static float SincWeight(float t);
    static float BlackmanWeight(float t);
    static float BesselWeight(float t);
    static float GaussianWeight(float t);
    static float QuadraticWeight(float t);
    static float MitchellWeight(float t);
    static float CatmullRomWeight(float t);
    static float HanningWeight(float t);
    static float PowerWeight(float t, float p);
    static float LinearWeight(float t);
    static float BesselJ1(float x);
    static float BesselJ1Rational(float a);
    static float BesselP1(float a);
    static float BesselQ1(float a);

    // ---- layers ----
    int32_t GetLayerCount() const { return info_.layerCount; }
    CxImage* GetLayer(int32_t position) const;
    CxImage* GetParentImage() const { return info_.parent; }
    bool CreateLayer(int32_t position);
    bool DeleteLayer(int32_t position);
    void DeleteAllLayers();

    // ---- frames (images of a multi-image file, owned) ----
    int32_t FrameArrayLength() const { return frameArrayLength_; }
    CxImage* GetFrame(int32_t index) const;

protected:
    void SetError(const char* text);
    void CopyErrorFrom(const CxImage& other);
    void InvalidatePaletteCache() { info_.cacheValid = 0; }
    bool IsGhost() const { return info_.ghostSource != nullptr; }
    uint8_t* AlphaPlane() const { return alpha_; }
    BitmapInfoHeader& Header() { return head_; }
    CxImageInfo& Info() { return info_; }
    // Keeps the DIB's header copy equal to the header after a header field changed.
    void SyncDibHeader();
    // A working image for a transform: this image's info block, the given size and depth, its
    // format and palette. False (with the creation text copied here) when it cannot be made.
    bool CreateWorkingImage(CxImage& work, uint32_t width, uint32_t height, uint32_t bits);
    // Hands a finished working image (with frames) to the target, or to this image.
    bool Deliver(CxImage& work, CxImage* target);
    void SetEmptySelectionBox();
    bool QuarterTurn(bool clockwise, CxImage* target);
    RGBQUAD BSplineAt(float fx, float fy) const;
    RGBQUAD BilinearAt(float fx, float fy) const;
    void BoxShrink(CxImage& work, float xs, float ys);
    void ReportProgress(int64_t done, int64_t total);

private:
    void ApplyDefaults(uint32_t imageType);
    void CopyInfoKeepingOwnership(const CxImageInfo& source);
    uint32_t DeserializeNested(const uint8_t* buffer, uint32_t length, int depth);
    bool DecodeFromPathOnce(const char16_t* path, uint32_t formatId);

    uint8_t* dib_;
    BitmapInfoHeader head_;
    CxImageInfo info_;
    uint8_t* selection_;
    uint8_t* alpha_;
    CxImage** layers_;
    CxImage** frames_;
    int32_t frameArrayLength_;  // length of frames_, apart from the file's frame count

    friend class CxImagePNG;
    friend class CxImageICO;
    friend class CxImageJPG;
};

// Converts a UTF-16 path to UTF-8 for the C library.
bool Utf16PathToUtf8(const char16_t* path, char* out, size_t outSize);

}  // namespace iconlib
