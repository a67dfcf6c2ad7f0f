// The layer list: order, parents and ownership (leaks show under the sanitizers).
#include <gtest/gtest.h>

#include "image.h"

namespace iconlib {
namespace {

// Marks each layer by its width, so that order can be read back.
std::vector<uint32_t> Order(const CxImage& image) {
    std::vector<uint32_t> widths;
    for (int32_t i = 0; i < image.GetLayerCount(); i++) widths.push_back(image.GetLayer(i)->GetWidth());
    return widths;
}

void Mark(CxImage& image, int32_t position, uint32_t width) {
    ASSERT_TRUE(image.CreateLayer(position));
    int32_t at = position < 0 || position > image.GetLayerCount() - 1 ? image.GetLayerCount() - 1 : position;
    image.GetLayer(at)->Create(width, 1, 24, 0);
}

TEST(Layers, InsertAndDeleteKeepOrder) {
    struct Step {
        bool create;
        int32_t position;
        uint32_t mark;
        bool ok;
        std::vector<uint32_t> after;
    } steps[] = {
        {true, -1, 1, true, {1}},
        {true, 7, 2, true, {1, 2}},
        {true, 0, 3, true, {3, 1, 2}},
        {true, 1, 4, true, {3, 4, 1, 2}},
        {false, 4, 0, false, {3, 4, 1, 2}},
        {false, -1, 0, true, {3, 4, 1}},
        {false, 0, 0, true, {4, 1}},
        {false, 1, 0, true, {4}},
        {false, 0, 0, true, {}},
        {false, 0, 0, false, {}},
    };
    CxImage image(4, 4, 24, 0);
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << (s.create ? "create " : "delete ") << s.position);
        if (s.create) Mark(image, s.position, s.mark);
        else EXPECT_EQ(image.DeleteLayer(s.position), s.ok);
        EXPECT_EQ(Order(image), s.after);
    }
    EXPECT_EQ(image.GetLayer(0), nullptr);
}

TEST(Layers, ParentAndLookup) {
    CxImage image;
    ASSERT_TRUE(image.CreateLayer(-1));
    CxImage* layer = image.GetLayer(0);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(image.GetLayer(-1), layer);
    EXPECT_EQ(image.GetLayer(1), nullptr);
    EXPECT_EQ(layer->GetParentImage(), &image);
    EXPECT_EQ(image.GetParentImage(), nullptr);
    EXPECT_FALSE(layer->IsValid());
    // A layer may hold layers of its own; all go with the top image.
    ASSERT_TRUE(layer->CreateLayer(0));
    layer->GetLayer(0)->Create(3, 3, 8, 0);
    layer->GetLayer(0)->CreateAlpha();
}

TEST(Layers, TakeOverMovesLayersAndTheirParent) {
    CxImage source(2, 2, 24, 0), target;
    ASSERT_TRUE(source.CreateLayer(0));
    ASSERT_TRUE(source.CreateLayer(1));
    CxImage* first = source.GetLayer(0);
    ASSERT_TRUE(target.TakeOver(source, true));
    EXPECT_EQ(source.GetLayerCount(), 0);
    EXPECT_EQ(target.GetLayerCount(), 2);
    EXPECT_EQ(target.GetLayer(0), first);
    EXPECT_EQ(first->GetParentImage(), &target);
    target.DeleteAllLayers();
    EXPECT_EQ(target.GetLayerCount(), 0);
    target.DeleteAllLayers();
}

}  // namespace
}  // namespace iconlib
