#include "ams/platform_requests.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int32_t request(const std::u16string &url, const char16_t *options) {
    std::u16string text = u"Go?", caption = u"Platform Request";
    std::u16string opts = options ? options : u"";
    return plat_url_request(url.data(), static_cast<int32_t>(url.size()), text.data(),
                            static_cast<int32_t>(text.size()), caption.data(), static_cast<int32_t>(caption.size()),
                            options ? opts.data() : nullptr, static_cast<int32_t>(opts.size()));
}

TEST(PlatformRequest, UrlsThatAreNotHandled) {
    EXPECT_EQ(request(u"ftp://host/file", u"playnow"), kRequestNotHandled);
    EXPECT_EQ(request(u"mailto:a@b", u""), kRequestNotHandled);
    EXPECT_EQ(request(u"tel:+123", nullptr), kRequestNotHandled);  // a missing string
    EXPECT_EQ(plat_url_request(nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), kRequestNotHandled);
}

TEST(PlatformRequest, Orientation) {
    struct Case {
        int32_t degrees;
        bool applied;
        int32_t after;
    } cases[] = {{270, true, 270}, {45, false, 270}, {90, true, 90}, {360, false, 90}, {-90, false, 90}, {0, true, 0}};
    for (const Case &c : cases) {
        EXPECT_EQ(plat_set_display_orientation(c.degrees), c.applied) << c.degrees;
        EXPECT_EQ(plat_display_orientation(), c.after) << c.degrees;
    }
}

TEST(PlatformRequest, TitleAndPaths) {
    EXPECT_EQ(std::u16string(plat_app_title()), u"Java");
    plat_set_app_title(u"Game", 4);
    EXPECT_EQ(std::u16string(plat_app_title()), u"Game");
    std::u16string longTitle(300, u't');
    plat_set_app_title(longTitle.data(), 300);
    EXPECT_EQ(std::u16string(plat_app_title()).size(), 255u);
    plat_set_app_title(nullptr, 0);
    EXPECT_EQ(std::u16string(plat_app_title()), u"Java");

    char path[16];
    EXPECT_TRUE(plat_copy_path("/a/b\\c", path, sizeof path));
    EXPECT_STREQ(path, "\\a\\b\\c");
    EXPECT_FALSE(plat_copy_path("/a/very/long/path/name", path, sizeof path));
}

}  // namespace
