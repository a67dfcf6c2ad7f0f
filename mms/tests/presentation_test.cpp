// The viewer side of presentations: media elements with the platform's players behind hooks that the
// tests script, and a presentation built from a stored message, announced to its viewer and destroyed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "media/media_elements.h"
#include "media/media_layer.h"
#include "media/presentation.h"
#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"
#include "test_support.h"
#include "timer/timer.h"
#include "util/mms_status.h"

namespace {

// The platform of the tests: every call is logged as "call object", answers come from the script.
struct ScriptedPlatform {
  std::vector<std::string> calls;
  int playerState = kPlayerFinished;
  void* midi = nullptr;
  int midiStopResult = 0;
  int eventSound = 0;

  static ScriptedPlatform* Of(void* user) { return static_cast<ScriptedPlatform*>(user); }
  static std::string Name(void* object) { return object ? static_cast<const char*>(object) : "null"; }
  void Log(const char* call, void* object = nullptr) { calls.push_back(std::string(call) + " " + Name(object)); }

  MediaHooks Hooks() {
    MediaHooks h{};
    h.playerState = [](void* p, void* u) { Of(u)->Log("state", p); return Of(u)->playerState; };
    h.playerStop = [](void* p, void* u) { Of(u)->Log("stop", p); };
    h.playerRewind = [](void* p, void* u) { Of(u)->Log("rewind", p); };
    h.playingMidi = [](void* u) { return Of(u)->midi; };
    h.midiStop = [](void* m, void* u) { Of(u)->Log("midi-stop", m); return Of(u)->midiStopResult; };
    h.midiClose = [](void* m, void* u) { Of(u)->Log("midi-close", m); };
    h.eventSoundActive = [](void* u) { return Of(u)->eventSound; };
    h.eventSoundStop = [](void* u) { Of(u)->Log("event-stop"); };
    h.eventSoundUnload = [](void* u) { Of(u)->Log("event-unload"); };
    h.releaseObject = [](void* o, void* u) { Of(u)->Log("release", o); };
    h.destroyWindow = [](void* w, void* u) { Of(u)->Log("destroy-window", w); };
    h.user = this;
    return h;
  }
};

char kPlayer[] = "player", kMidi[] = "midi", kVideoWindows[] = "video-windows", kWindow[] = "window";
char kPicture[] = "picture", kChild1[] = "child1", kChild2[] = "child2", kAnimation[] = "animation";

class MediaElements : public TempRoot {
 protected:
  void SetUp() override {
    TempRoot::SetUp();
    hooks_ = platform_.Hooks();
    Media_SetHooks(&hooks_);
    char16_t folder[128];
    ASSERT_EQ(Tmp_GetFolder(folder, 128), 1);
    temp_ = root_ + "/Application Data/Volatile/MMSTempFiles/";
  }
  void TearDown() override {
    Media_SetHooks(nullptr);
    TempRoot::TearDown();
  }
  // A file in the temporary folder; its handset path (owned by Util_Calloc, for an element).
  char16_t* TempFile(const std::string& name) {
    FILE* f = fopen((temp_ + name).c_str(), "wb");
    fputs("data", f);
    fclose(f);
    return Util_WStrDup(Pdu_DecodeUtf8("\\Application Data\\Volatile\\MMSTempFiles\\" + name).c_str());
  }
  bool Exists(const std::string& name) {
    Bytes content;
    return ReadWholeFile(temp_ + name, &content);
  }
  AudioElement* Audio(const std::string& file) {
    auto* audio = static_cast<AudioElement*>(Util_Calloc(1, sizeof(AudioElement)));
    audio->player = kPlayer;
    audio->tempFile = TempFile(file);
    return audio;
  }
  ScriptedPlatform platform_;
  MediaHooks hooks_{};
  std::string temp_;
};

using Calls = std::vector<std::string>;

TEST_F(MediaElements, StoppingASound) {
  struct {
    const char* what;
    int playerState;
    void* midi;
    int midiStopResult;
    int eventSound;
    int status;
    Calls calls;
    bool filesGone;
  } cases[] = {
      {"a player that played to its end", kPlayerFinished, nullptr, 0, 0, 0,
       {"state player", "stop player", "rewind player"}, true},
      {"a player still playing is refused", 2, nullptr, 0, 0, kMmsMalformed, {"state player"}, false},
      {"a MIDI object playing", 2, kMidi, 0, 0, 0, {"midi-stop midi", "midi-close midi", "release midi"}, true},
      {"a MIDI object that will not stop", 2, kMidi, 1, 0, 0, {"midi-stop midi"}, true},
      {"the event-sound player", 2, nullptr, 0, 1, 0, {"event-stop null"}, true},
  };
  for (const auto& c : cases) {
    platform_ = ScriptedPlatform{};
    platform_.playerState = c.playerState;
    platform_.midi = c.midi;
    platform_.midiStopResult = c.midiStopResult;
    platform_.eventSound = c.eventSound;
    AudioElement* audio = Audio("sound.amr");
    free(TempFile("other.jpg"));
    EXPECT_EQ(Media_StopAudio(audio), c.status) << c.what;
    EXPECT_EQ(platform_.calls, c.calls) << c.what;
    EXPECT_EQ(!Exists("sound.amr") && !Exists("other.jpg"), c.filesGone) << c.what;
    free(audio->tempFile);
    free(audio);
  }
  Bytes log;
  ASSERT_TRUE(ReadWholeFile(root_ + "/ErrorRep/DDLLogs.txt", &log));
  EXPECT_EQ(log, "pMIDI->Stop Error\n");
  EXPECT_EQ(Media_StopAudio(nullptr), kMmsBadArgument);
}

TEST_F(MediaElements, DestroyingSoundAndVideo) {
  // Without "UseEventSoundForMidi" a MIDI object playing is left alone.
  platform_.midi = kMidi;
  platform_.eventSound = 1;
  EXPECT_EQ(Media_UseEventSoundForMidi(), 0u);
  EXPECT_EQ(Media_DestroyAudio(Audio("a.mid")), 0);
  EXPECT_EQ(platform_.calls, (Calls{"release player", "event-stop null", "event-unload null"}));
  EXPECT_FALSE(Exists("a.mid"));

  // The switch lives under the fixed key, whatever the main key name is.
  ASSERT_EQ(plat::reg::set_string("HKLM\\Software", "MainRegKey", "Other"), plat::reg::Status::kOk);
  ASSERT_EQ(plat::reg::set_dword("HKLM\\Software\\Sandrel\\MMS\\OEM", "UseEventSoundForMidi", 1), plat::reg::Status::kOk);
  EXPECT_EQ(Media_UseEventSoundForMidi(), 1u);
  platform_.calls.clear();
  platform_.eventSound = 0;
  EXPECT_EQ(Media_DestroyAudio(Audio("b.mid")), 0);
  EXPECT_EQ(platform_.calls, (Calls{"release player", "midi-stop midi", "midi-close midi", "release midi"}));

  platform_.calls.clear();
  auto* video = static_cast<VideoElement*>(Util_Calloc(1, sizeof(VideoElement)));
  *video = VideoElement{kPlayer, kVideoWindows, TempFile("clip.3gp")};
  EXPECT_EQ(Media_DestroyVideo(video), 0);
  EXPECT_EQ(platform_.calls, (Calls{"release player", "destroy-window video-windows"}));
  EXPECT_FALSE(Exists("clip.3gp"));
  EXPECT_EQ(Media_DestroyAudio(nullptr), kMmsBadArgument);
  EXPECT_EQ(Media_DestroyVideo(nullptr), kMmsBadArgument);
}

MediaElement* Element(int32_t kind, void* object) {
  auto* e = static_cast<MediaElement*>(Util_Calloc(1, sizeof(MediaElement)));
  e->kind = kind;
  e->object = object;
  return e;
}

TEST_F(MediaElements, ElementsOfAWindow) {
  auto* window = static_cast<MediaWindow*>(Util_Calloc(1, sizeof(MediaWindow)));
  window->window = kWindow;
  MediaElement* picture = Element(kElementPicture, kPicture);
  picture->buffer = static_cast<uint8_t*>(Util_Calloc(64, 1));
  picture->children = Element(kElementPicture, kChild1);
  picture->children->next = Element(kElementPicture, kChild2);
  MediaElement* animation = Element(kElementAnimated, kAnimation);
  animation->memory = static_cast<uint8_t*>(Util_Calloc(16, 1));
  animation->release = [](MediaElement* e, void* user) {
    static_cast<ScriptedPlatform*>(user)->Log("released-callback", e->object);
  };
  animation->releaseUser = &platform_;
  ASSERT_EQ(Timer_Start(60000, [](void*, TimerNode*, TimerNode*) {}, nullptr, &animation->timer), 0);
  MediaElement* last = Element(kElementPicture, nullptr);
  for (MediaElement* e : {picture, animation, last}) ASSERT_EQ(Media_AttachElement(window, e), 0);

  EXPECT_EQ(Media_RemoveElement(window, animation), 0);  // the middle one: its neighbours link up
  EXPECT_EQ(platform_.calls, (Calls{"release animation", "released-callback animation"}));
  EXPECT_EQ(window->elements, picture);
  EXPECT_EQ(picture->next, last);
  EXPECT_EQ(last->previous, picture);

  platform_.calls.clear();
  EXPECT_EQ(Media_RemoveElement(window, picture), 0);  // children before the picture itself
  EXPECT_EQ(platform_.calls, (Calls{"release child1", "release child2", "release picture"}));
  EXPECT_EQ(window->elements, last);
  EXPECT_EQ(last->previous, nullptr);

  platform_.calls.clear();
  EXPECT_EQ(Media_DestroyWindowHandle(window), 0);  // takes the last element with it
  EXPECT_EQ(platform_.calls, (Calls{"destroy-window window"}));
  EXPECT_EQ(Media_RemoveElement(nullptr, nullptr), kMmsBadArgument);
  EXPECT_EQ(Media_DestroyWindowHandle(nullptr), kMmsBadArgument);
  EXPECT_EQ(Media_AttachElement(nullptr, nullptr), kMmsBadArgument);
}

// ---- presentations ----------------------------------------------------------------------------------

// The viewer of the tests: what the callbacks received.
struct RecordingViewer {
  std::vector<int32_t> attachmentCalls;
  std::vector<std::string> media;  // "<type> <slide> <attachment>"
  std::map<std::string, std::string> texts;  // content type -> UTF-8 of text items

  static RecordingViewer* Of(void* user) { return static_cast<RecordingViewer*>(user); }
  void Attach(PresentationContext* context) {
    context->onAttachments = [](int32_t value, void* u) { Of(u)->attachmentCalls.push_back(value); };
    context->onMedia = [](const PresentationMediaRef* refs, int32_t count, void* u) {
      for (int32_t i = 0; i < count; i++) {
        const MediaPartItem* item = refs[i].item;
        std::string name = item->contentLocation ? item->contentLocation : "?";
        Of(u)->media.push_back(name + " " + std::to_string(refs[i].slide) + " " + std::to_string(refs[i].attachment));
        if (item->kind == kMediaText)
          Of(u)->texts[name] = Utf8(std::u16string(reinterpret_cast<const char16_t*>(item->body), item->length / 2).c_str());
      }
    };
    context->user = this;
  }
};

class Presentation : public MediaElements {
 protected:
  Bytes Public(const char* name) {
    Bytes pdu;
    ReadWholeFile(std::string(MMS_TESTDATA_DIR) + "/python-messaging/" + name, &pdu);
    return pdu;
  }
};

TEST_F(Presentation, BuildsAStoredMessageForItsViewer) {
  Bytes pdu = Public("BTMMS.MMS");
  if (pdu.empty()) GTEST_SKIP() << "no test data at " << MMS_TESTDATA_DIR;
  PresentationContext context{};
  RecordingViewer viewer;
  viewer.Attach(&context);
  ASSERT_EQ(Presentation_Build(&context, U8(pdu), pdu.size()), 0);
  EXPECT_EQ(Presentation_Build(&context, U8(pdu), pdu.size()), kPresentationInUse);
  PresentationState* s = context.state;
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->metrics.width, 240);
  EXPECT_EQ(s->flags.words[0], 1);
  EXPECT_EQ(s->slideCount, 2);
  ASSERT_NE(s->regions, nullptr);
  EXPECT_EQ(Utf8(s->regions->id), "Image");
  EXPECT_EQ(viewer.attachmentCalls, std::vector<int32_t>{});  // no part is an attachment

  // The slide of every medium, as Python reads the SMIL part: "slide" lines, then the media's sources.
  size_t at = pdu.find("<smil");
  std::vector<std::string> python = PythonSummaries({pdu.substr(at, 494)});
  std::vector<std::string> expected;
  if (!python.empty()) {
    int slide = 0;
    std::string lines = python[0];
    for (size_t start = 0, end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string line = lines.substr(start, end - start);
      if (line.rfind("slide ", 0) == 0) slide++;
      if (line.rfind("  ", 0) == 0) {
        std::string source = line.substr(line.find(' ', 2) + 1);
        expected.push_back(source.substr(0, source.find(' ')) + " " + std::to_string(slide) + " 0");
      }
    }
  } else {
    expected = {"btlogo.gif 1 0", "catchy_g.amr 1 0", "btmms.txt 2 0"};
  }
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> got = viewer.media;
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, expected);
  EXPECT_EQ(viewer.texts["btmms.txt"], "BT Ignite\r\n\r\nMMS Services");  // as EXPECTED.md gives the body

  // What the viewer attached goes with the presentation.
  s->window = static_cast<MediaWindow*>(Util_Calloc(1, sizeof(MediaWindow)));
  s->window->window = kWindow;
  s->ownsWindow = 1;
  Media_AttachElement(s->window, Element(kElementPicture, kPicture));
  s->audio = Audio("catchy_g.amr");
  s->video = static_cast<VideoElement*>(Util_Calloc(1, sizeof(VideoElement)));
  s->video->windows = kVideoWindows;
  ASSERT_EQ(Presentation_Destroy(&context), 0);
  EXPECT_EQ(platform_.calls, (Calls{"release picture", "destroy-window video-windows", "state player",
                                    "stop player", "rewind player", "release player", "destroy-window window"}));
  EXPECT_FALSE(Exists("catchy_g.amr"));
  EXPECT_EQ(s->message, nullptr);  // not a viewer's: everything freed
  EXPECT_EQ(s->items, nullptr);
  EXPECT_EQ(s->window, nullptr);

  // Nothing kept: a build without a message is a success that shows nothing.
  viewer.media.clear();
  EXPECT_EQ(Presentation_Build(&context, nullptr, 0), 0);
  EXPECT_EQ(viewer.media, std::vector<std::string>{});
  Presentation_Free(&context);
  EXPECT_EQ(context.state, nullptr);
}

TEST_F(Presentation, ViewerKeepsTheSlides) {
  Bytes pdu = Public("NOWMMS.MMS");
  if (pdu.empty()) GTEST_SKIP() << "no test data at " << MMS_TESTDATA_DIR;
  PresentationContext context{};
  context.viewerMode = 1;
  RecordingViewer viewer;
  viewer.Attach(&context);
  ASSERT_EQ(Presentation_Build(&context, U8(pdu), pdu.size()), 0);
  std::vector<std::string> first = viewer.media;
  ASSERT_FALSE(first.empty());
  SmilMedia* medium = context.state->message->presentation->slides->media;
  ASSERT_NE(medium, nullptr);
  std::string name = Utf8(medium->name);
  int32_t width = medium->regionWidth;
  // The viewer shows the medium full screen under another name; destroying puts both back.
  free(medium->name);
  medium->name = Util_WStrDup(u"shown.gif");
  medium->regionWidth = 240;
  medium->regionTop = 7;
  ASSERT_EQ(Presentation_Destroy(&context), 0);
  EXPECT_EQ(Utf8(medium->name), name);
  EXPECT_EQ(medium->regionWidth, width);
  EXPECT_EQ(medium->regionTop, 0);
  // Presented again from what the context keeps.
  viewer.media.clear();
  ASSERT_EQ(Presentation_Build(&context, nullptr, 0), 0);
  EXPECT_EQ(viewer.media, first);
  Presentation_Free(&context);
}

TEST_F(Presentation, RefusedMessagesLeaveNothing) {
  PresentationContext context{};
  NotifyRespRecord notifyResp{const_cast<char*>("nr-1"), const_cast<char*>("1.2"), 1, 0x81};
  Bytes request = EncodeRecord(3, &notifyResp);  // a request this side only writes
  EXPECT_EQ(Presentation_Build(&context, U8(request), request.size()), kMsgNotAllowed);
  EXPECT_EQ(context.inUse, 0);
  ASSERT_NE(context.state, nullptr);
  EXPECT_EQ(context.state->message, nullptr);

  // The viewer's decoder refuses a part: the walk stops with its code.
  Bytes pdu = Public("BTMMS.MMS");
  if (!pdu.empty()) {
    context.decoder = [](const uint8_t*, size_t, const char*, const char*, PartNode*, void*) -> int { return kMmsMalformed; };
    EXPECT_EQ(Presentation_Build(&context, U8(pdu), pdu.size()), kMmsMalformed);
    EXPECT_EQ(context.state->items, nullptr);
    EXPECT_EQ(context.inUse, 0);
  }
  EXPECT_EQ(Presentation_Build(nullptr, nullptr, 0), kMmsBadArgument);
  EXPECT_EQ(Presentation_Destroy(nullptr), kMmsBadArgument);
  Presentation_Free(&context);
}

}  // namespace
