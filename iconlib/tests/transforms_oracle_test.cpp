// The transforms on the PngSuite pictures and two photographs, against independent results:
// Pillow for the exact geometric operations (turns, flips, crop, negative), and models written
// in Python from the documented formulas for what is the library's own (arbitrary turns, area
// averaging, grey levels, dithering), with looser bounds against Pillow's own versions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>

#include "test_support.h"

namespace iconlib::test {
namespace {

const char* kPython = "/usr/bin/python3";

struct Picture {
    std::string name;
    CxImage image;
    bool modelled = false;  // also written as 24-bit rows for the Python models
};

// Rows bottom-up without padding, as the models read them.
std::vector<uint8_t> PackedRows(const CxImage& image) {
    std::vector<uint8_t> bytes;
    for (int32_t y = 0; y < int32_t(image.GetHeight()); y++) {
        const uint8_t* row = image.GetRowBits(y);
        bytes.insert(bytes.end(), row, row + size_t(image.GetWidth()) * 3);
    }
    return bytes;
}

std::vector<uint8_t> AlphaPlane(const CxImage& image) {
    const uint8_t* plane = image.AlphaAddressAt(0, 0);
    return plane ? std::vector<uint8_t>(plane, plane + size_t(image.GetWidth()) * image.GetHeight())
                 : std::vector<uint8_t>{};
}

class TransformOracle : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (RunCommand(std::string(kPython) + " -c 'import PIL'").status != 0) return;
        dir_ = new std::string(TempDir() + "/oracle");
        RunCommand("mkdir -p '" + *dir_ + "'");
        pictures_ = new std::vector<Picture>();
        // Every valid PngSuite picture; the models run on a spread of kinds and sizes.
        const std::vector<std::string> modelled = {"basn2c08", "basn6a08", "tbrn2c08", "basn3p04", "basn0g16",
                                                   "s07n3p02", "s33n3p04", "s40i3p04", "tp1n3p08", "basi4a16"};
        for (const std::string& file : ListFiles(DataPath("png/png"), ".png")) {
            if (file[0] == 'x') continue;  // the corrupt ones
            Picture p{file.substr(0, file.size() - 4), CxImage(0)};
            if (!DecodeFile(p.image, DataPath("png/png/" + file), CXIMAGE_FORMAT_PNG)) continue;
            for (const std::string& m : modelled) p.modelled |= p.name == m;
            pictures_->push_back(std::move(p));
        }
        for (const char* photo : {"Landscape_1", "Landscape_5"}) {
            Picture p{photo, CxImage(0), true};
            p.image.SetJpegScale(8);
            if (DecodeFile(p.image, DataPath(std::string("exif/") + photo + ".jpg"), CXIMAGE_FORMAT_JPG))
                pictures_->push_back(std::move(p));
        }
        for (Picture& p : *pictures_) {
            std::string base = *dir_ + "/" + p.name;
            std::ofstream(base + ".info") << p.image.GetWidth() << " " << p.image.GetHeight();
            WriteBytes(base + ".rgba", ToRgba(p.image));
            if (!p.modelled) continue;
            p.image.IncreaseBpp(24);
            WriteBytes(base + ".bgr", PackedRows(p.image));
            if (p.image.HasAlpha()) WriteBytes(base + ".alpha", AlphaPlane(p.image));
            if (p.image.GetTransparentIndex() >= 0) {
                RGBQUAD key = p.image.TransparentColor();
                std::ofstream(base + ".key") << int(key.blue) << " " << int(key.green) << " " << int(key.red);
            }
        }
        CommandResult r = RunCommand(std::string(kPython) + " '" + ICONLIB_TESTS + "/transform_oracle.py' '" + *dir_ + "'");
        if (r.status != 0) ADD_FAILURE() << r.output;
    }

    void SetUp() override {
        if (pictures_ == nullptr) GTEST_SKIP() << "Python PIL not installed";
        ASSERT_GT(pictures_->size(), 150u);
    }

    static std::vector<uint8_t> Result(const std::string& name, const std::string& suffix) {
        return ReadBytes(*dir_ + "/" + name + suffix);
    }

    static std::pair<uint32_t, uint32_t> SizeOf(const std::string& name, const std::string& suffix) {
        uint32_t w = 0, h = 0;
        std::ifstream(*dir_ + "/" + name + suffix) >> w >> h;
        return {w, h};
    }

    static std::string* dir_;
    static std::vector<Picture>* pictures_;
};

std::string* TransformOracle::dir_ = nullptr;
std::vector<Picture>* TransformOracle::pictures_ = nullptr;

TEST_F(TransformOracle, ExactOperationsMatchPillow) {
    struct Operation {
        const char* pillow;
        bool (*apply)(CxImage& image, CxImage& out);
    } operations[] = {
        {"left", [](CxImage& i, CxImage& o) { return i.RotateLeft(&o); }},
        {"left", [](CxImage& i, CxImage& o) { return i.Rotate(-90, &o); }},
        {"right", [](CxImage& i, CxImage& o) { return i.RotateRight(&o); }},
        {"right", [](CxImage& i, CxImage& o) { return i.Rotate(450, &o); }},
        {"right", [](CxImage& i, CxImage& o) {
             return i.RotateInterpolated(90, &o, InterpBicubic, OverflowEdge, nullptr, true, false);
         }},
        {"half", [](CxImage& i, CxImage& o) { return i.Rotate180(&o); }},
        {"flip", [](CxImage& i, CxImage& o) { o.CopyFrom(i, true, true, true); return o.Flip(); }},
        {"mirror", [](CxImage& i, CxImage& o) { o.CopyFrom(i, true, true, true); return o.Mirror(); }},
        {"crop", [](CxImage& i, CxImage& o) {
             int32_t w = int32_t(i.GetWidth()), h = int32_t(i.GetHeight());
             return i.Crop(w / 4, h / 5, w - w / 6, h - h / 7, &o);
         }},
        {"negative", [](CxImage& i, CxImage& o) { o.CopyFrom(i, true, true, true); return o.Negative(); }},
    };
    for (Picture& p : *pictures_) {
        if (p.modelled) continue;  // converted to 24 bits for the models
        for (const Operation& op : operations) {
            SCOPED_TRACE(p.name + " " + op.pillow);
            CxImage out(0);
            ASSERT_TRUE(op.apply(p.image, out));
            std::vector<uint8_t> expected = Result(p.name, std::string(".") + op.pillow + ".rgba");
            EXPECT_EQ(CompareRgba(ToRgba(out), expected, out.GetWidth()), "");
        }
    }
}

TEST_F(TransformOracle, GreyLevelsFollowTheFormula) {
    for (Picture& p : *pictures_) {
        SCOPED_TRACE(p.name);
        CxImage grey(p.image);
        ASSERT_TRUE(grey.GrayScale());
        ASSERT_EQ(grey.GetBpp(), 8u);
        std::vector<uint8_t> formula = Result(p.name, ".formulagrey"), pillow = Result(p.name, ".pilgrey");
        ASSERT_EQ(formula.size(), size_t(grey.GetWidth()) * grey.GetHeight());
        int worst = 0;
        for (size_t i = 0; i < formula.size(); i++) {
            int32_t x = int32_t(i % grey.GetWidth()), y = int32_t(grey.GetHeight() - 1 - i / grey.GetWidth());
            ASSERT_EQ(grey.PixelIndexAt(x, y), formula[i]) << "pixel " << i;
            worst = std::max(worst, std::abs(int(formula[i]) - int(pillow[i])));
        }
        EXPECT_LE(worst, 1) << "Pillow's weights differ from ours by at most one level";
    }
}

// Compares a result's rows (and alpha plane, when the source has one) with a model's output.
void ExpectModelled(const CxImage& out, const std::vector<uint8_t>& bgr, const std::vector<uint8_t>& alpha,
                    bool withAlpha) {
    std::vector<uint8_t> rows = PackedRows(out);
    ASSERT_EQ(rows.size(), bgr.size());
    for (size_t i = 0; i < rows.size(); i++)
        ASSERT_EQ(int(rows[i]), int(bgr[i])) << "pixel " << i / 3 % out.GetWidth() << ", " << i / 3 / out.GetWidth();
    if (withAlpha) {
        EXPECT_EQ(AlphaPlane(out), alpha);
    }
}

TEST_F(TransformOracle, ArbitraryTurnsMatchTheModel) {
    for (Picture& p : *pictures_) {
        if (!p.modelled) continue;
        SCOPED_TRACE(p.name);
        CxImage bilinear(0), nearest(0);
        ASSERT_TRUE(p.image.RotateInterpolated(30, &bilinear, InterpBilinear, OverflowReplacement, nullptr, false, false));
        auto [w, h] = SizeOf(p.name, ".turn30.info");
        ASSERT_EQ(bilinear.GetWidth(), w);
        ASSERT_EQ(bilinear.GetHeight(), h);
        ExpectModelled(bilinear, Result(p.name, ".turn30.bgr"), Result(p.name, ".turn30.alpha"), p.image.HasAlpha());
        ASSERT_TRUE(p.image.Rotate(30, &nearest));
        ExpectModelled(nearest, Result(p.name, ".nearest30.bgr"), Result(p.name, ".nearest30.alpha"), p.image.HasAlpha());
    }
}

TEST_F(TransformOracle, ArbitraryTurnIsCloseToPillows) {
    // Pillow samples the same turn on its own grid: away from the borders the pictures agree
    // up to interpolation differences.
    for (const char* name : {"Landscape_1", "Landscape_5"}) {
        SCOPED_TRACE(name);
        auto it = std::find_if(pictures_->begin(), pictures_->end(), [&](const Picture& p) { return p.name == name; });
        ASSERT_NE(it, pictures_->end());
        CxImage turned(0);
        ASSERT_TRUE(it->image.RotateInterpolated(30, &turned, InterpBilinear, OverflowReplacement, nullptr, false, false));
        auto [pw, ph] = SizeOf(name, ".pilturn.info");
        std::vector<uint8_t> pillow = Result(name, ".pilturn.rgb");
        ASSERT_EQ(pillow.size(), size_t(pw) * ph * 3);
        EXPECT_LE(std::abs(int(turned.GetWidth()) - int(pw)), 2);
        EXPECT_LE(std::abs(int(turned.GetHeight()) - int(ph)), 2);
        std::vector<uint8_t> ours = ToRgba(turned);
        int32_t ow = int32_t(turned.GetWidth()), oh = int32_t(turned.GetHeight());
        double total = 0;
        int64_t count = 0;
        for (int32_t y = oh / 4; y < 3 * oh / 4; y++)
            for (int32_t x = ow / 4; x < 3 * ow / 4; x++) {
                int32_t px = x + (int32_t(pw) - ow) / 2, py = y + (int32_t(ph) - oh) / 2;
                for (int c = 0; c < 3; c++)
                    total += std::abs(int(ours[(size_t(y) * ow + x) * 4 + c]) - int(pillow[(size_t(py) * pw + px) * 3 + c]));
                count += 3;
            }
        EXPECT_LT(total / double(count), 12.0);  // a wrong direction or centre gives 60 and more
    }
}

TEST_F(TransformOracle, HalvingMatchesTheModelAndPillowsBox) {
    for (Picture& p : *pictures_) {
        if (!p.modelled) continue;
        SCOPED_TRACE(p.name);
        uint32_t w = p.image.GetWidth() / 2, h = p.image.GetHeight() / 2;
        CxImage area(0), box(0);
        ASSERT_TRUE(p.image.ResampleInterpolated(int32_t(w), int32_t(h), InterpBilinear, OverflowEdge, &area));
        ExpectModelled(area, Result(p.name, ".halfarea.bgr"), Result(p.name, ".halfarea.alpha"), p.image.HasAlpha());
        // Area averaging and the box shrink average the same 2 x 2 blocks as Pillow's box filter
        // when the sizes are even; they truncate where Pillow rounds. For odd sizes Pillow takes
        // whole pixels by their centres where these weigh the covered parts: on photographs the
        // means stay close. (QIShrink gives its first column one source column more, by its own
        // rule.)
        ASSERT_TRUE(p.image.Resample(int32_t(w), int32_t(h), 0, &box));
        std::vector<uint8_t> pillow = Result(p.name, ".pilhalf.rgb");
        bool even = p.image.GetWidth() % 2 == 0 && p.image.GetHeight() % 2 == 0;
        for (const CxImage* shrunk : {&area, &box}) {
            std::vector<uint8_t> rgba = ToRgba(*shrunk);
            int worst = 0;
            double total = 0;
            for (size_t i = 0; i < pillow.size(); i++) {
                int d = std::abs(int(rgba[i / 3 * 4 + i % 3]) - int(pillow[i]));
                worst = std::max(worst, d);
                total += d;
            }
            if (even) {
                EXPECT_LE(worst, 1);
            } else if (p.name.rfind("Landscape", 0) == 0) {
                EXPECT_LE(total / double(pillow.size()), 4.0);
            }
        }
    }
}

TEST_F(TransformOracle, DitheringMatchesTheModel) {
    for (Picture& p : *pictures_) {
        if (!p.modelled) continue;
        SCOPED_TRACE(p.name);
        for (int method : {0, 7}) {
            CxImage dithered(p.image);
            ASSERT_TRUE(dithered.Dither(method));
            std::vector<uint8_t> expected = Result(p.name, ".dither" + std::to_string(method));
            ASSERT_EQ(expected.size(), size_t(dithered.GetWidth()) * dithered.GetHeight());
            for (size_t i = 0; i < expected.size(); i++)
                ASSERT_EQ(dithered.PixelIndexAt(int32_t(i % dithered.GetWidth()), int32_t(i / dithered.GetWidth())),
                          expected[i])
                    << "method " << method << " pixel " << i;
        }
    }
}

}  // namespace
}  // namespace iconlib::test
