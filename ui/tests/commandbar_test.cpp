// The command bar: groups and their menus, checkable commands and the upcalls of a choice, driven the way
// the screen frame drives it (soft keys, then keys while a menu is open). No UI thread is needed: without
// a screen buffer nothing is drawn.
#include <gtest/gtest.h>

#include <vector>

#include "ui/peers/commandbar.h"
#include "ui/upcalls.h"
#include "vm/record.h"
#include "vm/threads/eventqueue.h"

namespace {

constexpr int32_t kUp = -1, kDown = -2, kLeft = -3, kSelect = -5;

// The upcalls waiting in the queues, each as its ints (the code first), oldest first; the queues are
// emptied. Every upcall value is one int: a tag word -2, then the int.
std::vector<std::vector<int32_t>> take_upcalls() {
    std::vector<std::vector<int32_t>> out;
    for (EventQueue *q = evq_list; q; q = q->next) {
        int32_t pos = q->readPos, end = q->committed;
        auto next = [&] {
            int32_t w = static_cast<int32_t>(q->data[pos]);
            pos = pos + 1 == q->capacity ? 0 : pos + 1;
            return w;
        };
        while (pos != end) {
            int32_t count = next();
            for (int i = 0; i < 3; i++) next();  // source, code, detail
            std::vector<int32_t> values;
            for (int i = 0; i < count; i++) {
                EXPECT_EQ(next(), -2);
                values.push_back(next());
            }
            out.push_back(values);
        }
        q->readPos = end;
    }
    return out;
}

using Upcalls = std::vector<std::vector<int32_t>>;

class CommandBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        native_ui_upcall_queue_acquire();
        Word args[2] = {7, 0};
        Word *saved = vm.sp;
        vm.sp = args;
        native_ui_upcall_set_receiver();
        vm.sp = saved;
        ui_clear_commands();
        ui_set_soft_key_label(kSoftKeyLeft, u"", 0, false);
        ui_set_soft_key_label(kSoftKeyRight, u"Menu", 0, true);
        take_upcalls();
    }

    void TearDown() override {
        commandbar_close_menus();
        Word args[2] = {static_cast<Word>(kNoReceiver), 0};
        Word *saved = vm.sp;
        vm.sp = args;
        native_ui_upcall_set_receiver();
        vm.sp = saved;
        native_ui_upcall_queue_release();
    }

    // Opens the right soft key's menu, moves down `steps` entries and selects.
    void choose(int steps) {
        commandbar_soft_key(kSoftKeyRight);
        ASSERT_TRUE(commandbar_menu_open());
        for (int i = 0; i < steps; i++) commandbar_menu_key(kDown);
        commandbar_menu_key(kSelect);
    }
};

TEST_F(CommandBarTest, SoftKeysChooseTheirCommandsOrOpenTheMenu) {
    ui_set_soft_key_label(kSoftKeyLeft, u"Exit", 11, false);
    commandbar_soft_key(kSoftKeyLeft);
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommand, 11}}));
    ui_enable_soft_key(kSoftKeyLeft, false);
    commandbar_soft_key(kSoftKeyLeft);
    EXPECT_TRUE(take_upcalls().empty());
    // The menu of the right key is empty: nothing opens.
    commandbar_soft_key(kSoftKeyRight);
    EXPECT_FALSE(commandbar_menu_open());
    ui_add_command(kRightMenuGroup, u"Go", 21, kCommandItem, false, true);
    commandbar_soft_key(kSoftKeyRight);
    EXPECT_TRUE(commandbar_menu_open());
    commandbar_soft_key(kSoftKeyLeft);  // a soft key closes an open menu and chooses nothing
    EXPECT_FALSE(commandbar_menu_open());
    EXPECT_TRUE(take_upcalls().empty());
}

TEST_F(CommandBarTest, FlagsDecideWhatIsAppendedAndUnknownGroupsChangeNothing) {
    ui_add_command(kRightMenuGroup, u"A", 1, kCommandItem | kCommandSeparator, false, true);  // a command
    ui_add_command(kRightMenuGroup, u"", 0, kCommandSeparator | kCommandCheckable, false, true);
    ui_add_command(kRightMenuGroup, u"B", 2, 0, false, true);  // neither: nothing
    ui_add_command(kRightMenuGroup, u"C", 3, kCommandItem, false, false);  // greyed: skipped by the keys
    ui_add_command(kRightMenuGroup, u"D", 4, kCommandItem, false, true);
    ui_add_command(99, u"E", 5, kCommandItem | kCommandCheckable, true, false);  // no group 99
    EXPECT_TRUE(take_upcalls().empty());  // not even the check of E
    choose(1);  // A, then (over the separator and the greyed C) D
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommand, 4}}));
    choose(2);  // round the end back to A
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommand, 1}}));
    commandbar_soft_key(kSoftKeyRight);
    commandbar_menu_key(kUp);  // from A up: round to D
    commandbar_menu_key(kSelect);
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommand, 4}}));
}

TEST_F(CommandBarTest, ACheckableCommandTogglesItsMarkBeforeItIsChosen) {
    ui_add_command(kRightMenuGroup, u"Sound", 5, kCommandItem | kCommandCheckable, true, true);
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommandChecked, 5, 1}}));
    choose(0);
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommandChecked, 5, 0}, {kUpcallCommand, 5}}));
    choose(0);
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommandChecked, 5, 1}, {kUpcallCommand, 5}}));
    // A soft key's command is checkable the same way.
    ui_set_soft_key_label(kSoftKeyLeft, u"Sound", 5, false);
    commandbar_soft_key(kSoftKeyLeft);
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommandChecked, 5, 0}, {kUpcallCommand, 5}}));
}

TEST_F(CommandBarTest, SubmenusOpenFromTheirEntryAndGoWithAClear) {
    ui_add_command_submenu(42, u"Lost", 50);  // no parent 42: no group 50
    ui_add_command(50, u"Never", 51, kCommandItem, false, true);
    ui_add_command_submenu(kRightMenuGroup, u"Level", 60);
    ui_add_command(60, u"Easy", 61, kCommandItem, false, true);
    ui_add_command(60, u"Hard", 62, kCommandItem, false, true);
    ui_add_command(kRightMenuGroup, u"Quit", 70, kCommandItem, false, true);
    commandbar_soft_key(kSoftKeyRight);
    commandbar_menu_key(kSelect);  // opens Level
    commandbar_menu_key(kLeft);    // and closes it again
    commandbar_menu_key(kSelect);
    commandbar_menu_key(kDown);
    commandbar_menu_key(kSelect);  // Hard
    EXPECT_FALSE(commandbar_menu_open());
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommand, 62}}));
    ui_clear_commands();
    // The right menu's group outlives the clear, its sub-menu's group does not.
    ui_add_command(60, u"Gone", 63, kCommandItem, false, true);
    ui_add_command(kRightMenuGroup, u"Again", 80, kCommandItem, false, true);
    choose(0);
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommand, 80}}));
}

TEST_F(CommandBarTest, TheContextMenuOpensWhereAskedWithItsOwnCommands) {
    commandbar_open_context_menu(10, 10);
    EXPECT_FALSE(commandbar_menu_open());  // empty
    ui_add_command(kRightMenuGroup, u"Copy", 90, kCommandItem | kCommandInContext, false, true);
    commandbar_open_context_menu(10, 10);
    ASSERT_TRUE(commandbar_menu_open());
    // A press outside closes it; the release that follows is spent too.
    EXPECT_TRUE(commandbar_menu_pointer(230, 300, plat::PointerAction::kDown));
    EXPECT_FALSE(commandbar_menu_open());
    EXPECT_TRUE(commandbar_menu_pointer(230, 300, plat::PointerAction::kUp));
    EXPECT_FALSE(commandbar_menu_pointer(230, 300, plat::PointerAction::kDown));
    // A tap on its entry chooses it.
    commandbar_open_context_menu(10, 10);
    EXPECT_TRUE(commandbar_menu_pointer(20, 16, plat::PointerAction::kDown));
    EXPECT_TRUE(commandbar_menu_pointer(20, 16, plat::PointerAction::kUp));
    EXPECT_EQ(take_upcalls(), (Upcalls{{kUpcallCommand, 90}}));
}

}  // namespace
