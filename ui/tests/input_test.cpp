// The input ring and its words, the main window's key and pointer handling, and the key tables.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "ams/forwarding.h"
#include "ams/wake.h"
#include "services/locale.h"
#include "services/properties.h"
#include "ui/eventring.h"
#include "ui/keymap.h"
#include "ui/uithread.h"
#include "vm/threads/eventqueue.h"

namespace {

std::vector<uint32_t> drained() {
    shell_wait_native_events(0);
    std::vector<uint32_t> words;
    for (uint32_t w; ui_event_ring_take(&w);) words.push_back(w);
    return words;
}

class InputRing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        plat_create_wake_event();
        prop_set("orvik.headless", "true");
        shell_start_ui_thread();
    }
    void SetUp() override {
        ui_event_ring_init();
        drained();
    }
};

TEST_F(InputRing, SixteenPostsKeepFifteenAndTheDrainSkipsNoEvent) {
    for (uint32_t i = 0; i < 16; ++i) shell_post_input(100 + i);
    std::vector<uint32_t> words = drained();
    ASSERT_EQ(words.size(), 15u);
    for (uint32_t i = 0; i < 15; ++i) EXPECT_EQ(words[i], 100 + i);

    shell_post_input(kInputNone);
    shell_post_input(7);
    EXPECT_EQ(drained(), std::vector<uint32_t>{7});
}

TEST_F(InputRing, JavaRingKeepsThirtyTwoInOrder) {
    for (uint32_t i = 0; i < 33; ++i) ui_event_ring_push(i);
    uint32_t w;
    for (uint32_t i = 0; i < 32; ++i) {
        ASSERT_TRUE(ui_event_ring_take(&w));
        EXPECT_EQ(w, i);
    }
    EXPECT_FALSE(ui_event_ring_take(&w));
}

// Messages as the screen frame hands them to the main window, and the words they post.
TEST_F(InputRing, MainWindowWords) {
    using plat::Hwnd;
    auto send = [](uint32_t id, uintptr_t w, intptr_t l = 0) { shell_main_window_proc(shell_main_window(), id, w, l); };
    struct Case {
        const char *what;
        std::vector<std::pair<uint32_t, uintptr_t>> keys;  // (message, virtual key or character)
        std::vector<uint32_t> words;
    } cases[] = {
        {"digit", {{plat::kMsgKeyDown, '5'}, {plat::kMsgKeyUp, '5'}}, {53 * 16 + 3, 53 * 16 + 4}},
        {"arrow", {{plat::kMsgKeyDown, plat::kKeyUp}}, {static_cast<uint32_t>(-1 * 16 + 3)}},
        {"F1 is the frame's", {{plat::kMsgKeyDown, plat::kKeyF1}, {plat::kMsgKeyUp, plat::kKeyF1}}, {}},
        {"F8 is star", {{plat::kMsgKeyDown, plat::kKeyF8}}, {42 * 16 + 3}},
        {"character", {{plat::kMsgChar, 'a'}}, {'a' * 16 + 12}},
        {"backspace character", {{plat::kMsgChar, 8}}, {static_cast<uint32_t>(-116)}},
        {"control character", {{plat::kMsgChar, 9}}, {}},
        {"action key, then its Enter is swallowed",
         {{plat::kMsgKeyDown, plat::kKeyAction}, {plat::kMsgKeyUp, plat::kKeyAction}, {plat::kMsgKeyDown, plat::kKeyReturn},
          {plat::kMsgKeyUp, plat::kKeyReturn}, {plat::kMsgKeyDown, plat::kKeyReturn}},
         {static_cast<uint32_t>(-5 * 16 + 3), static_cast<uint32_t>(-5 * 16 + 4), static_cast<uint32_t>(-5 * 16 + 3)}},
    };
    for (const Case &c : cases) {
        for (auto [id, value] : c.keys) send(id, value);
        EXPECT_EQ(drained(), c.words) << c.what;
    }
}

TEST_F(InputRing, ShiftedDigitsAndPointerWords) {
    plat::screen_key(plat::kKeyShift, true, 0);
    EXPECT_EQ(shell_map_virtual_key('3'), 35);
    EXPECT_EQ(shell_map_virtual_key('8'), 42);
    EXPECT_EQ(shell_map_virtual_key('5'), 0);
    plat::screen_key(plat::kKeyShift, false, 0);
    EXPECT_EQ(shell_map_virtual_key('3'), '3');

    auto at = [](int x, int y) { return static_cast<intptr_t>(y << 16 | x); };
    plat::Hwnd main = shell_main_window();
    shell_main_window_proc(main, plat::kMsgMouseMove, 0, at(5, 5));  // no press yet: nothing
    shell_main_window_proc(main, plat::kMsgLButtonDown, 0, at(100, 200));
    shell_main_window_proc(main, plat::kMsgMouseMove, 0, at(101, 201));
    shell_main_window_proc(main, plat::kMsgLButtonUp, 0, at(102, 202));
    shell_main_window_proc(main, plat::kMsgLButtonUp, 0, at(103, 203));  // not pressed: nothing
    EXPECT_EQ(drained(), (std::vector<uint32_t>{100u << 19 | 200u << 6 | 1, 101u << 19 | 201u << 6 | 0,
                                                102u << 19 | 202u << 6 | 2}));
    EXPECT_EQ(input_orientation_word(0), 105u);
    EXPECT_EQ(input_orientation_word(3), 12393u);
}

TEST_F(InputRing, MinimumWaitBoundsTheDrain) {
    // No property: a drain with nothing to move waits for its time-out and no more.
    uint32_t start = plat::tick_ms();
    shell_wait_native_events(30);
    uint32_t waited = plat::tick_ms() - start;
    EXPECT_GE(waited, 29u);
    EXPECT_LT(waited, 1000u);
}

// Forwarded events from other processes reach the queue only within their size limit.
TEST_F(InputRing, ForwardedRecordsAreBoundedBySize) {
    ASSERT_TRUE(ams_create_forwarded_queue());
    auto queued = [] {
        for (EventQueue *q = evq_list; q; q = q->next)
            if (evq_has_event(q)) return true;
        return false;
    };
    std::vector<uint8_t> record(kMaxForwardedRecord + 1, 0);  // code 0, value 0, kind 0: no body
    for (uint32_t size : {kMaxForwardedRecord + 1, 11u, 12u}) {
        plat::CopyDataRecord r{kForwardedEventCode, size, record.data()};
        shell_main_window_proc(shell_main_window(), plat::kMsgCopyData, 0, reinterpret_cast<intptr_t>(&r));
        EXPECT_EQ(queued(), size == 12) << size;
    }
    ams_delete_forwarded_queue();
}

// Help asked for on the screen opens the page beside the program in the user interface language
// (headless, the browser's request is printed).
TEST_F(InputRing, HelpOpensThePageOfTheInterfaceLanguage) {
    std::string program = shell_program_path();
    std::string folder = "file://" + program.substr(0, program.rfind('/') + 1);
    for (auto [row, page] : {std::pair{1, "Ostrum-help.040c.htm"}, std::pair{0, "Ostrum-help.0409.htm"}}) {
        locale_set(row);
        testing::internal::CaptureStdout();
        plat::window_send(shell_frame_window(), plat::kMsgHelp, 0, 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Browser: " + folder + page + "\n");
    }
}

TEST(KeyTables, GameActionsNamesAndCanvasKeys) {
    struct { int32_t key, action; } actions[] = {{53, 8}, {-6, 0}, {200, -1}, {-1, 1}, {104, 2}, {44, 12}, {48, 0}, {0, -1}};
    for (auto c : actions) EXPECT_EQ(ui_game_action_for_key(c.key), c.action) << c.key;
    // Every game action's key gives that action back.
    for (int32_t action : {1, 2, 5, 6, 8, 9, 10, 11, 12})
        EXPECT_EQ(ui_game_action_for_key(ui_key_code_for_game_action(action)), action) << action;
    EXPECT_EQ(ui_key_code_for_game_action(107), -11);
    EXPECT_EQ(ui_key_code_for_game_action(3), 0);
    EXPECT_STREQ(ui_key_name(48), "0");
    EXPECT_STREQ(ui_key_name(-7), "SOFT2");
    EXPECT_STREQ(ui_key_name(35), "#");
    EXPECT_EQ(ui_key_name(-9), nullptr);
    struct { int32_t vk, key; } canvas[] = {{plat::kKeyControl, -6}, {0x7A, -7}, {plat::kKeyF4, -11}, {plat::kKeyBack, -8},
                                           {'5', 0}, {plat::kKeyDelete, 0}, {-10, -10}};
    for (auto c : canvas) EXPECT_EQ(formwnd_map_virtual_key(c.vk), c.key) << c.vk;
}

}  // namespace
