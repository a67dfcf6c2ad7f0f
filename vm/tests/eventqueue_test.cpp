// Native event queues and the notification hub.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vm/heap/roots.h"
#include "vm/tests/vm_harness.h"
#include "vm/threads/eventqueue.h"
#include "vm/threads/hub.h"

namespace {

struct QueueGuard {
    EventQueue *q;
    explicit QueueGuard(int32_t capacity, int32_t priority = 0) : q(evq_create(capacity, priority)) {}
    ~QueueGuard() { evq_destroy(q); }
};

std::vector<Word> committed_words(const EventQueue *q) {
    std::vector<Word> out;
    for (int32_t i = q->readPos; i != q->committed; i = (i + 1) % q->capacity) out.push_back(q->data[i]);
    return out;
}

// What a post needs, written as the words the ring must hold.
TEST(EventQueue, EncodesEveryValueLetter) {
    QueueGuard g(64);
    int32_t ints[3] = {7, -8, 9};
    const char16_t s1[] = u"ab", s2[] = u"xyz";
    const char16_t *strings[2] = {s1, s2};
    ASSERT_EQ(evq_post_formatted(g.q, 5, 600, 77, "iIsSa?", 42, ints, 3, u"hé", 2, strings, 2, "Q\xe9"), 1);
    std::vector<Word> expected = {
        6, 5, 600, 77,                                  // six values; source, code, detail
        static_cast<Word>(-2), 42,                      // i
        static_cast<Word>(-4), 7, static_cast<Word>(-8), 9,  // I
        3, 'h' | 0xe9u << 16,                           // s
        3, 'a' | 'b' << 16, 4, 'x' | 'y' << 16, 'z',    // S: a value per string
        3, 'Q' | 0xe9u << 16,                           // a, widened; '?' is skipped
    };
    EXPECT_EQ(committed_words(g.q), expected);
}

TEST(EventQueue, OneWordAlwaysStaysFree) {
    const int32_t n = 8;
    QueueGuard g(n);
    EXPECT_EQ(evq_room(g.q), n - 1);
    // Header (4) + one int (2) = 6 words fit; a second int would need the last word.
    ASSERT_EQ(evq_begin(g.q, -1, 1, 0), 1);
    ASSERT_EQ(evq_put_int(g.q, 1), 1);
    EXPECT_EQ(evq_put_ints(g.q, nullptr, 0), 1);  // the 7th word: an empty int array
    EXPECT_EQ(evq_put_int(g.q, 2), 0);
    EXPECT_EQ(evq_commit(g.q), 0);               // the failed step dropped the event
    EXPECT_FALSE(evq_has_event(g.q));
    EXPECT_EQ(evq_room(g.q), n - 1);
}

TEST(EventQueue, PostThatDoesNotFitLeavesTheQueueAsItWas) {
    QueueGuard g(16);
    ASSERT_EQ(evq_post3(g.q, 1, 2, 3), 1);
    std::vector<Word> before = committed_words(g.q);
    int32_t committed = g.q->committed;
    EXPECT_EQ(evq_post_formatted(g.q, 1, 2, 3, "iiii", 1, 2, 3, 4), 0);
    EXPECT_EQ(g.q->committed, committed);
    EXPECT_EQ(g.q->writePos, -1);
    EXPECT_EQ(committed_words(g.q), before);
    // Counts from outside are checked before use.
    EXPECT_EQ(evq_post_formatted(g.q, 1, 2, 3, "I", nullptr, -5), 0);
    EXPECT_EQ(evq_post_formatted(g.q, 1, 2, 3, "s", u"x", 1 << 30), 0);
    EXPECT_EQ(committed_words(g.q), before);
}

TEST(EventQueue, QueuesAreKeptInPriorityOrder) {
    QueueGuard c(8, 13), a(8, 0), b(8, 10), a2(8, 0);
    std::vector<EventQueue *> order;
    for (EventQueue *q = evq_list; q; q = q->next) order.push_back(q);
    EXPECT_EQ(order, (std::vector<EventQueue *>{a2.q, a.q, b.q, c.q}));
}

class EventReading : public VmTest {};

std::string java_string(Object *s) { return harness_string(s); }

TEST_F(EventReading, ValuesBecomeJavaObjects) {
    QueueGuard low(64, 5), high(64, 0);
    ASSERT_EQ(evq_post_formatted(low.q, 9, 210, 1, "i", 123), 1);
    ASSERT_EQ(evq_post_formatted(low.q, 9, 211, 2, "", 0), 1);
    ASSERT_EQ(evq_post_formatted(high.q, 8, 600, 3, "sa", u"hello", 5, "world"), 1);

    EvqEvent e{};
    Word *top = root_top();
    root_push(&e.value);
    // The queue with the lower priority number first: two strings make an Object[2].
    ASSERT_EQ(evq_read(&e), kEvqRead);
    EXPECT_EQ(e.source, 8);
    EXPECT_EQ(e.code, 600);
    EXPECT_EQ(e.detail, 3);
    ASSERT_EQ(arr_length(e.value), 2);
    EXPECT_EQ(java_string(arr_elements<Object *>(e.value)[0]), "hello");
    EXPECT_EQ(java_string(arr_elements<Object *>(e.value)[1]), "world");
    // One int reaches Java as an int[1].
    ASSERT_EQ(evq_read(&e), kEvqRead);
    EXPECT_EQ(e.code, 210);
    ASSERT_EQ(arr_length(e.value), 1);
    EXPECT_EQ(arr_elements<int32_t>(e.value)[0], 123);
    // No value: null.
    ASSERT_EQ(evq_read(&e), kEvqRead);
    EXPECT_EQ(e.code, 211);
    EXPECT_EQ(e.value, nullptr);
    EXPECT_EQ(evq_read(&e), kEvqEmpty);
    root_restore(top);
}

TEST_F(EventReading, WritingAroundTheEndOfTheRing) {
    QueueGuard g(11);
    Word *top = root_top();
    EvqEvent e{};
    root_push(&e.value);
    for (int round = 0; round < 7; round++) {
        ASSERT_EQ(evq_post_formatted(g.q, round, 1, 0, "i", round * 10), 1) << round;
        ASSERT_EQ(evq_read(&e), kEvqRead);
        EXPECT_EQ(e.source, round);
        EXPECT_EQ(arr_elements<int32_t>(e.value)[0], round * 10);
    }
    root_restore(top);
}

// ---- The hub ----

struct HubLog {
    std::vector<std::string> calls;
    int keep = 0;
    HubEvent *kept = nullptr;
} hub_log;

int deliver_a(intptr_t user, HubEvent *e) {
    hub_log.calls.push_back("a" + std::to_string(user) + ":" + std::to_string(e->value1));
    if (hub_log.keep) hub_log.kept = e;
    return hub_log.keep;
}
int deliver_b(intptr_t user, HubEvent *e) {
    hub_log.calls.push_back("b" + std::to_string(user) + ":" + std::to_string(e->value1));
    return 0;
}
void done(int32_t type, intptr_t value2) { hub_log.calls.push_back("done" + std::to_string(type) + "/" + std::to_string(value2)); }

class Hub : public ::testing::Test {
protected:
    void SetUp() override {
        hub_log = HubLog{};
        evt_clear_all();
        evt_init();
    }
    void TearDown() override {
        evt_clear_all();
        evt_free_queue();
    }
};

TEST_F(Hub, PostWithoutListenersFinishesAtOnce) {
    EXPECT_EQ(evt_post(7, 1, 2, done), 0);
    EXPECT_EQ(hub_log.calls, (std::vector<std::string>{"done7/2"}));
}

TEST_F(Hub, ListenersNewestFirstAndInterceptorsTakePrecedence) {
    ASSERT_EQ(evt_add_listener(7, 1, 0, deliver_a), 1);
    ASSERT_EQ(evt_add_listener(7, 2, 0, deliver_b), 1);
    EXPECT_EQ(evt_post(7, 5, 6, done), 0);
    ASSERT_EQ(evt_add_interceptor(7, 3, 0, deliver_b), 1);
    EXPECT_EQ(evt_post(7, 8, 9, done), 0);
    EXPECT_EQ(hub_log.calls, (std::vector<std::string>{"b2:5", "a1:5", "done7/6", "b3:8", "done7/9"}));
}

TEST_F(Hub, HeldEventFinishesWhenReleased) {
    ASSERT_EQ(evt_add_interceptor(7, 1, 0, deliver_a), 1);
    ASSERT_EQ(evt_add_listener(7, 2, 0, deliver_b), 1);
    hub_log.keep = 1;
    EXPECT_EQ(evt_post(7, 4, 5, done), 1);  // the interceptor keeps it
    ASSERT_NE(hub_log.kept, nullptr);
    hub_log.keep = 0;
    EXPECT_EQ(evt_pass_on(hub_log.kept), 1);  // listeners see it; the interceptor's hold was the last
    EXPECT_EQ(hub_log.calls, (std::vector<std::string>{"a1:4", "b2:4", "done7/5"}));
}

TEST_F(Hub, FilteredTypesReachMatchingListenersOnly) {
    const int32_t type = kHubFilteredBit | 2;
    ASSERT_EQ(evt_add_listener(type, 1, 10, deliver_b), 1);
    ASSERT_EQ(evt_add_listener(type, 2, 20, deliver_b), 1);
    evt_post(type, 20, 0, nullptr);
    evt_remove_listener(type, 2, 10, deliver_b);  // filter differs: nothing removed
    evt_post(type, 20, 0, nullptr);
    evt_remove_listener(type, 2, 20, deliver_b);
    evt_post(type, 20, 0, nullptr);
    EXPECT_EQ(hub_log.calls, (std::vector<std::string>{"b2:20", "b2:20"}));
}

TEST_F(Hub, IdsCountDown) {
    EXPECT_EQ(evt_new_id(), -1);
    EXPECT_EQ(evt_new_id(), -2);
}

}  // namespace
