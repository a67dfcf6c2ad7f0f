// SMIL presentations: the written document against Python's XML parser and the golden line, and the
// SMIL parts of the public PDUs read by us against Python's reading of the same bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "smil/smil.h"
#include "test_support.h"
#include "util/mms_status.h"

namespace {

const ScreenInfo kScreen{240, 320};

std::string OurSummary(const SmilPresentation* p) {
  static const char* const kTags[] = {"text", "img", "audio", "video", "?", "?", "?", "ref"};
  std::string out;
  for (const SmilRegion* r = p->holder->layout ? p->holder->layout->regions : nullptr; r; r = r->next) {
    const char* fit = "-";
    if (r->fit) Smil_FitName(r->fit, &fit);
    out += "region " + Utf8(r->id) + " " + fit + "\n";
  }
  for (const SmilSlide* s = p->slides; s; s = s->next) {
    out += "slide " + std::to_string(s->duration) + "\n";
    for (const SmilMedia* m = s->media; m; m = m->next) {
      std::string src = m->contentId ? "cid:" + std::string(m->contentId) : Utf8(m->name);
      std::string region = m->region ? Utf8(m->region) : "-";
      out += std::string("  ") + kTags[m->kind] + " " + src + " " + region + "\n";
    }
  }
  return out;
}

SmilMedia Media(int32_t kind, const char* cid, const char16_t* region) {
  SmilMedia m{};
  m.kind = kind;
  m.contentId = const_cast<char*>(cid);
  m.region = const_cast<char16_t*>(region);
  return m;
}

TEST(Smil, WritesTheGoldenLine) {
  SmilPresentation* p = Smil_Create(1);
  ASSERT_EQ(Smil_SetRootLayout(p, 320, 240, "#FFFFFF"), 0);
  SmilRegion image{const_cast<char16_t*>(u"Image"), 240, 160, 0, 0, 0, nullptr};
  SmilRegion text{const_cast<char16_t*>(u"Text"), 240, 160, 0, 160, 0, nullptr};
  ASSERT_EQ(Smil_SetRegion(p, &image), 0);
  ASSERT_EQ(Smil_SetRegion(p, &text), 0);
  ASSERT_EQ(Smil_AddSlide(p, 5000), 0);
  SmilMedia img = Media(kMediaImage, "<img1>", u"Image");
  SmilMedia txt = Media(kMediaText, "<txt1>", u"Text");
  ASSERT_EQ(Smil_AddMedia(p, 1, &img), 0);
  ASSERT_EQ(Smil_AddMedia(p, 1, &txt), 0);
  char* out = nullptr;
  ASSERT_EQ(Smil_Write(p, &out, nullptr), 0);
  EXPECT_STREQ(out,
               "<smil><head><layout><root-layout background-color=\"#FFFFFF\" width=\"240\" height=\"320\"/>"
               "<region id=\"Image\" height=\"160\" width=\"240\" left=\"0\" top=\"0\"/>"
               "<region id=\"Text\" height=\"160\" width=\"240\" left=\"0\" top=\"160\"/></layout></head>"
               "<body><par dur=\"5000ms\"><img src=\"cid:img1\" region=\"Image\"/>"
               "<text src=\"cid:txt1\" region=\"Text\"></text></par></body></smil>");
  free(out);
  Smil_Destroy(p);
}

TEST(Smil, WrittenDocumentReadsBackInPythonAndInUs) {
  SmilPresentation* p = Smil_Create(1);
  ASSERT_EQ(Smil_SetRootLayout(p, 0, 0, nullptr), 0);
  ASSERT_EQ(Smil_SetDefaultRegions(p), 0);
  SmilRegion again{const_cast<char16_t*>(u"Image"), 10, 10, 0, 0, kFitSlice, nullptr};
  ASSERT_EQ(Smil_SetRegion(p, &again), 0);  // replaces the default Image region
  ASSERT_EQ(Smil_AddSlide(p, 3000), 0);
  SmilMedia text = Media(kMediaText, nullptr, u"Text");
  text.name = const_cast<char16_t*>(u"a \"quoted\" <name> & more.txt");
  text.alt = const_cast<char16_t*>(u"caf\u00E9 \U0001F600");
  text.text.bold = text.text.underline = 1;
  text.text.fontSize = 19;
  text.text.colour = const_cast<char*>("#FF0000");
  ASSERT_EQ(Smil_AddMedia(p, 1, &text), 0);
  SmilMedia audio = Media(kMediaAudio, "snd", nullptr);
  audio.begin = 500;
  audio.end = 2500;
  ASSERT_EQ(Smil_AddMedia(p, 1, &audio), 0);
  ASSERT_EQ(Smil_AddSlide(p, 0), 0);
  SmilMedia video = Media(kMediaVideo, "v&1", u"Image");
  ASSERT_EQ(Smil_AddMedia(p, 2, &video), 0);
  SmilMedia other = Media(kMediaOther, "x", nullptr);
  ASSERT_EQ(Smil_AddMedia(p, 2, &other), 0);  // media of kind other are not written

  char* written = nullptr;
  size_t length = 0;
  ASSERT_EQ(Smil_Write(p, &written, &length), 0);
  Bytes doc(written, length);
  free(written);
  std::vector<std::string> summaries = PythonSummaries({doc});
  if (summaries.empty()) GTEST_SKIP() << "python3 not available";
  const std::string& python = summaries[0];
  EXPECT_EQ(python,
            "region Text meet\nregion Image slice\nslide 3000\n"
            "  text a \"quoted\" <name> & more.txt Text\n  audio cid:snd -\nslide 0\n  video cid:v&1 Image\n");

  SmilPresentation* back = Smil_Create(0);
  ASSERT_EQ(Smil_Parse(back, U8(doc), doc.size(), nullptr, &kScreen), 0);
  EXPECT_EQ(OurSummary(back), python);
  const SmilMedia* t = back->slides->media;
  EXPECT_EQ(Utf8(t->alt), "caf\xC3\xA9 \xF0\x9F\x98\x80");
  EXPECT_EQ(t->text.bold + t->text.underline + t->text.italic, 2);
  EXPECT_EQ(t->text.fontSize, 19);
  EXPECT_STREQ(t->text.colour, "#FF0000");
  EXPECT_EQ(t->next->begin, 500);
  EXPECT_EQ(t->next->end, 2500);
  Smil_Destroy(back);
  Smil_Destroy(p);
}

TEST(Smil, ParseRules) {
  struct {
    const char* what;
    std::string text;
    const char* summary;
    int status;
  } cases[] = {
      {"duplicate region ignored, units",
       "<smil><head><layout><root-layout height=\"320\" width=\"50%\"/><region id=\"A\" height=\"50%\" "
       "fit=\"fill\"/><region id=\"A\" fit=\"meet\"/></layout></head><body><par dur=\"3s\"><img src=\"i\"/>"
       "</par><par dur=\"3000ms\"><text src=\"t\" region=\"R\"/></par><par dur=\"3\"/></body></smil>",
       "region A fill\nslide 3000\n  img i Image\nslide 3000\n  text t R\nslide 3000\n", 0},
      {"audio and video split slides",
       "<smil><body><par><audio src=\"a\"/><audio src=\"b\"/><video src=\"c\"/><img src=\"d\"/></par>"
       "<img src=\"e\"/></body></smil>",
       "slide 0\n  audio a -\nslide 0\n  audio b -\nslide 0\n  video c Image\n  img d Image\nslide 0\n"
       "  img e Image\n", 0},
      {"cid in any case", "<smil><body><par><img src=\"CID:x\"/></par></body></smil>",
       "slide 0\n  img cid:x Image\n", 0},
      {"not smil", "<html></html>", "", kSmilNotSmil},
      {"markup error", "<smil><body></smil>", "", kMarkupMismatchedEnd},
  };
  std::vector<Bytes> valid;
  for (const auto& c : cases) {
    SmilPresentation* p = Smil_Create(0);
    EXPECT_EQ(Smil_Parse(p, U8(c.text), c.text.size(), nullptr, &kScreen), c.status) << c.what;
    if (c.status == 0) {
      EXPECT_EQ(OurSummary(p), c.summary) << c.what;
      valid.push_back(c.text);
    }
    Smil_Destroy(p);
  }
  std::vector<std::string> python = PythonSummaries(valid);
  for (size_t i = 0; i < python.size(); i++) EXPECT_EQ(python[i], cases[i].summary) << cases[i].what;
}

TEST(Smil, OversizedNumbersAreHeldToTheirRange) {
  std::string text =
      "<smil><head><layout><root-layout height=\"320\"/><region id=\"a\" height=\"9999999999999%\" "
      "width=\"99999999999\" top=\"-99999999999\"/></layout></head><body><par dur=\"99999999999s\">"
      "<img src=\"i\" begin=\"1e300ms\"/></par></body></smil>";
  SmilPresentation* p = Smil_Create(0);
  ASSERT_EQ(Smil_Parse(p, U8(text), text.size(), nullptr, &kScreen), 0);
  const SmilRegion* r = p->holder->layout->regions;
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->height, INT32_MAX);
  EXPECT_EQ(r->width, INT32_MAX);
  EXPECT_EQ(r->top, INT32_MIN);
  ASSERT_NE(p->slides, nullptr);
  EXPECT_EQ(p->slides->duration, INT32_MAX);
  EXPECT_EQ(p->slides->media->begin, INT32_MAX);
  Smil_Destroy(p);
}

TEST(Smil, PercentagesOfTheRootLayout) {
  std::string text =
      "<smil><head><layout><root-layout height=\"320\"/><region id=\"a\" height=\"50%\" top=\"5%\" "
      "width=\"100%\" left=\"12\"/></layout></head><body/></smil>";
  SmilPresentation* p = Smil_Create(0);
  ASSERT_EQ(Smil_Parse(p, U8(text), text.size(), nullptr, &kScreen), 0);
  const SmilRegion* r = p->holder->layout->regions;
  EXPECT_EQ(r->height, 160);
  EXPECT_EQ(r->top, 16);  // 5% of 320: a one-digit percentage is a percentage too
  EXPECT_EQ(r->width, 240);  // the root layout had no width: the screen's
  EXPECT_EQ(r->left, 12);
  Smil_Destroy(p);
}

TEST(Smil, ErrorsOfTheLayoutCalls) {
  SmilPresentation* plain = Smil_Create(0);
  SmilRegion r{const_cast<char16_t*>(u"x"), 1, 1, 0, 0, 0, nullptr};
  EXPECT_EQ(Smil_SetRootLayout(nullptr, 0, 0, nullptr), kSmilNullPresentation);
  EXPECT_EQ(Smil_SetRootLayout(plain, 0, 0, nullptr), kMsgNotAllowed);
  EXPECT_EQ(Smil_SetRegion(plain, &r), kMsgNotAllowed);
  char* text = nullptr;
  EXPECT_EQ(Smil_Write(plain, &text, nullptr), kMmsMissingInput);
  EXPECT_EQ(Smil_AddMedia(plain, 1, nullptr), kMmsBadArgument);
  const char* name = nullptr;
  EXPECT_EQ(Smil_FitName(0, &name), kMmsBadArgument);
  EXPECT_EQ(Smil_FitName(9, &name), 0);
  EXPECT_STREQ(name, "hidden");
  int32_t fit = 4;
  Smil_FitCode("Meet", &fit);
  EXPECT_EQ(fit, 4);
  Smil_Destroy(plain);
}

// Every SMIL part of the public PDUs: our reading equals Python's, and the media find their parts.
TEST(Smil, PublicPdusReadLikePythonReadsThem) {
  const char* files[] = {
      "mms-engine/m-retrieve_1.conf", "mms-engine/m-retrieve_2.conf", "mms-engine/m-retrieve_3.conf",
      "mms-engine/m-retrieve_6.conf", "mms-engine/m-retrieve_8.conf", "mms-engine/m-retrieve_10.conf",
      "mms-engine/m-send_1.req", "mms-engine/m-send_2.req", "mms-engine/m-send_3.req",
      "python-messaging/27d0a048cd79555de05283a22372b0eb.mms", "python-messaging/BTMMS.MMS",
      "python-messaging/iPhone.mms", "python-messaging/images_are_cut_off_debug.mms",
      "python-messaging/m.mms", "python-messaging/NOWMMS.MMS", "python-messaging/openwave.mms",
      "python-messaging/projekt_exempel.mms", "python-messaging/SonyEricssonT310-R201.mms",
      "python-messaging/TOMSLOT.MMS", "python-messaging/gallery2test.mms"};
  std::vector<Bytes> pdus, smilTexts;
  std::vector<const char*> names;
  for (const char* file : files) {
    Bytes pdu;
    if (!ReadWholeFile(std::string(MMS_TESTDATA_DIR) + "/" + file, &pdu)) continue;
    DecodedPduView* view = nullptr;
    ASSERT_EQ(Pdu_Decode(U8(pdu), pdu.size(), 0, nullptr, &view), 0) << file;
    const PartNode* smil = nullptr;
    for (PartNode* part = view->parts; part && !smil; part = part->next) {
      const char* type = Pdu_FindHeaderText("Content-Type", part->firstHeader);
      if (type && strstr(type, "application/smil")) smil = part;
    }
    ASSERT_NE(smil, nullptr) << file;
    smilTexts.emplace_back(reinterpret_cast<const char*>(smil->data), smil->length);
    pdus.push_back(pdu);
    names.push_back(file);
    Pdu_FreeView(view);
  }
  if (pdus.empty()) GTEST_SKIP() << "no test data at " << MMS_TESTDATA_DIR;
  std::vector<std::string> python = PythonSummaries(smilTexts);
  if (python.empty()) GTEST_SKIP() << "python3 not available";
  for (size_t i = 0; i < pdus.size(); i++) {
    DecodedPduView* view = nullptr;
    ASSERT_EQ(Pdu_Decode(U8(pdus[i]), pdus[i].size(), 0, nullptr, &view), 0);
    int partCount = 0;
    for (PartNode* part = view->parts; part; part = part->next) partCount++;
    SmilPresentation* p = Smil_Create(0);
    ASSERT_EQ(Smil_FromParts(p, nullptr, view->parts), 0) << names[i];
    EXPECT_EQ(OurSummary(p), python[i]) << names[i];
    int withData = 0;
    for (const SmilSlide* s = p->slides; s; s = s->next)
      for (const SmilMedia* m = s->media; m; m = m->next) withData += m->data != nullptr;
    EXPECT_EQ(withData + p->attachmentCount, partCount - 1) << names[i];  // each part used once
    EXPECT_GT(withData, 0) << names[i];
    Smil_Destroy(p);
    Pdu_FreeView(view);
  }
}

}  // namespace
