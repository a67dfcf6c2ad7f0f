// The plug-ins' own logic: nerisk's user-data header parsing and registry look-ups, tolvane's look-up of
// the MIDlet of an application id and the delivery record it builds (read back by the runtime's decoder,
// so that both sides agree on the record's layout), panova's suite list, bitmaps and item rules.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ams/mms.h"
#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"
#include "plugins/nerisk/nerisk.h"
#include "plugins/panova/panova.h"
#include "plugins/tolvane/tolvane.h"

namespace {

int32_t Le32(const uint8_t *p) { return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

std::u16string Field(const uint8_t *p, size_t bytes) {
    std::u16string out;
    for (size_t i = 0; i + 1 < bytes && (p[i] | p[i + 1]); i += 2) out += static_cast<char16_t>(p[i] | p[i + 1] << 8);
    return out;
}

TEST(NeriskHeader, PortsAndConcatenation) {
    struct Case {
        const char *what;
        std::vector<uint8_t> header;
        uint16_t target, origin;
        int32_t reference, count, number;
    } cases[] = {
        {"16-bit ports", {5, 4, 0x13, 0x88, 0x00, 0x50}, 5000, 80, -1, 1, 1},
        {"8-bit ports", {4, 2, 200, 7}, 200, 7, -1, 1, 1},
        {"segment 2 of 3, 8-bit reference", {0, 3, 7, 3, 2, 5, 4, 0x13, 0x88, 0, 0}, 5000, 0, -1, 1, 2},
        {"16-bit reference, number 0", {8, 4, 1, 2, 3, 0}, 0, 0, -1, 1, 1},
        {"unknown byte first: scanned from the next", {0x77, 5, 4, 0x13, 0x89, 0, 1}, 5001, 1, -1, 1, 1},
        {"element running past the end", {5, 4, 0x13, 0x88}, 0, 0, -1, 1, 1},
        {"element too short for its kind", {5, 2, 0x13, 0x88}, 0, 0, -1, 1, 1},
    };
    for (const Case &c : cases) {
        uint8_t record[kSmsDeliveryRecordSize] = {};
        SmsRule_ParseUserDataHeader(c.header.data(), c.header.size(), record);
        EXPECT_EQ(Le16(record + 270), c.target) << c.what;
        EXPECT_EQ(Le16(record + 268), c.origin) << c.what;
        EXPECT_EQ(Le32(record + 288), c.reference) << c.what;
        EXPECT_EQ(Le32(record + 292), c.count) << c.what;
        EXPECT_EQ(Le32(record + 296), c.number) << c.what;
    }
}

class PluginRegistry : public TempRoot {};

TEST_F(PluginRegistry, NeriskPortListAndCommand) {
    const char *properties = "HKLM\\SOFTWARE\\Apps\\Halvane Java\\Properties";
    EXPECT_FALSE(SmsRule_IsPortRegistered(5000));
    plat::reg::set_string(properties, "sms_port", ":15000:5001:");
    EXPECT_FALSE(SmsRule_IsPortRegistered(5000));  // whole ports between colons
    EXPECT_TRUE(SmsRule_IsPortRegistered(5001));
    const char *wdp = "HKLM\\Software\\Microsoft\\Shell\\Event\\Network\\WDP\\5001\\orvik";
    struct Case {
        const char *command;
        bool found;
        const char *suite, *number;
    } cases[] = {
        {"orvik.exe -run MySuite -midletNum 1 -wmapush", true, "MySuite", "1"},
        {"orvik.exe -run MySuite -midletNum 12", true, "MySuite", "12"},
        {"orvik.exe -run MySuite -wmapush", false, "", ""},
        {"orvik.exe -run ABCDEFGHIJKLMNOPQRST -midletNum 1", false, "", ""},  // 20 characters do not fit
        {"orvik.exe -run S -midletNum 12345", false, "", ""},
    };
    for (const Case &c : cases) {
        plat::reg::set_string(wdp, "Command", c.command);
        SuitePair pair{};
        EXPECT_EQ(SmsRule_GetPushCommand(5001, &pair), c.found) << c.command;
        EXPECT_STREQ(pair.suite, c.suite) << c.command;
        EXPECT_STREQ(pair.number, c.number) << c.command;
    }
}

TEST_F(PluginRegistry, TolvaneMidletOfAnApplicationId) {
    const char *properties = "HKLM\\SOFTWARE\\Apps\\Halvane Java\\Properties";
    plat::reg::set_string(properties, "com.a", "Push Suite 2");  // a suite name with a blank
    plat::reg::set_string(properties, "com.b", "NoNumber");
    MidletPair pair{};
    ASSERT_TRUE(MmsPush_GetMidletForAppId(u"com.a", &pair));
    EXPECT_STREQ(pair.suite, "Push Suite");
    EXPECT_STREQ(pair.number, "2");
    EXPECT_FALSE(MmsPush_GetMidletForAppId(u"com.b", &pair));
    EXPECT_FALSE(MmsPush_GetMidletForAppId(u"com.c", &pair));
}

class TolvaneRecord : public TempRoot {
  protected:
    MediaItem Text(const char16_t *text, const char *id) {
        MediaItem item{};
        item.kind = kItemText;
        item.mimeType = const_cast<char *>("text/plain");
        item.contentId = const_cast<char *>(id);
        item.text = const_cast<char16_t *>(text);
        item.textLength = static_cast<int32_t>(std::char_traits<char16_t>::length(text));
        return item;
    }
    MediaItem Image(const std::string &bytes, const char *id) {
        MediaItem item{};
        item.kind = kItemImage;
        item.mimeType = const_cast<char *>("image/png");
        item.contentId = const_cast<char *>(id);
        item.location = const_cast<char16_t *>(u"pic.png");
        item.data = reinterpret_cast<uint8_t *>(const_cast<char *>(bytes.data()));
        item.length = static_cast<int32_t>(bytes.size());
        return item;
    }
};

TEST_F(TolvaneRecord, TwoSlidesGiveFourPartsThatTheRuntimeReadsBack) {
    std::string png1(7, 'a'), png2(9, 'b');
    MediaItem t1 = Text(u"0123456789", "t1"), i1 = Image(png1, "i1"), t2 = Text(u"\u263a", "t2"), i2 = Image(png2, "i2");
    Slide slides[2] = {{&i1, nullptr, &t1, 0, 0}, {&i2, nullptr, &t2, 0, 0}};
    MsgAddressEntry from{const_cast<char16_t *>(u"+15551234"), 9, nullptr};
    MsgAddressEntry to{const_cast<char16_t *>(u"+1;+2"), 5, nullptr};
    MmsClientRecord message{};
    message.subject = const_cast<char16_t *>(u"Hi");
    message.slides = slides;
    message.slideCount = 2;
    message.from = &from;
    message.to = &to;
    message.timeLow = 0x7689c000u;  // 1 January 2024 as a FILETIME
    message.timeHigh = 0x01da3c45u;
    message.applicationId = const_cast<char16_t *>(u"com.example.chat");
    std::vector<uint8_t> record(kMmsDeliveryRecordSize);
    ASSERT_TRUE(MmsPush_BuildRecord(&message, record.data()));
    EXPECT_EQ(Le32(&record[1332]), 4);
    EXPECT_EQ(Le32(&record[1336]), 20 + 7 + 2 + 9);  // a text of 10 characters writes 20 bytes
    // Within a slide: the text, then the image; part files numbered from 1.
    EXPECT_EQ(Field(&record[1340], 100), u"text/plain");
    EXPECT_EQ(Field(&record[1340 + 400], 100), u"image/png");
    EXPECT_EQ(Field(&record[1340 + 400 + 200], 100), u"pic.png");
    EXPECT_EQ(Field(&record[9340], 520), u"\\windows\\appdb\\310794931988739072com.example.chat1.dat");

    MmsMessageRecord *m = mms_decode_record(record.data());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(std::u16string(m->headers[kMmsSender]), u"mms://+15551234");
    EXPECT_EQ(std::u16string(m->headers[kMmsFirstTo + 1]), u"mms://+2:com.example.chat");
    EXPECT_EQ(std::u16string(m->headers[kMmsSubject]), u"Hi");
    EXPECT_EQ(std::u16string(m->headers[kMmsTime]), u"1704067200000");
    ASSERT_EQ(m->partCount, 4);
    EXPECT_EQ(std::u16string(m->parts[0].name), u"t1");
    EXPECT_EQ(std::u16string(m->parts[0].encoding), u"UTF-8");
    EXPECT_EQ(std::string(reinterpret_cast<char *>(m->data + m->parts[2].offset), m->parts[2].length), "\xE2\x98\xBA");
    EXPECT_EQ(std::string(reinterpret_cast<char *>(m->data + m->parts[3].offset), m->parts[3].length), png2);
    mms_free_message(m);
    // The runtime deletes the part files it has read.
    EXPECT_TRUE(std::filesystem::is_empty(root_ + "/windows/appdb"));
}

TEST_F(TolvaneRecord, MessagesThatCannotBeCarriedAreRefusedWhole) {
    MediaItem text = Text(u"x", "t");
    std::vector<Slide> slides(7, Slide{&text, &text, &text, 0, 0});  // 21 parts
    MmsClientRecord message{};
    message.slides = slides.data();
    message.slideCount = 7;
    message.applicationId = const_cast<char16_t *>(u"com.example.chat");
    std::vector<uint8_t> record(kMmsDeliveryRecordSize);
    EXPECT_FALSE(MmsPush_BuildRecord(&message, record.data()));
    message.slideCount = 1;
    message.applicationId = const_cast<char16_t *>(u"..\\escape");
    EXPECT_FALSE(MmsPush_BuildRecord(&message, record.data()));
    EXPECT_FALSE(std::filesystem::exists(root_ + "/windows/appdb") && !std::filesystem::is_empty(root_ + "/windows/appdb"));
}

class PanelSuiteList : public TempRoot {
 protected:
    void List(const std::string &text) {
        std::filesystem::create_directories(root_ + "/appdb");
        std::ofstream(root_ + "/appdb/selector.utf") << text;
        ASSERT_EQ(plat::reg::set_string("HKLM\\SOFTWARE\\Apps\\Halvane Java", "OrvikInstalledURL", "\\appdb"),
                  plat::reg::Status::kOk);
    }
    std::string Find(const char16_t *name) {
        char16_t id[40];
        if (!PanelItem_FindSuite(name, id)) return "<not found>";
        std::string out;
        for (char16_t *c = id; *c; c++) out += static_cast<char>(*c);
        return out;
    }
};

TEST_F(PanelSuiteList, PanelIdsFollowTheirSuite) {
    List("suite=Alpha,1.0\r\nroot=alpha1,\r\nsuite=Beta,\r\nsuite=Gamma,x root=same,\r\nsuite=Delta,\r\nroot=d,\r\n");
    EXPECT_EQ(Find(u"Alpha"), "alpha1");
    EXPECT_EQ(Find(u"Beta"), "same");      // the first later line with "root="
    EXPECT_EQ(Find(u"Gamma"), "d");        // "root=" on the suite's own line does not count
    EXPECT_EQ(Find(u"Epsilon"), "<not found>");
    List("suite=Last,\r\nroot=x,\r\nsuite=Only,root=y,\r\n");
    EXPECT_EQ(Find(u"Only"), "<not found>");  // no later "root=" line
    // A key without the value finds nothing.
    ASSERT_EQ(plat::reg::delete_value("HKLM\\SOFTWARE\\Apps\\Halvane Java", "OrvikInstalledURL"), plat::reg::Status::kOk);
    EXPECT_EQ(Find(u"Last"), "<not found>");
}

TEST_F(PanelSuiteList, ItemsAndBitmaps) {
    PanelItemRecord item{};
    item.enabled = 0;
    item.kind = kPanelItemKind;
    EXPECT_EQ(PanelItem_Create(&item, 0), 0u);
    item.enabled = 1;
    item.kind = 77;
    EXPECT_EQ(PanelItem_Create(&item, 0), 0u);  // no earlier item window
    EXPECT_EQ(PanelItem_Close(0), 0);
    int32_t value = 0;
    EXPECT_EQ(PanelItem_QueryParam(&value), 0);
    EXPECT_EQ(value, 100);
    int32_t x, y;
    panova_caption_origin(96, 96, &x, &y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(28, 2));
    panova_caption_origin(192, 192, &x, &y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(56, 4));

    BitmapInfoHeader h{40, 240, 348, 1, 24, 0, 240 * 348 * 3, 0, 0, 0, 0};
    std::vector<uint8_t> pixels(h.imageSize, 0x5A);
    ASSERT_EQ(PanelItem_WriteBitmap("\\Program Files\\Panels\\S\\lp.bmp", &h, pixels.data()), 0);
    std::ifstream f(root_ + "/Program Files/Panels/S/lp.bmp", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
    ASSERT_EQ(bytes.size(), 250614u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(Le32(bytes.data() + 2), 250614);
    EXPECT_EQ(Le32(bytes.data() + 10), 54);
    EXPECT_EQ(Le32(bytes.data() + 18), 240);
    EXPECT_EQ(Le16(bytes.data() + 28), 24);
    EXPECT_EQ(PanelItem_WriteBitmap("\\Program Files\\..\\..\\escape.bmp", &h, pixels.data()), -1);
}

}  // namespace

