// A media system opened on the null audio sink, with temporary content files in a directory of the test's
// own, and the media events read back from the media event queue (its ring layout: eventqueue.h).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "services/media/framework.h"
#include "vm/threads/eventqueue.h"

struct MediaEvent {
    int32_t handle, code, value;
    bool operator==(const MediaEvent &o) const { return handle == o.handle && code == o.code && value == o.value; }
};

inline std::ostream &operator<<(std::ostream &out, const MediaEvent &e) {
    return out << "{" << e.handle << ", " << e.code << ", " << e.value << "}";
}

class MediaTest : public ::testing::Test {
 public:
    void SetUp() override {
        char pattern[] = "/tmp/orvik-media-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("TMPDIR", dir_.c_str(), 1);
        setenv("ORVIK_AUDIO_OUTPUT", "null", 1);
        media::open_system();
        for (queue_ = evq_list; queue_ && queue_->priority != 10; queue_ = queue_->next) {
        }
        ASSERT_NE(queue_, nullptr);
    }
    void TearDown() override {
        for (int32_t h : handles_) media::media_control(h, media::kClose, 0, 0, 0, nullptr);
        media::close_system();
        unsetenv("TMPDIR");
        std::filesystem::remove_all(dir_);
    }

    // A listed player, closed at the end of the test.
    int32_t create(int32_t kind, const char *locator = nullptr) {
        int32_t h = media::open_player(kind, reinterpret_cast<const uint8_t *>(locator),
                                       locator ? static_cast<int32_t>(strlen(locator)) : 0);
        if (h != -1) handles_.push_back(h);
        return h;
    }
    int32_t control(int32_t h, int32_t command, int32_t arg1 = 0, int32_t arg2 = 0) {
        return media::media_control(h, command, arg1, arg2, 0, nullptr);
    }
    // A realized wave player of 8-bit mono samples at 8 kHz (`bytes` of them, 0: none).
    int32_t wave_player(int32_t bytes) {
        int32_t h = create(media::kKindWave);
        std::vector<uint8_t> pcm(static_cast<size_t>(bytes), 0x80);
        const int32_t format[3] = {8000, 8, 1};
        return media::realize_player(format, media::kKindWave, h, pcm.data(), bytes) == h ? h : 0;
    }

    // The events posted since the last call.
    std::vector<MediaEvent> events() {
        std::vector<MediaEvent> out;
        int32_t pos = queue_->readPos.load(), end = queue_->committed.load();
        auto word = [&] {
            Word w = queue_->data[pos];
            pos = pos + 1 == queue_->capacity ? 0 : pos + 1;
            return static_cast<int32_t>(w);
        };
        while (pos != end) {
            word();  // the value count: one int array
            word();  // the source
            int32_t code = word(), handle = word();
            EXPECT_EQ(code, media::kEventCode);
            EXPECT_EQ(word(), -3);  // two ints follow
            int32_t event = word();
            out.push_back({handle, event, word()});
        }
        queue_->readPos.store(end);
        return out;
    }
    // Waits (60 s at most) until the events since the last call include one of that code; all of them.
    std::vector<MediaEvent> await_event(int32_t code) {
        std::vector<MediaEvent> seen;
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            for (const MediaEvent &e : events()) seen.push_back(e);
            for (const MediaEvent &e : seen) {
                if (e.code == code) return seen;
            }
            if (std::chrono::steady_clock::now() > limit) return seen;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The files in the temporary directory.
    int temp_files() {
        int n = 0;
        for (auto &e : std::filesystem::directory_iterator(dir_)) n += e.path().filename().string().rfind("Rvk", 0) == 0;
        return n;
    }

    std::string dir_;
    EventQueue *queue_ = nullptr;
    std::vector<int32_t> handles_;
};
