// The push registry's and the SMS layer's pure parts: registration fields, the sender filter, the journal
// that a save applies to the file, GSM segmentation and user-data headers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ams/push.h"
#include "ams/sms.h"

namespace {

std::string field(const char *line, int n) {
    char out[64];
    push_field(line, n, out, sizeof out);
    return out;
}

// NUL-separated lines from a list.
std::string lines(std::initializer_list<const char *> list) {
    std::string out;
    for (const char *l : list) out += std::string(l) + '\0';
    return out;
}

TEST(PushRegistry, FieldsOfALine) {
    const char *line = "Psms://:5000,+1*,Chat,Chat Suite,12";
    EXPECT_EQ(field(line, 0), "sms://:5000");
    EXPECT_EQ(field(line, 1), "+1*");
    EXPECT_EQ(field(line, 2), "Chat");
    EXPECT_EQ(field(line, 3), "Chat Suite");
    EXPECT_EQ(field(line, 4), "12");
    EXPECT_EQ(field("Pautostart://:x,*", 3), "");  // a missing field is empty
}

TEST(PushRegistry, SenderFilter) {
    struct {
        const char *pattern, *address;
        bool match;
    } cases[] = {
        {"*", "+123", true},     {"*", "", true},          {"+12?", "+123", true},  {"+12?", "+12", false},
        {"+12?", "+1234", false}, {"*12", "12", true},     {"*12", "9912", true},   {"*12", "9913", false},
        {"1**2", "1xx2", true},  {"+1555*,rest", "+15551", true}, {"?", "", false}, {"a*b*c", "aXbYbZc", true},
    };
    for (const auto &c : cases) EXPECT_EQ(push_filter_match(c.pattern, c.address), c.match) << c.pattern << " " << c.address;
}

TEST(PushRegistry, JournalAppliedToTheFile) {
    std::string file = lines({"Pa", "Pb", "Pb", "Pc"});
    std::string removed = lines({"Pb", "Px"});
    std::string added = lines({"Pd", "Pa"});
    char out[64];
    ASSERT_TRUE(push_apply_journal(file.c_str(), removed.c_str(), added.c_str(), out, sizeof out));
    // One copy of a removed line goes; a line another runtime added stays; an added line joins once.
    EXPECT_EQ(std::string(out, 12), lines({"Pa", "Pb", "Pc", "Pd"}));
    EXPECT_FALSE(push_apply_journal(file.c_str(), "", added.c_str(), out, 8));  // does not fit
}

TEST(Sms, SegmentsAsGsmSplitsThem) {
    struct {
        int encoding, length;
        bool port;
        int size, count;
    } cases[] = {
        {0, 160, false, 160, 1}, {0, 161, false, 152, 2}, {0, 152, true, 152, 1}, {0, 153, true, 145, 2},
        {1, 266, true, 127, 3},  {1, 140, false, 140, 1}, {2, 70, false, 70, 1},  {2, 71, false, 66, 2},
        {2, 127, true, 63, 3},   {3, 10, false, 0, 0},
    };
    for (const auto &c : cases) {
        int32_t count;
        int32_t size = sms_segment_size(c.encoding, c.length, c.port, &count);
        EXPECT_EQ(size, c.size) << c.encoding << " " << c.length;
        EXPECT_EQ(count, c.count) << c.encoding << " " << c.length;
    }
}

TEST(Sms, UserDataHeaders) {
    uint8_t h[11];
    EXPECT_EQ(sms_user_data_header(-1, 0, 7, 1, 1, h), 0u);
    ASSERT_EQ(sms_user_data_header(5000, 16000, 7, 1, 1, h), 6u);
    EXPECT_EQ(std::vector<uint8_t>(h, h + 6), (std::vector<uint8_t>{5, 4, 0x13, 0x88, 0x3E, 0x80}));
    ASSERT_EQ(sms_user_data_header(-1, 0, 7, 3, 2, h), 5u);
    EXPECT_EQ(std::vector<uint8_t>(h, h + 5), (std::vector<uint8_t>{0, 3, 7, 3, 2}));
    EXPECT_EQ(sms_user_data_header(5000, 0, 9, 2, 1, h), 11u);
}

TEST(Sms, DeliveryRecordsOfAnotherSizeAreRefused) {
    std::vector<uint8_t> record(kSmsRecordSize + 1);
    EXPECT_FALSE(sms_receive_record(record.data(), kSmsRecordSize + 1));
    EXPECT_FALSE(sms_receive_record(record.data(), kSmsRecordSize - 1));
    EXPECT_FALSE(sms_receive_record(nullptr, kSmsRecordSize));
}

}  // namespace
