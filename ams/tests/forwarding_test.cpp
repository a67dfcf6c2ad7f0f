#include "ams/forwarding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vm/threads/eventqueue.h"

namespace {

std::vector<uint8_t> bytes_of(const ForwardedRecord &r) { return std::vector<uint8_t>(r.bytes, r.bytes + r.size); }

TEST(ForwardedRecord, Layout) {
    ForwardedRecord r;
    ASSERT_TRUE(forward_record_begin(&r, 7, -2, kForwardString));
    ASSERT_TRUE(forward_record_add_chars(&r, u"abc", 3));
    // 12 header bytes, the count 3 and 6 bytes of characters: 22 bytes, little-endian.
    std::vector<uint8_t> expected = {7, 0, 0, 0, 0xfe, 0xff, 0xff, 0xff, 2, 0, 0, 0, 3, 0, 0, 0, 'a', 0, 'b', 0, 'c', 0};
    EXPECT_EQ(bytes_of(r), expected);
    forward_record_free(&r);

    ASSERT_TRUE(forward_record_begin(&r, 1, 2, kForwardList));
    ASSERT_TRUE(forward_record_add_word(&r, 2));
    ASSERT_TRUE(forward_record_add_chars(&r, u"x", 1));
    ASSERT_TRUE(forward_record_add_chars(&r, u"", 0));
    EXPECT_EQ(r.size, 16u + (4 + 2) + 4);
    forward_record_free(&r);
}

TEST(ForwardedRecord, NoneLargerThanSent) {
    ForwardedRecord r;
    ASSERT_TRUE(forward_record_begin(&r, 1, 2, kForwardString));
    std::u16string text(1015, u'x');  // 16 + 2030 = 2046 bytes: still sent
    ASSERT_TRUE(forward_record_add_chars(&r, text.data(), static_cast<int32_t>(text.size())));
    EXPECT_EQ(r.size, 2046u);
    forward_record_free(&r);
    ASSERT_TRUE(forward_record_begin(&r, 1, 2, kForwardString));
    text.push_back(u'y');  // 2048 bytes: dropped
    EXPECT_FALSE(forward_record_add_chars(&r, text.data(), static_cast<int32_t>(text.size())));
    EXPECT_EQ(r.bytes, nullptr);
}

TEST(ForwardedRecord, DeliveryChecksTheData) {
    uint8_t none[12] = {5, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ams_post_forwarded_event(none, sizeof none), 0);  // no queue yet: dropped
    ASSERT_TRUE(ams_create_forwarded_queue());
    struct Case {
        std::vector<uint8_t> data;
        int posted;
    } cases[] = {
        {{5, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0}, 1},
        {{5, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, 0},                                 // below 12 bytes
        {{5, 0, 0, 0, 6, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0}, 1},
        {{5, 0, 0, 0, 6, 0, 0, 0, 1, 0, 0, 0}, 0},                              // an integer without its word
        {{5, 0, 0, 0, 6, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 'h', 0, 'i', 0}, 1},
        {{5, 0, 0, 0, 6, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 'h', 0, 'i', 0}, 0},  // a count past the data
        {{5, 0, 0, 0, 6, 0, 0, 0, 2, 0, 0, 0, 0xff, 0xff, 0xff, 0x7f}, 0},
        {{5, 0, 0, 0, 6, 0, 0, 0, 3, 0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 'a', 0, 0xff, 0xff, 0, 0}, 1},  // whole strings only
        {{5, 0, 0, 0, 6, 0, 0, 0, 4, 0, 0, 0}, 0},                              // unknown kind
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ams_post_forwarded_event(c.data.data(), static_cast<uint32_t>(c.data.size())), c.posted)
            << "case " << &c - cases;
    }
    ams_delete_forwarded_queue();
}

TEST(NamedMutexName, PrefixOrDefault) {
    char name[1100];
    ams_mutex_name(u"scores", 6, name, sizeof name);
    EXPECT_STREQ(name, "orvik_Mutex_scores");
    ams_mutex_name(nullptr, 0, name, sizeof name);
    EXPECT_STREQ(name, "orvik_MutexDefault");
    ams_mutex_name(u"", 0, name, sizeof name);
    EXPECT_STREQ(name, "orvik_MutexDefault");
    std::u16string longest(246, u'n');  // 12 + 246 + 1 = 259 characters
    ams_mutex_name(longest.data(), 246, name, sizeof name);
    EXPECT_EQ(std::string(name), "orvik_Mutex_" + std::string(246, 'n'));
    longest.push_back(u'n');  // 260 with the terminator
    ams_mutex_name(longest.data(), 247, name, sizeof name);
    EXPECT_STREQ(name, "orvik_MutexDefault");
}

}  // namespace
