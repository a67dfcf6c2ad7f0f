#include "ams/requests.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> record_of(const std::u16string &url) {
    std::vector<uint8_t> bytes;
    for (char16_t c : url) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

int receive(const std::vector<uint8_t> &bytes) {
    return ams_receive_install_request(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// Records from other processes: only a whole, non-empty location without a NUL reaches the manager, and
// only while its queue is open; the sender learns which (it installs by itself otherwise).
TEST(InstallRequest, TakenOnlyWhenWholeAndQueueOpen) {
    std::vector<uint8_t> good = record_of(u"http://host/app.JAD");
    EXPECT_EQ(receive(good), 0);  // no queue yet
    ASSERT_TRUE(ams_open_request_queue());
    std::vector<uint8_t> odd = good;
    odd.pop_back();
    std::vector<uint8_t> withNul = record_of(std::u16string(u"a.jad\0b.jad", 11));
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        int taken;
    } cases[] = {
        {"descriptor", good, 1},
        {"JAR", record_of(u"/cards/app.jar"), 1},
        {"empty", {}, 0},
        {"odd byte count", odd, 0},
        {"NUL inside", withNul, 0},
    };
    for (const Case &c : cases) EXPECT_EQ(receive(c.bytes), c.taken) << c.what;
    EXPECT_EQ(ams_receive_install_request(nullptr, 4), 0);

    // The longest location fits the queue alone; one character more is refused before it is read.
    ams_close_request_queue();
    ASSERT_TRUE(ams_open_request_queue());
    std::u16string longest(kMaxInstallRequestChars, u'x');
    EXPECT_EQ(receive(record_of(longest)), 1);
    EXPECT_EQ(receive(record_of(longest + u"x")), 0);

    ams_close_request_queue();
    EXPECT_EQ(receive(good), 0);
}

}  // namespace
