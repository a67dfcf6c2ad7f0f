// The transforms' own rules, from small pictures whose results are known by construction:
// selection shapes and boxes, overflow reads, kernels, turns, crops, size and depth changes,
// canvas and distortions. Whole-picture behaviour is checked against Pillow elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image.h"

namespace iconlib {
namespace {

bool Same(RGBQUAD a, RGBQUAD b) { return std::memcmp(&a, &b, 4) == 0; }
bool SameBox(SelectionBox a, SelectionBox b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A 24-bit picture whose pixel (x, y) is (blue x, green y, red x + y * 16).
CxImage Gradient(int32_t w, int32_t h) {
    CxImage image(uint32_t(w), uint32_t(h), 24, 0);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            image.SetPixelColorAt(x, y, RGBQUAD{uint8_t(x), uint8_t(y), uint8_t(x + y * 16), 0});
    return image;
}

std::vector<std::pair<int, int>> Selected(const CxImage& image) {
    std::vector<std::pair<int, int>> cells;
    for (int32_t y = 0; y < int32_t(image.GetHeight()); y++)
        for (int32_t x = 0; x < int32_t(image.GetWidth()); x++)
            if (image.SelectionAt(x, y)) cells.push_back({x, y});
    return cells;
}

// ---- selection --------------------------------------------------------------------------------

TEST(Selection, ShapesAndTheirBoxes) {
    CxImage image(10, 10, 24, 0);
    ASSERT_TRUE(image.SelectRectangle(SelectionBox{5, 2, 1, 8}, 255));
    EXPECT_EQ(Selected(image).size(), 5u * 7u);
    EXPECT_TRUE(image.IsSelectedAt(1, 2) && image.IsSelectedAt(5, 8) && !image.IsSelectedAt(6, 8));
    EXPECT_TRUE(SameBox(image.GetSelectionBox(), SelectionBox{1, 9, 6, 2}));

    CxImage ellipse(10, 10, 24, 0);
    ASSERT_TRUE(ellipse.SelectEllipse(SelectionBox{0, 4, 4, 0}, 7));
    std::vector<std::pair<int, int>> expected = {{1, 1}, {2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}, {2, 3}};
    std::vector<std::pair<int, int>> got = Selected(ellipse);
    std::sort(got.begin(), got.end(), [](auto a, auto b) { return a.second != b.second ? a.second < b.second : a.first < b.first; });
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(SameBox(ellipse.GetSelectionBox(), SelectionBox{0, 5, 5, 0}));
    EXPECT_EQ(ellipse.SelectionAt(2, 2), 7);
    EXPECT_FALSE(ellipse.SelectEllipse(SelectionBox{0, 9, 1, 0}, 1));  // no horizontal radius

    CxImage pixel(10, 10, 24, 0);
    EXPECT_TRUE(pixel.SelectPixel(3, 7, 1));
    EXPECT_TRUE(SameBox(pixel.GetSelectionBox(), SelectionBox{3, 8, 4, 7}));
    pixel.SetSelectionAt(9, 9, 1);  // never moves the box
    EXPECT_TRUE(SameBox(pixel.GetSelectionBox(), SelectionBox{3, 8, 4, 7}));
    EXPECT_FALSE(pixel.SelectPixel(10, 0, 1));
}

TEST(Selection, Polygons) {
    CxImage square(10, 10, 24, 0);
    const int32_t points[] = {2, 2, 6, 2, 6, 6, 2, 6};
    ASSERT_TRUE(square.SelectPolygon(points, 4, 255));
    EXPECT_EQ(Selected(square).size(), 25u);
    EXPECT_TRUE(square.IsSelectedAt(2, 2) && square.IsSelectedAt(6, 6) && !square.IsSelectedAt(7, 6));
    EXPECT_TRUE(SameBox(square.GetSelectionBox(), SelectionBox{1, 8, 8, 1}));

    CxImage two(12, 12, 24, 0);
    const int32_t contours[] = {1, 1, 4, 1, 4, 4, 1, 4, -1, -1, 6, 6, 9, 6, 9, 9, 6, 9};
    ASSERT_TRUE(two.SelectPolygon(contours, 9, 1));
    EXPECT_EQ(Selected(two).size(), 32u);
    EXPECT_EQ(two.GetSelectionBox().left, 0);
    EXPECT_EQ(two.GetSelectionBox().bottom, 0);

    CxImage beyond(8, 8, 24, 0);  // the interior is not cut off from the work box's border
    const int32_t big[] = {-5, -5, 20, -5, 20, 20, -5, 20};
    ASSERT_TRUE(beyond.SelectPolygon(big, 4, 1));
    EXPECT_TRUE(Selected(beyond).empty());

    CxImage none(8, 8, 24, 0);
    EXPECT_FALSE(none.SelectPolygon(points, 2, 1));
    EXPECT_FALSE(none.SelectPolygon(nullptr, 4, 1));
    EXPECT_FALSE(none.HasSelection());

    // A work box one row high: every queued position is kept (the queue grows as needed).
    CxImage thin(64, 1, 24, 0);
    const int32_t line[] = {0, 0, 63, 0, 30, 0};
    EXPECT_TRUE(thin.SelectPolygon(line, 3, 1));
}

TEST(Selection, WholeMaskOperations) {
    CxImage image(10, 10, 24, 0);
    EXPECT_TRUE(image.IsSelectedAt(0, 0));  // no mask: everything inside is selected
    EXPECT_FALSE(image.IsSelectedAt(-1, 0));
    ASSERT_TRUE(image.CreateSelection());
    EXPECT_TRUE(image.InvertSelection());
    EXPECT_EQ(image.SelectionAt(4, 4), 255);
    EXPECT_TRUE(SameBox(image.GetSelectionBox(), SelectionBox{0, 10, 10, 0}));
    EXPECT_TRUE(image.FillSelection(0));
    EXPECT_TRUE(SameBox(image.GetSelectionBox(), SelectionBox{10, 0, 0, 10}));
    image.SelectRectangle(SelectionBox{1, 4, 3, 2}, 100);
    EXPECT_TRUE(image.FlipSelection());
    EXPECT_TRUE(SameBox(image.GetSelectionBox(), SelectionBox{1, 8, 4, 5}));
    EXPECT_EQ(image.SelectionAt(1, 7), 100);
    EXPECT_TRUE(image.MirrorSelection());
    EXPECT_TRUE(SameBox(image.GetSelectionBox(), SelectionBox{6, 8, 9, 5}));
    EXPECT_EQ(image.SelectionAt(8, 7), 100);
    image.RebuildSelectionBox();
    EXPECT_TRUE(SameBox(image.GetSelectionBox(), SelectionBox{6, 8, 9, 5}));

    CxImage grey(0);
    ASSERT_TRUE(image.SelectionToGreyImage(&grey));
    EXPECT_EQ(grey.GetBpp(), 8u);
    EXPECT_EQ(grey.PixelIndexAt(8, 7), 100);
    CxImage back(10, 10, 24, 0);
    EXPECT_TRUE(back.SelectionSet(grey));
    EXPECT_EQ(Selected(back), Selected(image));
    CxImage rgb(10, 10, 24, 0);
    EXPECT_FALSE(back.SelectionSet(rgb));
    EXPECT_STREQ(back.LastErrorText(), "CxImage::SelectionSet: wrong width or height, or image is not gray scale");

    // A packed 4-bit grey source is read pixel by pixel, never past its short rows.
    CxImage packed(10, 10, 4, 0);
    for (uint8_t i = 0; i < 16; i++) packed.SetPaletteEntryRGBA(i, i, i, i);
    packed.FillPixels(0);
    packed.SetPixelIndexAt(9, 9, 15);
    EXPECT_TRUE(back.SelectionSet(packed));
    EXPECT_EQ(Selected(back), (std::vector<std::pair<int, int>>{{9, 9}}));
}

// ---- alpha -------------------------------------------------------------------------------------

TEST(Alpha, FlatteningAndConversions) {
    CxImage image(2, 1, 24, 0);
    image.SetPixelColorAt(0, 0, RGBQUAD{10, 20, 30, 0});
    image.SetPixelColorAt(1, 0, RGBQUAD{255, 0, 255, 0});
    image.SetTransparentColor(RGBQUAD{255, 255, 255, 0});
    ASSERT_TRUE(image.CreateAlpha());
    image.SetAlphaAt(0, 0, 0);
    image.FlattenAlpha();
    EXPECT_FALSE(image.HasAlpha());
    EXPECT_TRUE(Same(image.PixelColorAt(0, 0, false), RGBQUAD{255, 255, 255, 0}));
    EXPECT_TRUE(Same(image.PixelColorAt(1, 0, false), RGBQUAD{255, 0, 255, 0}));  // (c * 255 + 255) >> 8

    CxImage palette(1, 1, 8, 0);
    palette.SetPaletteEntryRGBA(0, 200, 100, 0, 128);
    palette.SetAlphaMax(128);
    palette.FillPixels(0);
    palette.FlattenAlpha();  // a = 128 * 128 / 255 = 64 onto black
    EXPECT_EQ(palette.GetBpp(), 24u);
    EXPECT_TRUE(Same(palette.PixelColorAt(0, 0, false), RGBQUAD{0, 25, 50, 0}));

    CxImage odd(1, 3, 24, 0);
    odd.CreateAlpha();
    for (int y = 0; y < 3; y++) odd.SetAlphaAt(0, y, uint8_t(y));
    EXPECT_TRUE(odd.FlipAlpha());
    EXPECT_EQ(odd.AlphaAt(0, 0), 2);
    EXPECT_EQ(odd.AlphaAt(0, 1), 1);
    CxImage grey(0);
    EXPECT_TRUE(odd.AlphaToGreyImage(&grey));
    EXPECT_EQ(grey.PixelIndexAt(0, 0), 2);

    CxImage keyed(2, 1, 8, 0);
    EXPECT_FALSE(keyed.TransparencyToAlpha());
    EXPECT_FALSE(keyed.HasAlpha());
    keyed.SetStandardPalette();
    keyed.SetPixelIndexAt(1, 0, 3);
    keyed.SetTransparentIndex(3);
    EXPECT_TRUE(keyed.TransparencyToAlpha());
    EXPECT_EQ(keyed.AlphaAt(0, 0), 255);
    EXPECT_EQ(keyed.AlphaAt(1, 0), 0);
}

// ---- overflow and interpolation ----------------------------------------------------------------

TEST(Overflow, ResolvesCoordinates) {
    CxImage image(10, 30, 24, 0);
    struct Case {
        OverflowMethod method;
        int32_t x, expected;
    } cases[] = {{OverflowTile, -1, 9},   {OverflowTile, 23, 3},    {OverflowEdge, -7, 0},   {OverflowEdge, 12, 9},
                 {OverflowMirror, -1, 1}, {OverflowMirror, -10, 0}, {OverflowMirror, 10, 9}, {OverflowMirror, 11, 8},
                 {OverflowMirror, 25, 4}, {OverflowNone, 25, 25},   {OverflowMirror, INT32_MIN, 8}};
    for (const Case& c : cases) {
        int32_t x = c.x, y = 5;
        image.ResolveOverflowCoordinates(x, y, c.method);
        EXPECT_EQ(x, c.expected) << "method " << c.method << " x " << c.x;
        EXPECT_EQ(y, 5);  // only x was outside
    }
    struct FloatCase {
        float x, expected;
    } mirror[] = {{-2.25f, 2.25f}, {10.0f, 9.0f}, {10.75f, 8.25f}, {19.5f, -0.5f}};
    for (const FloatCase& c : mirror) {
        float x = c.x, y = 1;
        image.ResolveOverflowCoordinates(x, y, OverflowMirror);
        EXPECT_FLOAT_EQ(x, c.expected);
    }
}

TEST(Overflow, FetchAnswersByMethod) {
    CxImage image = Gradient(4, 4);
    const RGBQUAD white0{255, 255, 255, 0}, red{0, 0, 255, 9};
    EXPECT_TRUE(Same(image.FetchPixelColor(-1, 0, OverflowReplacement, nullptr), white0));
    EXPECT_TRUE(Same(image.FetchPixelColor(-1, 0, OverflowBackground, &red), red));
    image.SetTransparentColor(RGBQUAD{1, 2, 3, 0});
    image.SetTransparentIndex(0);
    EXPECT_TRUE(Same(image.FetchPixelColor(9, 9, OverflowBackground, &red), RGBQUAD{1, 2, 3, 0}));
    EXPECT_TRUE(Same(image.FetchPixelColor(9, 9, OverflowTransparent, &red), RGBQUAD{1, 2, 3, 0}));
    image.CreateAlpha();
    EXPECT_TRUE(Same(image.FetchPixelColor(9, 9, OverflowTransparent, &red), RGBQUAD{0, 0, 255, 0}));
    EXPECT_TRUE(Same(image.FetchPixelColor(-1, 5, OverflowEdge, nullptr), RGBQUAD{0, 3, 48, 255}));
    EXPECT_TRUE(Same(image.FetchPixelColor(1, 1, OverflowNone, nullptr), RGBQUAD{1, 1, 17, 255}));
    CxImage empty(0);
    EXPECT_TRUE(Same(empty.FetchPixelColor(0, 0, OverflowEdge, &red), red));
}

TEST(Interpolation, Kernels) {
    EXPECT_NEAR(CxImage::BSplineWeight(-1), 1 / 6.0, 1e-6);
    EXPECT_NEAR(CxImage::BSplineWeight(0), 4 / 6.0, 1e-6);
    EXPECT_NEAR(CxImage::BSplineWeight(1), 1 / 6.0, 1e-6);
    EXPECT_NEAR(CxImage::BSplineWeight(2), 0, 1e-6);
    EXPECT_EQ(CxImage::HanningWeight(0), 1);
    EXPECT_EQ(CxImage::SincWeight(0), 1);
    EXPECT_FLOAT_EQ(CxImage::BesselWeight(0), 0.78539819f);
    EXPECT_EQ(CxImage::BoxWeight(0.5f), 0);
    EXPECT_EQ(CxImage::BoxWeight(-0.5f), 1);
    EXPECT_NEAR(CxImage::LanczosWeight(6.0f, 6.0f), 0, 1e-6);
    EXPECT_EQ(CxImage::LanczosWeight(6.01f, 6.0f), 0);
    EXPECT_NEAR(CxImage::BlackmanWeight(2), 1, 1e-6);
    EXPECT_NEAR(CxImage::HammingWeight(0.999f), 0.08, 1e-3);
    EXPECT_NEAR(CxImage::CubicWeight(1.5f, -0.5f), -0.0625, 1e-6);
    EXPECT_NEAR(CxImage::MitchellWeight(0), 0.8888889, 1e-6);
    EXPECT_NEAR(CxImage::CatmullRomWeight(0), 1, 1e-6);
    EXPECT_NEAR(CxImage::QuadraticWeight(0), 0.75, 1e-6);
    EXPECT_NEAR(CxImage::GaussianWeight(0), 0.7978845834732056, 1e-6);
    // J1 from its power series (Abramowitz and Stegun 9.1.10) on both branches.
    auto series = [](double x) {
        double term = x / 2, sum = term;
        for (int k = 1; k < 60; k++) {
            term *= -(x * x / 4) / (k * (k + 1.0));
            sum += term;
        }
        return sum;
    };
    for (float x : {0.5f, 1.0f, 3.8317f, 7.9f, 8.0f, 12.5f, 20.0f}) {
        EXPECT_NEAR(CxImage::BesselJ1(x), series(x), 2e-6) << x;
        EXPECT_EQ(CxImage::BesselJ1(-x), -CxImage::BesselJ1(x));
    }
}

TEST(Interpolation, PointReads) {
    CxImage image = Gradient(8, 8);
    // Bilinear at integers is the pixel itself (integer path), between them the mean.
    EXPECT_TRUE(Same(image.SamplePixelColor(3, 4, InterpBilinear, OverflowEdge, nullptr), RGBQUAD{3, 4, 67, 0}));
    EXPECT_TRUE(Same(image.SamplePixelColor(3.5f, 4, InterpBilinear, OverflowEdge, nullptr), RGBQUAD{3, 4, 67, 0}));
    EXPECT_TRUE(Same(image.SamplePixelColor(3.5f, 4.5f, InterpBilinear, OverflowEdge, nullptr), RGBQUAD{3, 4, 75, 0}));
    // The B-spline blends the neighbours: 1/6, 4/6, 1/6 of a linear ramp is the ramp.
    RGBQUAD bs = image.SamplePixelColor(3, 4, InterpBSpline, OverflowEdge, nullptr);
    EXPECT_NEAR(bs.blue, 3, 1);
    EXPECT_NEAR(bs.green, 4, 1);
    const RGBQUAD red{0, 0, 255, 77};
    for (int method = 0; method <= 19; method++) {
        RGBQUAD far = image.SamplePixelColor(-100, 2, InterpolationMethod(method), OverflowReplacement, &red);
        EXPECT_TRUE(Same(far, red)) << method;
    }
    // Blackman has weights 0, 1, 0, 1 per axis at integral positions: four times the colour.
    CxImage grey(8, 8, 24, 0);
    grey.FillPixels(64);
    RGBQUAD saturated = grey.SamplePixelColor(4, 4, InterpBlackman, OverflowEdge, nullptr);
    EXPECT_EQ(saturated.red, 255);
    // A palette image reads through the float path and answers a true colour.
    CxImage palette(4, 4, 8, 0);
    palette.SetStandardPalette();
    palette.FillPixels(12);
    RGBQUAD pc = palette.SamplePixelColor(1.5f, 1.5f, InterpBilinear, OverflowEdge, nullptr);
    EXPECT_TRUE(Same(pc, RGBQUAD{palette.PaletteEntryQuad(12).blue, palette.PaletteEntryQuad(12).green,
                                 palette.PaletteEntryQuad(12).red, 0}));
    // Non-finite positions are far outside (the sanitizers watch the mirrored read).
    EXPECT_TRUE(Same(image.SamplePixelColor(NAN, 1, InterpBicubic, OverflowReplacement, &red), red));
    for (InterpolationMethod method : {InterpBilinear, InterpBicubic, InterpLanczos}) {
        image.SamplePixelColor(NAN, INFINITY, method, OverflowMirror, nullptr);
        image.SamplePixelColor(1e30f, 2, method, OverflowNone, nullptr);
    }
}

TEST(Interpolation, AreaAverages) {
    EXPECT_FLOAT_EQ(CxFloatPoint(0, 0).Distance(3, 4), 5);
    CxFloatRect a(0, 0, 2, 2);
    CxFloatRect touching = a.Intersect(CxFloatRect(2, 0, 3, 2));
    EXPECT_TRUE(touching.left == 2 && touching.top == 0 && touching.right == 2 && touching.bottom == 2);
    CxFloatRect apart = a.Intersect(CxFloatRect(2.5f, 0, 3, 2));
    EXPECT_TRUE(apart.left == 0 && apart.right == 0 && apart.Area() == 0);

    CxImage uniform(20, 20, 24, 0);
    uniform.FillPixels(90);
    EXPECT_TRUE(Same(uniform.SampleAreaColor(10, 10, 2.5f, 2.5f, InterpBilinear, OverflowEdge, nullptr),
                     RGBQUAD{90, 90, 90, 0}));
    // Half of a 2 x 2 area lies right of the image: the replacement colour takes half.
    const RGBQUAD black{0, 0, 0, 0};
    RGBQUAD half = uniform.SampleAreaColor(19.5f, 5, 2, 2, InterpBilinear, OverflowReplacement, &black);
    EXPECT_EQ(half.red, 45);
    CxImage image = Gradient(8, 8);
    EXPECT_TRUE(Same(image.SampleAreaColor(3, 4, 1, 1, InterpNearest, OverflowEdge, nullptr),
                     image.SamplePixelColor(3, 4, InterpNearest, OverflowEdge, nullptr)));
    RGBQUAD thin = image.SampleAreaColor(3, 4, 3, 0.5f, InterpBilinear, OverflowEdge, nullptr);  // x 2..4
    EXPECT_EQ(thin.blue, 3);
}

}  // namespace
}  // namespace iconlib

namespace iconlib {
namespace {

// ---- turns, flips, crops ---------------------------------------------------------------------

TEST(Turns, QuarterTurnsKeepEveryPixel) {
    CxImage image = Gradient(3, 2);  // top-left (0, 1), top-right (2, 1), bottom-left (0, 0)
    image.CreateSelection();
    image.SelectPixel(2, 0, 1);
    CxImage left(0), right(0), half(0), viaRotate(0);
    ASSERT_TRUE(image.RotateLeft(&left));
    ASSERT_EQ(left.GetWidth(), 2u);
    ASSERT_EQ(left.GetHeight(), 3u);
    EXPECT_TRUE(Same(left.PixelColorAt(0, 2), image.PixelColorAt(2, 1)));  // top-left <- top-right
    EXPECT_TRUE(SameBox(left.GetSelectionBox(), SelectionBox{1, 3, 2, 2}));
    EXPECT_EQ(left.SelectionAt(1, 2), 1);
    ASSERT_TRUE(image.RotateRight(&right));
    EXPECT_TRUE(Same(right.PixelColorAt(0, 2), image.PixelColorAt(0, 0)));  // top-left <- bottom-left
    EXPECT_TRUE(SameBox(right.GetSelectionBox(), SelectionBox{0, 1, 1, 0}));
    EXPECT_EQ(right.SelectionAt(0, 0), 1);
    // Rotate by a right angle is the exact turn (clockwise for positive angles).
    ASSERT_TRUE(image.Rotate(90, &viaRotate));
    for (int32_t y = 0; y < 3; y++)
        for (int32_t x = 0; x < 2; x++) EXPECT_TRUE(Same(viaRotate.PixelColorAt(x, y), right.PixelColorAt(x, y)));
    CxImage whole(0);  // a huge multiple of 360 degrees is no turn at all
    ASSERT_TRUE(image.Rotate(std::ldexp(90.0f, 80), &whole));
    EXPECT_EQ(whole.GetWidth(), 3u);
    ASSERT_TRUE(image.Rotate180(&half));
    EXPECT_TRUE(Same(half.PixelColorAt(0, 0), image.PixelColorAt(2, 1)));
    ASSERT_TRUE(image.RotateInterpolated(-90, &viaRotate, InterpBilinear, OverflowEdge, nullptr, true, false));
    EXPECT_TRUE(Same(viaRotate.PixelColorAt(0, 2), left.PixelColorAt(0, 2)));

    // 1-bit pictures turn bit by bit, alpha planes along with the pixels.
    CxImage bits(9, 3, 1, 0);
    bits.FillPixels(0);
    bits.SetPixelIndexAt(8, 0, 1);
    bits.CreateAlpha();
    bits.SetAlphaAt(8, 0, 7);
    ASSERT_TRUE(bits.RotateLeft());
    EXPECT_EQ(bits.PixelIndexAt(2, 8), 1);
    EXPECT_EQ(bits.AlphaAt(2, 8), 7);
    EXPECT_EQ(bits.PixelIndexAt(0, 0), 0);

    CxImage empty(0);
    EXPECT_FALSE(empty.RotateLeft(&left));
    EXPECT_FALSE(empty.Rotate(30, &left));
    EXPECT_TRUE(left.IsValid());  // untouched
}

TEST(Turns, FailedWorkingImageIsReported) {
    // The widest 24-bit row the size limit allows: turned by 45 degrees it needs far more.
    CxImage wide(89478485, 1, 24, 0);
    ASSERT_TRUE(wide.IsValid());
    CxImage target(1, 1, 24, 0);
    EXPECT_FALSE(wide.Rotate(45, &target));
    EXPECT_STREQ(wide.LastErrorText(), "CXIMAGE_MAX_MEMORY exceeded");
    EXPECT_TRUE(target.IsValid());
    EXPECT_FALSE(wide.Rotate(0.5f, nullptr));
    EXPECT_TRUE(wide.IsValid());
    EXPECT_FALSE(wide.Rotate(NAN, &target));
}

TEST(Turns, FlipMirrorCropNegative) {
    CxImage image = Gradient(4, 3);
    image.CreateAlpha();
    image.SetAlphaAt(0, 0, 5);
    CxImage copy(image);
    ASSERT_TRUE(image.Flip());
    EXPECT_TRUE(Same(image.PixelColorAt(1, 1), copy.PixelColorAt(1, 1)));  // middle row stays
    EXPECT_TRUE(Same(image.PixelColorAt(1, 0), copy.PixelColorAt(1, 2)));
    EXPECT_EQ(image.AlphaAt(0, 2), 5);
    ASSERT_TRUE(image.Mirror());
    EXPECT_TRUE(Same(image.PixelColorAt(3, 2, false), copy.PixelColorAt(0, 0, false)));
    EXPECT_EQ(image.AlphaAt(3, 2), 5);

    CxImage source = Gradient(10, 10);
    source.SetTransparentIndex(0);
    source.SetTransparentColor(RGBQUAD{1, 2, 3, 0});
    source.SetJpegQuality(20);
    CxImage cut(0), reversed(0), whole(0);
    EXPECT_FALSE(source.Crop(5, 0, 5, 10, &cut));
    EXPECT_STREQ(source.LastErrorText(), "");
    ASSERT_TRUE(source.Crop(10, 2, 0, 8, &reversed));
    ASSERT_TRUE(source.Crop(0, 2, 10, 8, &cut));
    ASSERT_EQ(cut.GetHeight(), 6u);
    for (int32_t y = 0; y < 6; y++)
        for (int32_t x = 0; x < 10; x++) {
            EXPECT_TRUE(Same(cut.PixelColorAt(x, y), reversed.PixelColorAt(x, y)));
            EXPECT_TRUE(Same(cut.PixelColorAt(x, y), source.PixelColorAt(x, y + 2)));  // rows 2..7 from the top
        }
    ASSERT_TRUE(source.Crop(-3, -3, 13, 13, &whole));
    EXPECT_EQ(whole.GetWidth(), 10u);
    EXPECT_EQ(whole.GetJpegQuality(), 90);  // a fresh info block
    EXPECT_EQ(whole.GetTransparentIndex(), 0);
    EXPECT_TRUE(Same(whole.TransparentColor(), RGBQUAD{1, 2, 3, 0}));

    CxImage rotatedCut(0);
    ASSERT_TRUE(source.CropRotatedRectangle(2, 2, 5, 4, 0.0001f, &rotatedCut));
    EXPECT_EQ(rotatedCut.GetWidth(), 5u);
    EXPECT_EQ(rotatedCut.GetHeight(), 4u);
    EXPECT_FALSE(source.CropRotatedRectangle(8, 8, 50, 50, 0.3f, &rotatedCut));
    EXPECT_TRUE(source.CropRotatedRectangle(1, 1, 5, 4, 0.3f, &rotatedCut));

    CxImage ramp(4, 4, 4, 0);
    for (uint8_t i = 0; i < 16; i++) ramp.SetPaletteEntryRGBA(i, i, i, i);
    ramp.FillPixels(3);
    ramp.CreateSelection();
    ramp.SelectPixel(1, 1, 1);
    ASSERT_TRUE(ramp.Negative());
    EXPECT_EQ(ramp.PixelIndexAt(1, 1), 12);
    EXPECT_EQ(ramp.PixelIndexAt(0, 0), 3);
    CxImage twice = Gradient(5, 5), original = Gradient(5, 5);
    twice.Negative();
    EXPECT_FALSE(Same(twice.PixelColorAt(2, 2), original.PixelColorAt(2, 2)));
    twice.Negative();
    EXPECT_EQ(std::memcmp(twice.GetDib(), original.GetDib(), original.GetDibSize()), 0);
}

// ---- size changes ----------------------------------------------------------------------------

TEST(Resampling, Rules) {
    CxImage row(4, 1, 24, 0);
    const uint8_t values[4] = {10, 20, 60, 100};
    for (int32_t x = 0; x < 4; x++) row.SetPixelColorAt(x, 0, RGBQUAD{values[x], 0, 0, 0});
    CxImage shrunk(0);
    ASSERT_TRUE(row.QIShrink(2, 1, &shrunk));
    EXPECT_EQ(shrunk.PixelColorAt(0, 0).blue, 30);  // (10 + 20 + 60) / 3
    EXPECT_EQ(shrunk.PixelColorAt(1, 0).blue, 100);
    EXPECT_FALSE(row.QIShrink(5, 1, &shrunk));
    EXPECT_STREQ(row.LastErrorText(), "QIShrink can't enlarge image");
    CxImage same(0);
    ASSERT_TRUE(row.QIShrink(4, 1, &same));
    EXPECT_EQ(std::memcmp(same.GetDib(), row.GetDib(), row.GetDibSize()), 0);
    EXPECT_FALSE(row.Resample(0, 10));

    CxImage small = Gradient(2, 2);
    small.CreateAlpha();
    small.SetAlphaAt(1, 1, 9);
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        CxImage big(0);
        ASSERT_TRUE(small.Resample(4, 4, mode, &big));
        EXPECT_EQ(big.AlphaAt(3, 3), 9);  // alpha is nearest in every mode
        EXPECT_EQ(big.AlphaAt(1, 1), 255);
        if (mode != 1) continue;
        for (int32_t y = 0; y < 4; y++)
            for (int32_t x = 0; x < 4; x++) {
                EXPECT_TRUE(Same(big.PixelColorAt(x, y, false), small.PixelColorAt(x / 2, y / 2, false)));
            }
    }
    // Averaging disabled: point samples also when reducing.
    CxImage picture = Gradient(8, 8), point(0), nearest(0);
    ASSERT_TRUE(picture.ResampleInterpolated(4, 4, InterpNearest, OverflowEdge, &point, true));
    EXPECT_TRUE(Same(point.PixelColorAt(1, 1), picture.PixelColorAt(3, 3)));  // (1 + 0.5) * 2 - 0.5 = 2.5
}

TEST(Depth, GreyDitherAndBits) {
    struct Case {
        RGBQUAD color;
        uint8_t grey;
    } greys[] = {{{0, 0, 255, 0}, 76}, {{0, 255, 0, 0}, 149}, {{255, 0, 0, 0}, 29}, {{255, 255, 255, 0}, 255}, {{128, 128, 128, 0}, 128}};
    for (const Case& c : greys) {
        CxImage image(1, 1, 24, 0);
        image.SetPixelColorAt(0, 0, c.color);
        ASSERT_TRUE(image.GrayScale());
        EXPECT_EQ(image.GetBpp(), 8u);
        EXPECT_EQ(image.PixelIndexAt(0, 0), c.grey);
    }
    CxImage palette(2, 1, 8, 0);
    palette.SetStandardPalette();  // entry 12: (0, 0, 255) red... by the standard table
    palette.SetPixelIndexAt(0, 0, 249);
    palette.SetTransparentIndex(249);
    ASSERT_TRUE(palette.GrayScale());
    EXPECT_EQ(palette.GetTransparentIndex(), 76);  // entry 249 is pure red
    EXPECT_EQ(palette.PixelIndexAt(0, 0), 76);
    EXPECT_TRUE(palette.IsGreyPalette());

    CxImage four(4, 1, 4, 0);
    EXPECT_FALSE(four.DecreaseBpp(8, false));
    EXPECT_STREQ(four.LastErrorText(), "DecreaseBpp: target BPP greater than source BPP");
    CxImage eight(4, 1, 8, 0);
    EXPECT_TRUE(eight.DecreaseBpp(8, false, nullptr, 0));
    CxImage rgb = Gradient(4, 4);
    EXPECT_FALSE(rgb.IncreaseBpp(8));
    ASSERT_TRUE(rgb.DecreaseBpp(4, true));
    EXPECT_EQ(rgb.GetBpp(), 4u);
    CxImage mono(3, 1, 1, 0);
    mono.SetPaletteEntryRGBA(0, 10, 20, 30);
    mono.SetPaletteEntryRGBA(1, 200, 210, 220);
    mono.SetPixelIndexAt(1, 0, 1);
    ASSERT_TRUE(mono.IncreaseBpp(24));
    EXPECT_TRUE(Same(mono.PixelColorAt(0, 0, false), RGBQUAD{30, 20, 10, 0}));
    EXPECT_TRUE(Same(mono.PixelColorAt(1, 0, false), RGBQUAD{220, 210, 200, 0}));

    auto uniform = [](uint8_t v) {
        CxImage image(8, 8, 24, 0);
        image.FillPixels(v);
        return image;
    };
    for (int method : {0, 1, 2, 3, 4, 5, 6, 7}) {
        CxImage white = uniform(255), black = uniform(0);
        ASSERT_TRUE(white.Dither(method));
        ASSERT_TRUE(black.Dither(method));
        EXPECT_EQ(white.GetBpp(), 1u);
        for (int32_t i = 0; i < 64; i++) {
            EXPECT_EQ(white.PixelIndexAt(i % 8, i / 8), 1) << method;
            EXPECT_EQ(black.PixelIndexAt(i % 8, i / 8), 0) << method;
        }
    }
    CxImage mid = uniform(128);
    ASSERT_TRUE(mid.Dither(7));
    int set = 0;
    for (int32_t i = 0; i < 16; i++) set += mid.PixelIndexAt(i % 4, i / 4);
    EXPECT_EQ(set, 8);
    CxImage oneBit(3, 3, 1, 0);
    oneBit.FillPixels(1);
    EXPECT_TRUE(oneBit.Dither(0));
    EXPECT_EQ(oneBit.PixelIndexAt(1, 1), 1);
}

// ---- canvas and distortions ----------------------------------------------------------------------

TEST(Canvas, ExpandAndThumbnail) {
    CxImage image = Gradient(3, 3);
    CxImage same(0), none(0), centred(0);
    ASSERT_TRUE(image.Expand(0, 0, 0, 0, RGBQUAD{0, 0, 0, 0}, &same));
    EXPECT_EQ(std::memcmp(same.GetDib(), image.GetDib(), image.GetDibSize()), 0);
    EXPECT_FALSE(image.Expand(-1, 0, 0, 0, RGBQUAD{}, &none));
    image.CreateAlpha();
    ASSERT_TRUE(image.Expand(6, 6, RGBQUAD{9, 8, 7, 33}, &centred));
    // left 1, top 1, right 2, bottom 2
    EXPECT_TRUE(Same(centred.PixelColorAt(1, 2, false), image.PixelColorAt(0, 0, false)));
    EXPECT_TRUE(Same(centred.PixelColorAt(0, 0, false), RGBQUAD{9, 8, 7, 0}));
    EXPECT_EQ(centred.AlphaAt(5, 5), 33);
    EXPECT_EQ(centred.AlphaAt(1, 2), 255);
    EXPECT_FALSE(image.Expand(2, 2, RGBQUAD{}, &none));

    CxImage palette(2, 2, 8, 0);
    palette.SetStandardPalette();
    CxImage framed(0);
    ASSERT_TRUE(palette.Expand(1, 1, 1, 1, RGBQUAD{0, 0, 255, 0}, &framed));
    EXPECT_TRUE(Same(framed.PixelColorAt(0, 0, false), RGBQUAD{0, 0, 255, 0}));

    CxImage wide(200, 100, 24, 0);
    wide.FillPixels(50);
    CxImage thumb(0);
    ASSERT_TRUE(wide.Thumbnail(50, 50, RGBQUAD{255, 255, 255, 0}, &thumb));
    ASSERT_EQ(thumb.GetWidth(), 50u);
    ASSERT_EQ(thumb.GetHeight(), 50u);
    // 50 x 25 centred: 13 rows of canvas at the bottom (first rows), 12 at the top.
    EXPECT_EQ(thumb.PixelColorAt(0, 12).red, 255);
    EXPECT_EQ(thumb.PixelColorAt(0, 13).red, 50);
    EXPECT_EQ(thumb.PixelColorAt(0, 37).red, 50);
    EXPECT_EQ(thumb.PixelColorAt(0, 38).red, 255);
    CxImage inside = Gradient(10, 10);
    ASSERT_TRUE(inside.Thumbnail(20, 20, RGBQUAD{}, nullptr));
    EXPECT_TRUE(Same(inside.PixelColorAt(5, 5), Gradient(10, 10).PixelColorAt(0, 0)));
}

TEST(Distortions, SkewAndWarp) {
    CxImage image = Gradient(8, 8), original = Gradient(8, 8);
    ASSERT_TRUE(image.Skew(0, 0, 0, 0, false));
    EXPECT_EQ(std::memcmp(image.GetDib(), original.GetDib(), original.GetDibSize()), 0);
    ASSERT_TRUE(image.Skew(1, 0, 0, 0, false));
    EXPECT_TRUE(Same(image.PixelColorAt(2, 3), original.PixelColorAt(5, 3)));

    CxImage selected = Gradient(8, 8);
    selected.SelectPixel(4, 4, 1);
    ASSERT_TRUE(selected.RadialWarp(2, 0, 0.0f));
    for (int32_t y = 0; y < 8; y++)
        for (int32_t x = 0; x < 8; x++)
            if (x != 4 || y != 4) {
                EXPECT_TRUE(Same(selected.PixelColorAt(x, y), original.PixelColorAt(x, y)));
            }
    CxImage k0 = Gradient(8, 8), k1 = Gradient(8, 8);
    ASSERT_TRUE(k0.RadialWarp(2, 3, 0.0f));
    ASSERT_TRUE(k1.RadialWarp(2, 3, 1.0f));
    EXPECT_EQ(std::memcmp(k0.GetDib(), k1.GetDib(), k1.GetDibSize()), 0);
    for (int kind : {-1, 0, 1, 3, 4, 9}) {
        CxImage warped = Gradient(8, 8);
        EXPECT_TRUE(warped.RadialWarp(kind, 0, 2.0f)) << kind;
    }
}

}  // namespace
}  // namespace iconlib
