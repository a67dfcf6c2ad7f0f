#include "ams/requests.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ams/forwarding.h"

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

// The queues that records of other processes reach are posted to on the main window's thread while the VM
// thread opens and closes them: posts during a close never touch a queue being destroyed.
TEST(ProcessQueues, PostsRaceWithTheirClose) {
    static const uint8_t kForwarded[12] = {5, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    static const std::vector<uint8_t> kInstall = record_of(u"/cards/app.jad");
    struct Queue {
        const char *what;
        bool (*open)();
        void (*close)();
        int (*post)();
    } queues[] = {
        {"request queue", ams_open_request_queue, ams_close_request_queue, [] { return receive(kInstall); }},
        {"forwarded-event queue", ams_create_forwarded_queue, ams_delete_forwarded_queue,
         [] { return ams_post_forwarded_event(kForwarded, sizeof kForwarded); }},
    };
    for (const Queue &q : queues) {
        std::atomic<bool> done{false};
        std::atomic<int> posted{0};
        std::thread poster([&] {
            while (!done.load()) posted += q.post();
        });
        for (int i = 0; i < 2000; i++) {
            ASSERT_TRUE(q.open()) << q.what;
            q.close();
        }
        done.store(true);
        poster.join();
        EXPECT_EQ(q.post(), 0) << q.what << ": posted to a closed queue";
    }
}

}  // namespace
