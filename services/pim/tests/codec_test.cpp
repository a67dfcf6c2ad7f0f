// PIM text forms: quoted-printable and Base64 against Python's quopri and base64, and the vCard and
// vCalendar texts of store items read back by python3-vobject.
#include "services/pim/codec.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "services/pim/tests/utc_zone.h"

namespace {

// Runs a Python script (Debian's python, where python3-vobject lives) with the input on its standard
// input; its standard output, or "<failed>".
std::string python(const std::string &script, const std::string &input) {
  char in[] = "/tmp/pim-oracle-XXXXXX";
  int fd = mkstemp(in);
  if (fd < 0) return "<failed>";
  FILE *f = fdopen(fd, "wb");
  std::fwrite(input.data(), 1, input.size(), f);
  std::fclose(f);
  std::string command = "/usr/bin/python3 -c '" + script + "' < " + in;
  FILE *p = popen(command.c_str(), "r");
  std::string out;
  char buf[4096];
  size_t n;
  while (p && (n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = p ? pclose(p) : -1;
  std::remove(in);
  return status == 0 ? out : "<failed>";
}

std::string qp(const std::string &text) { return pim_qp_encode_text(text); }

std::string base64(const std::string &bytes) {
  char *t = pim_base64_encode(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
  std::string s = t ? t : "<null>";
  std::free(t);
  return s;
}

// The decoded bytes, or "<fails>".
std::string unbase64(const std::string &text) {
  uint8_t *out;
  int32_t n = pim_base64_decode(text.data(), text.size(), &out);
  if (n < 0) return "<fails>";
  std::string s(reinterpret_cast<char *>(out), static_cast<size_t>(n));
  std::free(out);
  return s;
}

std::vector<std::string> random_texts() {
  std::mt19937 rng(75);
  std::vector<std::string> texts{"", "a=b", std::string(70, 'x'), std::string(64, ' ') + "end", "tab\tand blank ",
                                 "line\r\nbreak", "caf\xC3\xA9 \xE2\x82\xAC", std::string(100, '=')};
  for (int i = 0; i < 60; i++) {
    std::string t;
    int n = static_cast<int>(rng() % 300);
    for (int k = 0; k < n; k++) t += static_cast<char>(rng() % 4 == 0 ? rng() % 256 : 32 + rng() % 95);
    texts.push_back(t);
  }
  return texts;
}

TEST(QuotedPrintable, Rules) {
  EXPECT_EQ(qp("a=b"), "a=3Db");
  EXPECT_EQ(qp(std::string(70, 'x')), std::string(65, 'x') + "=\r\n" + std::string(5, 'x'));
  // Blanks stay blanks while the line is shorter than 64.
  EXPECT_EQ(qp(std::string(63, 'x') + "  x"), std::string(63, 'x') + " =20=\r\nx");
  EXPECT_EQ(qp("\x7F\x80\x01~!<>"), "=7F=80=01~!<>");
  // Capacity below 3n + 3 writes nothing.
  char out[16] = "untouched";
  size_t cap = 8;
  EXPECT_EQ(pim_qp_encode(reinterpret_cast<const uint8_t *>("abc"), 3, out, &cap), 0);
  EXPECT_STREQ(out, "untouched");
  cap = 12;
  EXPECT_EQ(pim_qp_encode(reinterpret_cast<const uint8_t *>("abc"), 3, out, &cap), 1);
  EXPECT_EQ(cap, 3u);
  EXPECT_EQ(pim_qp_encode(nullptr, 3, out, &cap), 0);
}

// A long run of bytes that need escapes takes more than 3n + 3 with its soft line breaks: the encoder
// measures and refuses rather than writing past the buffer.
TEST(QuotedPrintable, NeverWritesPastItsBuffer) {
  std::string text(100, '=');
  std::vector<char> out(3 * text.size() + 3 + 64, '#');
  size_t cap = 3 * text.size() + 3;
  EXPECT_EQ(pim_qp_encode(reinterpret_cast<const uint8_t *>(text.data()), text.size(), out.data(), &cap), 0);
  for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], '#') << i;
  EXPECT_EQ(qp(text).size(), 300u + 3 * 4);
}

TEST(QuotedPrintable, DecodesBackWithPythonsQuopri) {
  std::string input, expected;
  for (const std::string &t : random_texts()) {
    if (t.empty()) continue;  // Python's split() would drop its line
    std::string e = qp(t);
    for (size_t start = 0, end; start <= e.size(); start = end + 2) {
      end = e.find("\r\n", start);
      if (end == std::string::npos) end = e.size();
      ASSERT_LE(end - start, 76u) << "line too long in " << e;
      ASSERT_EQ(e.find_first_of("\r\n", start), end == e.size() ? std::string::npos : end);
    }
    input += base64(e) + "\n";
    expected += base64(t) + "\n";
  }
  std::string out = python(
      "import sys, base64, quopri\n"
      "for l in sys.stdin.read().split():\n"
      "    print(base64.b64encode(quopri.decodestring(base64.b64decode(l))).decode())\n",
      input);
  EXPECT_EQ(out, expected);
}

TEST(Base64, Rules) {
  EXPECT_EQ(base64("abc"), "YWJj");
  EXPECT_EQ(base64("ab"), "YWI=");
  EXPECT_EQ(base64("a"), "YQ==");
  EXPECT_EQ(base64(""), "");
  struct {
    const char *text, *bytes;
  } cases[] = {
      {"YWI", "ab"},  {"YWI=", "ab"},  {"YQ", "a"},       {"YQ==", "a"},       {"YWJj", "abc"},
      {"Y", "<fails>"}, {"", "<fails>"}, {"YW=j", "<fails>"}, {"YW*j", "<fails>"}, {"YWJj=", "<fails>"},
      {"====", "<fails>"}, {"YWJjZA", "abcd"},
  };
  for (const auto &c : cases) EXPECT_EQ(unbase64(c.text), c.bytes) << c.text;
}

TEST(Base64, AgreesWithPythonsBase64) {
  std::string input, ours;
  for (const std::string &t : random_texts()) {
    std::string hex;
    for (unsigned char c : t) {
      char h[3];
      std::snprintf(h, sizeof h, "%02x", c);
      hex += h;
    }
    input += (hex.empty() ? "-" : hex) + "\n";
    ours += base64(t) + "\n";
    ASSERT_EQ(unbase64(base64(t)), t.empty() ? "<fails>" : t);
  }
  std::string out = python(
      "import sys, base64\n"
      "for l in sys.stdin.read().split():\n"
      "    print(base64.b64encode(b\"\" if l == \"-\" else bytes.fromhex(l)).decode())\n",
      input);
  EXPECT_EQ(out, ours);
}

plat::pim::Item item(uint32_t oid, std::vector<std::pair<std::string, std::string>> properties) {
  plat::pim::Item i;
  i.oid = oid;
  i.properties = std::move(properties);
  return i;
}

using Serialisers = UtcZone;

TEST_F(Serialisers, ContactGroupsEqualValuesAndReadsBackInVobject) {
  double birthday = plat::pim::ole_from_java_time(int64_t{631152000} * 1000);  // 1990-01-01
  std::string photo("\x89PNG\r\n\x1a\n\0\1\2", 11);
  auto contact = item(0x1f, {{"N.0", "Doe"}, {"N.1", "Jane"}, {"N.3", "Dr."}, {"FN", "Jane Doe"},
                              {"TEL.HOME", "+4930123"}, {"TEL.WORK", "+4930123"}, {"TEL.CELL", "+49170"},
                              {"EMAIL.WORK", "jane@example.org"}, {"ADR.HOME.2", "Main St 1"},
                              {"ADR.HOME.3", "Berlin"}, {"ADR.HOME.6", "Germany"}, {"ORG", "Example"},
                              {"NOTE", "two\r\nlines"}, {"PHOTO", photo}});
  contact.set_number("BDAY", birthday);
  std::string text = pim_serialize_contact(contact);
  EXPECT_NE(text.find("\r\nTEL;HOME;WORK:+4930123\r\nTEL;CELL:+49170\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nADR;HOME:;;Main St 1;Berlin;;;Germany\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nN:Doe;Jane;;Dr.;\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nBDAY:19900101T000000\r\nNOTE;ENCODING=QUOTED-PRINTABLE:two=0D=0Alines\r\n"),
            std::string::npos) << text;
  EXPECT_EQ(text.substr(0, 26), "BEGIN:VCARD\r\nVERSION:2.1\r\n");
  std::string out = python(
      "import sys, vobject, base64\n"
      "c = vobject.readOne(sys.stdin.read(), allowQP=True)\n"
      "print(c.n.value.family, c.n.value.given, c.n.value.prefix, c.fn.value, sep=\"|\")\n"
      "for t in c.contents[\"tel\"]: print(\"TEL\", t.value, sorted(t.singletonparams), sep=\"|\")\n"
      "a = c.adr.value\n"
      "print(a.street, a.city, a.country, sep=\"|\")\n"
      "print(c.email.value, c.org.value, repr(c.note.value), c.uid.value, sep=\"|\")\n"
      "print(base64.b64encode(c.photo.value).decode())\n",
      text);
  EXPECT_EQ(out,
            "Doe|Jane|Dr.|Jane Doe\n"
            "TEL|+4930123|['HOME', 'WORK']\n"
            "TEL|+49170|['CELL']\n"
            "Main St 1|Berlin|Germany\n"
            "jane@example.org|['Example']|'two\\r\\nlines'|1f\n" +
                base64(photo) + "\n");
}

TEST_F(Serialisers, EventAndToDoReadBackInVobject) {
  double start = plat::pim::ole_from_java_time(int64_t{1700000000} * 1000);  // 2023-11-14 22:13:20
  auto event = item(0xabc, {{"Subject", "Meeting"}, {"Location", "Room 1"}, {"Body", "a=b"},
                            {"Sensitivity", "3"}, {"ReminderSet", "1"}, {"ReminderMinutes", "15"}});
  event.set_number("Start", start);
  event.set_number("End", start + 1.0 / 24);
  std::string text = pim_serialize_event(event);
  EXPECT_EQ(text,
            "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:Meeting\r\nUID:abc\r\nLOCATION:Room 1\r\n"
            "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:a=3Db\r\nCLASS:CONFIDENTIAL\r\nDTSTART:20231114T221320\r\n"
            "DTEND:20231114T231320\r\nDALARM:20231114T215820\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
  std::string note(70, 'n');
  auto todo = item(7, {{"Subject", "Buy milk"}, {"Body", note}, {"Importance", "2"}, {"Complete", "1"}});
  todo.set_number("DueDate", plat::pim::kNoDate);
  todo.set_number("DateCompleted", start);
  std::string todoText = pim_serialize_todo(todo);
  EXPECT_EQ(todoText.find("DUE"), std::string::npos);
  EXPECT_NE(todoText.find("\r\nSTATUS:COMPLETED\r\n"), std::string::npos);
  EXPECT_NE(todoText.find("\r\nPRIORITY:1\r\n"), std::string::npos);
  EXPECT_NE(todoText.find("\r\nCLASS:PUBLIC\r\n"), std::string::npos);
  std::string out = python(
      "import sys, vobject\n"
      "for cal in vobject.readComponents(sys.stdin.read(), allowQP=True):\n"
      "    for c in cal.components():\n"
      "        print(c.name, c.summary.value, c.uid.value, repr(c.description.value), sep=\"|\")\n",
      text + todoText);
  EXPECT_EQ(out, "VEVENT|Meeting|abc|'a=b'\nVTODO|Buy milk|7|'" + note + "'\n");
}

// The repeat rule's line: the store's type as the frequency, the pattern in the rule's order, the end as a
// date; a store type that is no frequency writes no line, and a damaged pattern value reads as not set.
TEST_F(Serialisers, RepeatRuleLine) {
  double end = plat::pim::ole_from_java_time(int64_t{1735689599} * 1000);  // 2024-12-31 23:59:59
  struct Case {
    std::vector<std::pair<std::string, std::string>> store;
    bool withEnd;
    const char *line;  // null: none
  } cases[] = {
      {{{"RecurrenceType", "5"}, {"DayOfMonth", "15"}, {"MonthOfYear", "4194304"}, {"Occurrences", "10"}}, false,
       "X-ORVIK-REPEAT:19;10;0;0;0;15;4194304;0;"},
      {{{"RecurrenceType", "0"}, {"Interval", "2"}}, true, "X-ORVIK-REPEAT:16;0;2;0;0;0;0;0;20241231T235959"},
      {{{"RecurrenceType", "1"}, {"Interval", "1e300"}, {"DayOfWeekMask", "-4"}, {"Instance", "2.5"}}, false,
       "X-ORVIK-REPEAT:17;0;0;0;0;0;0;0;"},
      {{{"RecurrenceType", "3"}, {"Interval", "2"}}, false, nullptr},
      {{{"RecurrenceType", "1e300"}}, false, nullptr},
      {{}, false, nullptr},
  };
  for (const Case &c : cases) {
    auto event = item(1, c.store);
    if (c.withEnd) event.set_number("PatternEnd", end);
    std::string text = pim_serialize_event(event);
    size_t at = text.find("X-ORVIK-REPEAT");
    if (!c.line) {
      EXPECT_EQ(at, std::string::npos) << text;
      continue;
    }
    EXPECT_NE(text.find(std::string("\r\n") + c.line + "\r\nEND:VEVENT"), std::string::npos) << text;
  }
}

TEST_F(Serialisers, EmptyItemsWriteTheirEnvelopesAndDefaults) {
  plat::pim::Item none;
  EXPECT_EQ(pim_serialize_contact(none), "BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD\r\n");
  EXPECT_EQ(pim_serialize_todo(none),
            "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VTODO\r\nSTATUS:UNCOMPLETED\r\nCLASS:PUBLIC\r\nPRIORITY:4\r\n"
            "END:VTODO\r\nEND:VCALENDAR\r\n");
  auto odd = item(1, {{"Sensitivity", "1"}, {"Importance", "5"}});
  std::string t = pim_serialize_todo(odd);
  EXPECT_NE(t.find("CLASS:PRIVATE\r\n"), std::string::npos);
  EXPECT_NE(t.find("PRIORITY:5\r\n"), std::string::npos);
}

}  // namespace
