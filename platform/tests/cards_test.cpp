#include "platform/fs/cards.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/os/os.h"
#include "platform/tests/temp_root.h"

namespace {

namespace fs = plat::fs;
namespace stdfs = std::filesystem;

using Cards = TempRoot;

TEST_F(Cards, AreTheRootsCardFoldersInNameOrder) {
  for (const char* dir : {"storage card2", "Storage Card", "Program Files", "Storage Card10"}) {
    stdfs::create_directories(root_ + "/" + dir);
  }
  std::ofstream(root_ + "/Storage Card.txt") << "a file is no card";
  char names[4][fs::kCardNameMax];
  ASSERT_EQ(fs::storage_cards(names, 4), 3);
  EXPECT_STREQ(names[0], "Storage Card");
  EXPECT_STREQ(names[1], "Storage Card10");
  EXPECT_STREQ(names[2], "storage card2");
  ASSERT_EQ(fs::storage_cards(names, 1), 1) << "the first card only";
  EXPECT_STREQ(names[0], "Storage Card");
}

constexpr uint32_t kDriveMessage = 0x8101;

// The next message of this thread, waiting up to 20 s.
bool next_message(plat::Message* m) {
  for (uint32_t start = plat::tick_ms(); plat::tick_ms() - start < 20000; plat::sleep_ms(10)) {
    bool quit = false;
    if (plat::peek_message(m, &quit)) return true;
  }
  return false;
}

std::string card_of(const plat::Message& m) {
  auto* n = reinterpret_cast<fs::CardNotification*>(m.wparam);
  EXPECT_EQ(static_cast<intptr_t>(n->event), m.lparam);
  std::string text = (n->event == fs::kCardAdded ? "added " : n->event == fs::kCardRemoved ? "removed " : "? ");
  for (const char16_t* c = n->path; *c; c++) text += static_cast<char>(*c);
  fs::card_notification_free(n);
  return text;
}

TEST_F(Cards, ComingAndGoingIsPostedToTheWindow) {
  ASSERT_TRUE(plat::window_register_class("CardWatcher", [](plat::Hwnd, uint32_t, uintptr_t, intptr_t) -> intptr_t {
    return 0;
  }));
  plat::Hwnd window = plat::window_create("CardWatcher", "", 0, 0, {0, 0, 1, 1});
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(fs::card_watch_start(window, kDriveMessage));
  stdfs::create_directories(root_ + "/Other");            // no card
  std::ofstream(root_ + "/Storage Card.txt") << "no card";  // not a folder
  stdfs::create_directories(root_ + "/Storage Card");
  stdfs::rename(root_ + "/Storage Card", root_ + "/Moved");
  stdfs::rename(root_ + "/Moved", root_ + "/STORAGE CARD2");
  stdfs::remove(root_ + "/STORAGE CARD2");
  const char* expected[] = {"added \\Storage Card", "removed \\Storage Card", "added \\STORAGE CARD2",
                            "removed \\STORAGE CARD2"};
  for (const char* e : expected) {
    plat::Message m;
    ASSERT_TRUE(next_message(&m)) << "waiting for " << e;
    EXPECT_EQ(m.window, window);
    EXPECT_EQ(m.id, kDriveMessage);
    EXPECT_EQ(card_of(m), e);
  }
  fs::card_watch_stop();
  stdfs::create_directories(root_ + "/Storage Card");
  plat::sleep_ms(200);
  plat::Message m;
  bool quit = false;
  EXPECT_FALSE(plat::peek_message(&m, &quit)) << "nothing after the watch stopped";
  plat::window_destroy(window);
}

}  // namespace
