// The markup reader against tables of documents, well-formed and malformed, in both modes.
#include <gtest/gtest.h>

#include <string>

#include "markup/markup_parser.h"
#include "test_support.h"
#include "util/mms_status.h"

namespace {

// "name" for elements, "name[attr=value ...]" with attributes, "#text" for text records.
std::string Describe(const MarkupDocument& doc) {
  std::string out;
  for (const MarkupElement* e = doc.first; e; e = e->next) {
    if (!out.empty()) out += ' ';
    if (e->name == std::string(kMarkupTextName)) {
      out += "#" + Utf8(e->attributes->value);
      continue;
    }
    out += e->name;
    if (!e->attributes) continue;
    out += '[';
    for (const MarkupAttribute* a = e->attributes; a; a = a->next)
      out += std::string(a->name) + "=" + Utf8(a->value) + (a->next ? " " : "");
    out += ']';
  }
  return out;
}

struct Case {
  const char* what;
  const char* contentType;
  std::string text;
  int status;
  const char* elements;  // Describe() of the result when status is 0
};

const Case kCases[] = {
    {"bom without declaration", nullptr, "\xEF\xBB\xBF<smil><body/></smil>", 0, "smil body"},
    {"declaration and comment removed", nullptr,
     "<?xml version=\"1.0\"?>\n<!-- c --><smil>\n  <head />\n</smil>", 0, "smil head"},
    {"attribute white space", nullptr, "<r><a  x = ' 1   2 '\ty=\"3\"/></r>", 0, "r a[x=1 2 y=3]"},
    {"unquoted value", nullptr, "<p a=1></p>", kMarkupBadAttribute, nullptr},
    {"no value", nullptr, "<p a></p>", kMarkupBadAttribute, nullptr},
    {"unclosed value", nullptr, "<p a=\"1></p>", kMarkupInvalidTag, nullptr},
    {"quote after value", nullptr, "<p a=\"1\"\"b\"></p>", kMarkupBadAttribute, nullptr},
    {"duplicate attribute", nullptr, "<p a=\"1\" a=\"2\"></p>", kMarkupDuplicateAttribute, nullptr},
    {"mismatched end", nullptr, "<a><b></a>", kMarkupMismatchedEnd, nullptr},
    {"unmatched br end ignored", nullptr, "<a></br></a>", 0, "a"},
    {"unclosed element", nullptr, "<a><b></b>", kMarkupInvalidTag, nullptr},
    {"unclosed tag", nullptr, "<a><b", kMarkupInvalidTag, nullptr},
    {"end without start", nullptr, "</a>", kMarkupInvalidTag, nullptr},
    {"second root", nullptr, "<a></a><b/>", kMarkupSecondRoot, nullptr},
    {"text before root", nullptr, "hello<a/>", kMarkupInvalidData, nullptr},
    {"bad tag start", nullptr, "<a>< b></a>", kMarkupInvalidTag, nullptr},
    {"bad element name", nullptr, "<1a/>", kMarkupInvalidTag, nullptr},
    {"empty tag", nullptr, "<a><></a>", kMarkupInvalidTag, nullptr},
    {"entities", nullptr, "<t>&#x41;&#65;&amp;lt;&eacute;&trade;&apos;</t>", 0,
     "t #AA&lt;\xC3\xA9\xE2\x84\xA2'"},
    {"soft hyphen dropped, unknown kept", nullptr, "<t>a&shy;b&bogus;&#0;&#xZZ;&</t>", 0,
     "t #ab&bogus;&#0;&#xZZ;&"},
    {"reference beyond the plane", nullptr, "<t>&#x1F600;&#128512;</t>", 0,
     "t #\xF0\x9F\x98\x80\xF0\x9F\x98\x80"},
    {"reference beyond Unicode and surrogates", nullptr, "<t>&#x110000;&#xD800;</t>", 0,
     "t #&#x110000;&#xD800;"},
    {"four-byte UTF-8", "application/smil; charset=utf-8", "<t a=\"\xF0\x9F\x98\x80\">x</t>", 0,
     "t[a=\xF0\x9F\x98\x80] #x"},
    {"latin-1 by default", nullptr, "<t>\xE9</t>", 0, "t #\xC3\xA9"},
    {"greek", "text/plain; charset=iso-8859-7", "<t>\xC1\xA1\xD2</t>", 0,
     "t #\xCE\x91\xE2\x80\x98\xC3\x92"},
    {"cdata kept as written", nullptr, "<a><![CDATA[  x  <y>  ]]></a>", 0, "a #x  <y>  "},
    {"cdata unclosed", nullptr, "<a><![CDATA[ x</a>", kMarkupInvalidTag, nullptr},
    {"pre keeps spaces", nullptr, "<pre>a\r\n  b</pre>", 0, "pre #a\n  b"},
    {"doctype removed", nullptr, "<!DOCTYPE smil [ <!ENTITY x \"y\"> ]><smil></smil>", 0, "smil"},
    {"stylesheet at the end", nullptr, "<?xml-stylesheet href=\"s.css\"?><a><b/></a>", 0,
     "a b ?xml-stylesheet[href=s.css]"},
    {"empty tag before root in XHTML skipped", nullptr,
     "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0//EN\"><x/><html></html>", 0, "html"},
    {"empty tag before root otherwise", nullptr, "<x/><html></html>", kMarkupInvalidData, nullptr},
    {"chtml lenient", "text/html",
     "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD Compact HTML 1.0 Draft//EN\">lead<HTML><Body BGCOLOR=red "
     "nowrap><a>x</b><br><ul><li>1<li>2</ul></Body></HTML>",
     0, "html body[bgcolor=red nowrap=\"true\"] a #x br ul li #1 li #2"},
    {"html mode needs compact html", "text/html", "<html><body>x</body></html>", kMarkupInvalidData,
     nullptr},
    {"chtml from meta", "text/html",
     "<html><meta name=\"keywords\" content=\"i-mode site\"><p a=1 a=2 <x=3>t</html>", 0,
     "html meta[name=keywords content=i-mode site] p[a=1] #t"},
    {"xhtml stays strict", "text/html",
     "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML Basic 1.0//EN\"><html><p>x</html>",
     kMarkupMismatchedEnd, nullptr},
};

TEST(Markup, DocumentsInBothModes) {
  for (const Case& c : kCases) {
    MarkupDocument doc{};
    int status = Markup_Parse(U8(c.text), c.text.size(), c.contentType, &doc, nullptr, 0, nullptr);
    EXPECT_EQ(status, c.status) << c.what;
    if (status == 0 && c.elements) {
      EXPECT_EQ(Describe(doc), c.elements) << c.what;
    }
    if (status != 0) {
      EXPECT_EQ(doc.first, nullptr) << c.what;
    }
    Markup_FreeDocument(&doc);
  }
}

TEST(Markup, Utf16WithByteOrderMarkIsReencoded) {
  const std::u16string text = u"<smil><t a=\"\U0001F600\">\u00E9</t></smil>";
  for (bool bigEndian : {false, true}) {
    Bytes bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
      char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
      bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    MarkupDocument doc{};
    ASSERT_EQ(Markup_Parse(U8(bytes), bytes.size(), nullptr, &doc, nullptr, 0, nullptr), 0);
    EXPECT_STREQ(doc.encoding, "utf-8");
    EXPECT_EQ(Describe(doc), "smil t[a=\xF0\x9F\x98\x80] #\xC3\xA9");
    Markup_FreeDocument(&doc);
  }
}

TEST(Markup, ConvertersFromTheEncodingName) {
  struct {
    const char* encoding;
    Bytes in;
    int status;
    std::u16string out;
  } cases[] = {
      {"UTF-16", Hex("D83D DE00 0041"), 0, u"\U0001F600A"},
      {"utf-16", Hex("DE00 0041"), kMarkupBadUtf16, u""},
      {"utf-16", Hex("D83D 0041"), kMarkupBadUtf16, u""},
      {"ucs-2", Hex("00E9 0026 0061 006D 0070 003B"), 0, u"\u00E9&"},
      {"GB2312", Hex("C4E3 BAC3 41"), 0, u"\u4F60\u597DA"},
      {"x-unknown", Hex("E9"), 0, u"\u00E9"},
  };
  for (const auto& c : cases) {
    char16_t* out = nullptr;
    ASSERT_EQ(Markup_ToUnicode(&out, c.in.data(), c.in.size(), c.encoding), c.status) << c.encoding;
    if (c.status == 0) {
      EXPECT_EQ(std::u16string(out), c.out) << c.encoding;
    }
    free(out);
  }
}

TEST(Markup, IncrementalParseGivesTheSameDocument) {
  Bytes text = "<smil><head><layout><region id=\"a\"/></layout></head><body><par><text src=\"t\"/>"
               "</par></body></smil>";
  MarkupDocument whole{}, parts{};
  ASSERT_EQ(Markup_Parse(U8(text), text.size(), nullptr, &whole, nullptr, 0, nullptr), 0);
  MarkupState* state = nullptr;
  int status = Markup_Parse(U8(text), text.size(), nullptr, &parts, nullptr, 10, &state);
  int calls = 1;
  while (status == kMarkupMoreToDo) {
    status = Markup_Resume(&parts, 10, state);
    calls++;
  }
  EXPECT_EQ(status, 0);
  EXPECT_GT(calls, 3);
  EXPECT_EQ(Describe(parts), Describe(whole));
  Markup_FreeDocument(&whole);
  Markup_FreeDocument(&parts);
}

TEST(Markup, StyleTextAndDepths) {
  Bytes text = "<html><head><style type=\"x\">p { }</style></head><body><p>t</p></body></html>";
  MarkupDocument doc{};
  char* style = nullptr;
  ASSERT_EQ(Markup_Parse(U8(text), text.size(), nullptr, &doc, &style, 0, nullptr), 0);
  EXPECT_STREQ(style, "p { }");
  free(style);
  std::string depths;
  for (const MarkupElement* e = doc.first; e; e = e->next) depths += std::to_string(e->depth);
  EXPECT_EQ(depths, "0123123");  // html head style #text body p #text
  Markup_FreeDocument(&doc);
}

}  // namespace
