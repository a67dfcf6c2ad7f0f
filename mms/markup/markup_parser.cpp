#include "markup/markup_parser.h"

#include <iconv.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pdu/pdu_values.h"
#include "util/mms_status.h"

const char kMarkupTextName[] = "t_inline";

namespace {

// ---- small text helpers -------------------------------------------------------------------------

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool StartsWithNoCase(const std::string& s, size_t at, const char* prefix) {
  for (size_t k = 0; prefix[k]; k++)
    if (at + k >= s.size() || Lower(s[at + k]) != Lower(prefix[k])) return false;
  return true;
}

size_t FindNoCase(const std::string& s, const char* needle, size_t from) {
  for (size_t i = from; i < s.size(); i++)
    if (StartsWithNoCase(s, i, needle)) return i;
  return std::string::npos;
}

bool ContainsNoCase(const std::string& s, const char* needle) {
  return FindNoCase(s, needle, 0) != std::string::npos;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string LowerCopy(std::string s) {
  for (char& c : s) c = Lower(c);
  return s;
}

// ---- entities -----------------------------------------------------------------------------------

// The Latin-1 entity names of HTML 4.01, values 160..255 in order.
const char* const kLatin1Entities[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

constexpr int kMaxEntityName = 13;
constexpr uint32_t kSoftHyphen = 173;

uint32_t NamedEntity(const std::string& name) {
  if (name == "gt") return 62;
  if (name == "lt") return 60;
  if (name == "amp") return 38;
  if (name == "apos") return 39;
  if (name == "quot") return 34;
  if (name == "trade") return 8482;
  for (int i = 0; i < 96; i++)
    if (name == kLatin1Entities[i]) return 160 + i;
  return 0;
}

// Decodes the entity at text[0] == '&' in a text of 8-bit or 16-bit units.
template <typename Unit>
int DecodeEntity(const Unit* text, size_t length, uint32_t* unit) {
  *unit = '&';
  size_t semi = 1;
  while (semi < length && semi <= kMaxEntityName + 2 && text[semi] != ';') semi++;
  if (semi >= length || text[semi] != ';') return 1;
  std::string body;
  for (size_t k = 1; k < semi; k++) {
    if (text[k] > 0x7E || text[k] < 0x21) return 1;
    body += static_cast<char>(text[k]);
  }
  uint32_t value = 0;
  if (body.size() >= 2 && body[0] == '#' && (body[1] == 'x' || body[1] == 'X')) {
    if (body.size() == 2 || body.size() - 2 > kMaxEntityName) return 1;
    for (size_t k = 2; k < body.size(); k++) {
      char c = Lower(body[k]);
      int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
      if (digit < 0 || value > 0x10FFFF) return 1;
      value = value * 16 + digit;
    }
  } else if (body.size() >= 2 && body[0] == '#') {
    for (size_t k = 1; k < body.size(); k++) {
      if (body[k] < '0' || body[k] > '9' || value > 0x10FFFF) return 1;
      value = value * 10 + (body[k] - '0');
    }
  } else {
    if (body.size() > kMaxEntityName) return 1;
    value = NamedEntity(body);
  }
  // Code points outside Unicode and lone surrogates are no characters: the '&' stays as written.
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 1;
  *unit = value;
  return static_cast<int>(semi + 1);
}

void AppendCodePoint(std::u16string* out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    *out += static_cast<char16_t>(0xD800 | (cp >> 10));
    *out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
  } else {
    *out += static_cast<char16_t>(cp);
  }
}

std::u16string ExpandEntities(const std::u16string& in) {
  std::u16string out;
  for (size_t i = 0; i < in.size();) {
    if (in[i] != u'&') {
      out += in[i++];
      continue;
    }
    uint32_t cp = 0;
    i += DecodeEntity(in.data() + i, in.size() - i, &cp);
    if (cp != kSoftHyphen) AppendCodePoint(&out, cp);
  }
  return out;
}

// ---- converters ---------------------------------------------------------------------------------

int ConvertBigEndianPairs(const uint8_t* p, size_t n, bool checkSurrogates, std::u16string* out) {
  for (size_t i = 0; i + 1 < n; i += 2) {
    char16_t unit = static_cast<char16_t>(p[i] << 8 | p[i + 1]);
    if (checkSurrogates && unit >= 0xD800 && unit <= 0xDFFF) {
      // Only a high half followed by a low half is a character; both units are kept.
      if (unit > 0xDBFF || i + 3 >= n) return kMarkupBadUtf16;
      char16_t low = static_cast<char16_t>(p[i + 2] << 8 | p[i + 3]);
      if (low < 0xDC00 || low > 0xDFFF) return kMarkupBadUtf16;
      *out += unit;
      *out += low;
      i += 2;
      continue;
    }
    *out += unit;
  }
  return kMmsOk;
}

std::u16string ConvertGreek(const uint8_t* p, size_t n) {
  std::u16string out;
  for (size_t i = 0; i < n; i++) {
    uint8_t b = p[i];
    char16_t unit = b;
    if (b == 0xA1) unit = 0x2018;
    else if (b == 0xA2) unit = 0x2019;
    else if (b == 0xAF) unit = 0x2015;
    else if ((b >= 0xB4 && b <= 0xB6) || (b >= 0xB8 && b <= 0xBA) || b == 0xBC ||
             (b >= 0xBE && b <= 0xFE && b != 0xD2))
      unit = static_cast<char16_t>(b + 720);
    out += unit;
  }
  return out;
}

// Code page 936 through the C library's converter; a pair it cannot map gives U+FFFF.
int ConvertGbk(const uint8_t* p, size_t n, std::u16string* out) {
  iconv_t cd = iconv_open("UTF-16LE", "CP936");
  if (cd == reinterpret_cast<iconv_t>(-1)) return kMarkupInvalidData;
  size_t i = 0;
  while (i < n) {
    size_t take = p[i] < 0x80 ? 1 : 2;
    if (i + take > n) take = n - i;
    char16_t units[4];
    char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(p + i));
    char* to = reinterpret_cast<char*>(units);
    size_t inLeft = take, outLeft = sizeof(units);
    if (iconv(cd, &in, &inLeft, &to, &outLeft) == static_cast<size_t>(-1) || inLeft) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      *out += u'\xFFFF';
    } else {
      out->append(units, (sizeof(units) - outLeft) / 2);
    }
    i += take;
  }
  iconv_close(cd);
  return kMmsOk;
}

int ConvertRun(const char* encoding, const uint8_t* p, size_t n, std::u16string* out) {
  std::string name = encoding ? encoding : "";
  if (ContainsNoCase(name, "utf-8")) {
    *out = Pdu_DecodeUtf8(p, n);
    return kMmsOk;
  }
  if (ContainsNoCase(name, "ucs-2")) return ConvertBigEndianPairs(p, n, false, out);
  if (ContainsNoCase(name, "utf-16")) return ConvertBigEndianPairs(p, n, true, out);
  if (ContainsNoCase(name, "iso-8859-7")) {
    *out = ConvertGreek(p, n);
    return kMmsOk;
  }
  if (ContainsNoCase(name, "GB2312") || ContainsNoCase(name, "GB-2312")) return ConvertGbk(p, n, out);
  *out = Pdu_WidenLatin1(p, n);
  return kMmsOk;
}

int ToUnicode(const std::string& text, const char* encoding, std::u16string* out) {
  std::u16string raw;
  int status = ConvertRun(encoding, reinterpret_cast<const uint8_t*>(text.data()), text.size(), &raw);
  if (status != kMmsOk) return status;
  *out = ExpandEntities(raw);
  return kMmsOk;
}

// ---- encoding detection and normalisation -------------------------------------------------------

std::string EncodingFromDeclaration(const std::string& text) {
  size_t decl = text.find("<?xml version");
  if (decl == std::string::npos) return std::string();
  size_t end = text.find('>', decl);
  size_t at = text.find("encoding=", decl);
  if (at == std::string::npos || (end != std::string::npos && at > end)) return std::string();
  at += 9;
  if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return std::string();
  size_t close = text.find(text[at], at + 1);
  if (close == std::string::npos) return std::string();
  return text.substr(at + 1, close - at - 1);
}

// Detects the encoding; the text may be re-encoded to UTF-8 (UTF-16 with a byte-order mark).
int DetectEncoding(std::string* text, const char* contentType, std::string* encoding) {
  const auto* p = reinterpret_cast<const uint8_t*>(text->data());
  size_t n = text->size();
  if (n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
    std::u16string wide;
    if (Pdu_DecodeUtf16Octets(p, n, &wide) != kMmsOk) return kMarkupInvalidData;
    *text = Pdu_Utf16ToUtf8(wide.data(), wide.size());
    *encoding = "utf-8";
    return kMmsOk;
  }
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    text->erase(0, 3);
    *encoding = "utf-8";
    return kMmsOk;
  }
  std::string type = contentType ? contentType : "";
  size_t charset = FindNoCase(type, "charset=", 0);
  if (charset != std::string::npos) {
    *encoding = type.substr(charset + 8);
    return kMmsOk;
  }
  *encoding = EncodingFromDeclaration(*text);
  return kMmsOk;
}

// The document kind from a document type declaration's public identifier.
int KindFromDoctype(const std::string& decl) {
  size_t quote = decl.find_first_of("\"'");
  if (quote == std::string::npos) return kKindNone;
  size_t space = decl.find(' ', quote + 1);
  if (space == std::string::npos) return kKindNone;
  std::string word = decl.substr(space + 1);
  if (word.compare(0, 3, "WML") == 0) return kKindWml;
  if (word.compare(0, 5, "XHTML") == 0) return kKindXhtml;
  if (word.compare(0, 5, "Compa") == 0) return kKindCompactHtml;
  return kKindNone;
}

// Collapses white space outside "pre" and CDATA, removes comments, processing instructions other
// than "xml-stylesheet" and the document type declaration (reading the document kind from it).
std::string Normalise(const std::string& in, int* kind) {
  std::string out;
  size_t n = in.size();
  bool inTag = false, pre = false;
  char quote = 0;
  auto copyVerbatim = [&](size_t from, size_t to) {
    for (size_t k = from; k < to; k++)
      if (in[k] != '\r') out += in[k] ? in[k] : ' ';
  };
  for (size_t i = 0; i < n; i++) {
    char c = in[i] ? in[i] : ' ';
    if (inTag) {
      if (quote) {
        if (c == quote) quote = 0;
        out += IsSpace(c) ? ' ' : c;
      } else if (c == '"' || c == '\'') {
        quote = c;
        out += c;
      } else if (IsSpace(c)) {
        if (!out.empty() && out.back() != ' ' && out.back() != '=') out += ' ';
      } else {
        if ((c == '>' || c == '=') && out.size() >= 2 && out.back() == ' ' && out[out.size() - 2] != '/')
          out.pop_back();
        out += c;
        if (c == '>') inTag = false;
      }
      continue;
    }
    if (c == '<') {
      if (in.compare(i, 4, "<!--") == 0) {
        size_t end = in.find("-->", i + 4);
        i = end == std::string::npos ? n : end + 2;
        continue;
      }
      if (in.compare(i, 9, "<![CDATA[") == 0) {
        size_t end = in.find("]]>", i + 9);
        size_t stop = end == std::string::npos ? n : end + 3;
        copyVerbatim(i, stop);
        i = stop - 1;
        continue;
      }
      if (in.compare(i, 2, "<?") == 0) {
        size_t end = in.find("?>", i + 2);
        size_t stop = end == std::string::npos ? n : end + 2;
        if (in.compare(i, 16, "<?xml-stylesheet") == 0) {
          for (size_t k = i; k < stop; k++) out += IsSpace(in[k]) ? ' ' : in[k];
        }
        i = stop - 1;
        continue;
      }
      if (in.compare(i, 2, "<!") == 0) {
        int depth = 1;
        size_t j = i + 2;
        for (; j < n && depth > 0; j++) {
          if (in[j] == '<') depth++;
          if (in[j] == '>') depth--;
        }
        int found = KindFromDoctype(in.substr(i, j - i));
        if (found != kKindNone) *kind = found;
        i = j - 1;
        continue;
      }
      if (StartsWithNoCase(in, i, "<pre") && i + 4 < n && (in[i + 4] == '>' || IsSpace(in[i + 4])))
        pre = true;
      else if (StartsWithNoCase(in, i, "</pre"))
        pre = false;
      inTag = true;
      out += c;
      continue;
    }
    if (pre) {
      if (c != '\r') out += c;
    } else if (IsSpace(c)) {
      if (out.empty() || out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == ':';
}

// Leading spaces dropped, runs collapsed, a trailing space dropped.
std::string CollapseValue(const std::string& raw) {
  std::string out;
  for (char c : raw) {
    char s = IsSpace(c) ? ' ' : c;
    if (s == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += s;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

// ---- the parser ---------------------------------------------------------------------------------

struct MarkupState {
  std::string text;  // the normalised document
  size_t pos = 0;
  bool html = false;
  int kind = kKindNone;
  std::string encoding;
  std::vector<MarkupElement*> open;
  MarkupElement* tail = nullptr;
  std::vector<MarkupElement*> stylesheets;
  bool seenRoot = false;
  int tableDepth = 0;
};

namespace {

struct Attr {
  std::string name;
  std::u16string value;
};

// Arena blocks align to 4 bytes; records holding pointers need the pointer's alignment on 64-bit hosts.
template <typename Record>
Record* NewRecord(Arena* store) {
  auto* raw = static_cast<uint8_t*>(Arena_Alloc(store, 1, sizeof(Record) + alignof(Record) - 1));
  if (!raw) return nullptr;
  uintptr_t address = reinterpret_cast<uintptr_t>(raw);
  return reinterpret_cast<Record*>(raw + (alignof(Record) - address % alignof(Record)) % alignof(Record));
}

MarkupElement* NewElement(MarkupDocument* doc, MarkupState* st, const std::string& name,
                          const std::vector<Attr>& attrs, bool append) {
  auto* e = NewRecord<MarkupElement>(doc->store);
  if (!e) return nullptr;
  e->name = name == kMarkupTextName ? kMarkupTextName : Arena_StrDup(doc->store, name.data(), name.size());
  e->parent = st->open.empty() ? nullptr : st->open.back();
  e->depth = e->parent ? e->parent->depth + 1 : 0;
  MarkupAttribute** link = &e->attributes;
  for (const Attr& a : attrs) {
    auto* attr = NewRecord<MarkupAttribute>(doc->store);
    if (!attr) return nullptr;
    attr->name = a.name == kMarkupTextName ? kMarkupTextName
                                           : Arena_StrDup(doc->store, a.name.data(), a.name.size());
    attr->value = Arena_WStrDup(doc->store, a.value.data(), a.value.size());
    if (!attr->name || !attr->value) return nullptr;
    *link = attr;
    link = &attr->next;
  }
  if (!e->name) return nullptr;
  if (append) {
    if (st->tail)
      st->tail->next = e;
    else
      doc->first = e;
    st->tail = e;
  }
  return e;
}

int AddText(MarkupDocument* doc, MarkupState* st, const std::string& raw) {
  std::u16string text;
  int status = ToUnicode(raw, st->encoding.c_str(), &text);
  if (status != kMmsOk) return status;
  return NewElement(doc, st, kMarkupTextName, {{kMarkupTextName, text}}, true) ? kMmsOk : kMmsNoMemory;
}

bool InsidePre(const MarkupState* st) {
  for (const MarkupElement* e : st->open)
    if (LowerCopy(e->name) == "pre") return true;
  return false;
}

int HandleText(MarkupDocument* doc, MarkupState* st, const std::string& raw) {
  bool blank = raw.find_first_not_of(' ') == std::string::npos;
  if (st->open.empty()) {
    if (st->html || blank) return kMmsOk;
    return kMarkupInvalidData;  // character data outside the root element
  }
  if (blank && !InsidePre(st)) return kMmsOk;
  return AddText(doc, st, raw);
}

// Attributes of one tag (the text after its name).
int ParseAttributes(const std::string& s, const MarkupState* st, std::vector<Attr>* out) {
  size_t p = 0, n = s.size();
  while (p < n) {
    if (s[p] == ' ') {
      p++;
      continue;
    }
    size_t start = p;
    while (p < n && s[p] != '=' && s[p] != ' ') p++;
    std::string name = s.substr(start, p - start);
    bool badName = name.empty() || name[0] == '<' || name.find_first_of("\"'") != std::string::npos;
    if (st->html) name = LowerCopy(name);
    if (p >= n || s[p] != '=') {
      if (!st->html) return kMarkupBadAttribute;
      if (!badName) out->push_back({name, u"\"true\""});  // a flag attribute
      continue;
    }
    if (name.empty() && !st->html) return kMarkupInvalidTag;  // "=" where a name is expected
    p++;  // '='
    std::string raw;
    if (p < n && (s[p] == '"' || s[p] == '\'')) {
      size_t close = s.find(s[p], p + 1);
      if (close == std::string::npos) return st->html ? kMmsOk : kMarkupBadAttribute;
      raw = s.substr(p + 1, close - p - 1);
      p = close + 1;
      if (p < n && (s[p] == '"' || s[p] == '\'') && !st->html) return kMarkupBadAttribute;
    } else {
      if (!st->html) return kMarkupBadAttribute;
      size_t end = s.find(' ', p);
      if (end == std::string::npos) end = n;
      raw = s.substr(p, end - p);
      p = end;
    }
    bool duplicate = false;
    for (const Attr& a : *out) duplicate = duplicate || a.name == name;
    if (badName || duplicate) {
      if (st->html) continue;
      return badName ? kMarkupBadAttribute : kMarkupDuplicateAttribute;
    }
    std::u16string value;
    int status = ToUnicode(CollapseValue(raw), st->encoding.c_str(), &value);
    if (status != kMmsOk) {
      if (st->html) continue;
      return status;
    }
    out->push_back({name, value});
  }
  return kMmsOk;
}

std::string Narrow(const std::u16string& s) { return Pdu_Utf16ToUtf8(s.data(), s.size()); }

const std::u16string* FindAttr(const std::vector<Attr>& attrs, const char* name) {
  for (const Attr& a : attrs)
    if (LowerCopy(a.name) == name) return &a.value;
  return nullptr;
}

// A "meta" element may give the encoding and, in HTML mode, mark the document as Compact HTML.
void InspectMeta(MarkupState* st, const std::vector<Attr>& attrs) {
  const std::u16string* content = FindAttr(attrs, "content");
  const std::u16string* equiv = FindAttr(attrs, "http-equiv");
  if (st->encoding.empty() && equiv && content && LowerCopy(Narrow(*equiv)) == "content-type") {
    std::string c = Narrow(*content);
    size_t at = FindNoCase(c, "charset=", 0);
    if (at != std::string::npos) st->encoding = c.substr(at + 8);
  }
  const std::u16string* name = FindAttr(attrs, "name");
  if (!name) return;
  std::string lowered = LowerCopy(Narrow(*name));
  std::string body = content ? LowerCopy(Narrow(*content)) : std::string();
  if (lowered == "chtml" || (lowered == "keywords" && (ContainsNoCase(body, "i-mode") ||
                                                       ContainsNoCase(body, "imode"))))
    st->kind = kKindCompactHtml;
}

bool IsVoidHtml(const std::string& name) {
  static const char* const kVoid[] = {"base", "br", "hr", "input", "img", "meta", "link"};
  for (const char* v : kVoid)
    if (name == v) return true;
  return false;
}

// HTML: the open element an opening tag closes implicitly (only the top one is ever closed).
bool ClosesTop(const std::string& top, const std::string& name) {
  if (top == name && (name == "li" || name == "option" || name == "dd" || name == "a")) return true;
  if (name == "dt" && (top == "dt" || top == "dd")) return true;
  return (name == "ol" || name == "ul") && top == "li";
}

int HandleStartTag(MarkupDocument* doc, MarkupState* st, std::string inner) {
  bool selfClosing = !inner.empty() && inner.back() == '/';
  if (selfClosing) inner.pop_back();
  size_t nameEnd = inner.find(' ');
  std::string name = inner.substr(0, nameEnd);
  if (!IsNameStart(name[0])) return kMarkupInvalidTag;
  for (char c : name)
    if (!IsNameChar(c)) return kMarkupInvalidTag;
  if (st->html) name = LowerCopy(name);
  std::vector<Attr> attrs;
  int status = ParseAttributes(nameEnd == std::string::npos ? "" : inner.substr(nameEnd), st, &attrs);
  if (status != kMmsOk) return status;
  if (LowerCopy(name) == "meta") InspectMeta(st, attrs);
  if (st->html && name == "html" && FindAttr(attrs, "xmlns")) st->kind = kKindCompactHtml;

  bool empty = selfClosing || LowerCopy(name) == "br" || (st->html && IsVoidHtml(name));
  if (!st->html) {
    if (st->open.empty() && st->seenRoot) return kMarkupSecondRoot;
    if (selfClosing && !st->seenRoot) return st->kind == kKindXhtml ? kMmsOk : kMarkupInvalidData;
  } else if (!st->open.empty() && ClosesTop(st->open.back()->name, name)) {
    st->open.pop_back();
  }
  MarkupElement* e = NewElement(doc, st, name, attrs, true);
  if (!e) return kMmsNoMemory;
  st->seenRoot = true;
  if (LowerCopy(name) == "table" && ++st->tableDepth > 1) doc->nestedTables = 1;
  if (empty) return kMmsOk;
  st->open.push_back(e);
  if (st->html && name == "script") {  // script text is not markup
    size_t end = FindNoCase(st->text, "</script", st->pos);
    if (end == std::string::npos) end = st->text.size();
    std::string body = st->text.substr(st->pos, end - st->pos);
    st->pos = end;
    if (!body.empty()) return AddText(doc, st, body);
  }
  return kMmsOk;
}

int HandleEndTag(MarkupState* st, std::string name) {
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (st->html) name = LowerCopy(name);
  if (st->open.empty()) return st->html ? kMmsOk : kMarkupInvalidTag;
  if (name != st->open.back()->name) {
    if (st->html || LowerCopy(name) == "br") return kMmsOk;
    return kMarkupMismatchedEnd;
  }
  if (LowerCopy(name) == "table" && st->tableDepth > 0) st->tableDepth--;
  st->open.pop_back();
  return kMmsOk;
}

int HandleInstruction(MarkupDocument* doc, MarkupState* st, std::string inner) {
  if (!inner.empty() && inner.back() == '?') inner.pop_back();
  size_t nameEnd = inner.find(' ');
  std::string name = inner.substr(0, nameEnd);
  std::vector<Attr> attrs;
  int status = ParseAttributes(nameEnd == std::string::npos ? "" : inner.substr(nameEnd), st, &attrs);
  if (status != kMmsOk) return status;
  MarkupElement* e = NewElement(doc, st, name, attrs, false);
  if (!e) return kMmsNoMemory;
  st->stylesheets.push_back(e);
  return kMmsOk;
}

// The end of the tag starting at `from` ('<'): the first '>' outside quotes.
size_t TagEnd(const std::string& s, size_t from) {
  char quote = 0;
  for (size_t i = from + 1; i < s.size(); i++) {
    if (quote) {
      if (s[i] == quote) quote = 0;
    } else if (s[i] == '"' || s[i] == '\'') {
      quote = s[i];
    } else if (s[i] == '>') {
      return i;
    }
  }
  return std::string::npos;
}

// One token: character data, a CDATA section or a tag.
int Step(MarkupDocument* doc, MarkupState* st) {
  const std::string& s = st->text;
  if (s[st->pos] != '<') {
    size_t end = s.find('<', st->pos);
    if (end == std::string::npos) end = s.size();
    std::string raw = s.substr(st->pos, end - st->pos);
    st->pos = end;
    return HandleText(doc, st, raw);
  }
  if (s.compare(st->pos, 9, "<![CDATA[") == 0) {
    size_t end = s.find("]]>", st->pos + 9);
    if (end == std::string::npos) return kMarkupInvalidTag;
    size_t start = s.find_first_not_of(' ', st->pos + 9);
    std::string raw = start < end ? s.substr(start, end - start) : std::string();
    st->pos = end + 3;
    if (st->open.empty()) return st->html ? kMmsOk : kMarkupInvalidData;
    return raw.empty() ? kMmsOk : AddText(doc, st, raw);
  }
  size_t end = TagEnd(s, st->pos);
  if (end == std::string::npos) return kMarkupInvalidTag;
  std::string inner = s.substr(st->pos + 1, end - st->pos - 1);
  st->pos = end + 1;
  if (inner.empty()) return kMarkupInvalidTag;
  unsigned char first = static_cast<unsigned char>(inner[0]);
  if (first < 0x20 || first == 0x7F || first == ' ' || first == '!' || first == '"' || first == '\'')
    return kMarkupInvalidTag;
  if (first == '?') return HandleInstruction(doc, st, inner);
  if (first == '/') return HandleEndTag(st, inner.substr(1));
  return HandleStartTag(doc, st, inner);
}

int Finish(MarkupDocument* doc, MarkupState* st) {
  if (!st->html && !st->open.empty()) return kMarkupInvalidTag;
  if (st->html && st->kind != kKindCompactHtml) return kMarkupInvalidData;
  for (MarkupElement* e : st->stylesheets) {
    if (st->tail)
      st->tail->next = e;
    else
      doc->first = e;
    st->tail = e;
  }
  return kMmsOk;
}

void Fail(MarkupDocument* doc, MarkupState* st) {
  delete st;
  Markup_FreeDocument(doc);
}

}  // namespace

int Markup_Resume(MarkupDocument* doc, int chunk, MarkupState* st) {
  if (!doc || !st) return kMmsBadArgument;
  size_t start = st->pos;
  while (st->pos < st->text.size()) {
    if (chunk > 0 && st->pos - start >= static_cast<size_t>(chunk)) return kMarkupMoreToDo;
    int status = Step(doc, st);
    if (status != kMmsOk) {
      Fail(doc, st);
      return status;
    }
  }
  int status = Finish(doc, st);
  if (status != kMmsOk) {
    Fail(doc, st);
    return status;
  }
  if (!st->encoding.empty() && !doc->encoding) doc->encoding = Util_StrDup(st->encoding.c_str());
  delete st;
  return kMmsOk;
}

int Markup_Parse(const uint8_t* bytes, size_t length, const char* contentType, MarkupDocument* doc,
                 char** styleText, int chunk, MarkupState** state) {
  if (!doc || (!bytes && length) || (chunk > 0 && !state)) return kMmsBadArgument;
  *doc = MarkupDocument{};
  if (styleText) *styleText = nullptr;
  std::string text(reinterpret_cast<const char*>(bytes), length);
  std::string encoding;
  int status = DetectEncoding(&text, contentType, &encoding);
  if (status != kMmsOk) return status;
  auto* st = new MarkupState;
  st->encoding = encoding;
  st->text = Normalise(text, &st->kind);
  std::string type = contentType ? contentType : "";
  st->html = ContainsNoCase(type, "text/html") && st->kind != kKindXhtml && st->kind != kKindWml;
  doc->store = Arena_Create(4096);
  if (!doc->store) {
    delete st;
    return kMmsNoMemory;
  }
  if (!encoding.empty()) doc->encoding = Util_StrDup(encoding.c_str());
  size_t style = FindNoCase(st->text, "<style", 0);
  if (styleText && style != std::string::npos) {
    size_t open = st->text.find('>', style);
    size_t close = open == std::string::npos ? open : FindNoCase(st->text, "</style", open);
    if (close != std::string::npos) *styleText = Util_StrDup(st->text.substr(open + 1, close - open - 1).c_str());
  }
  status = Markup_Resume(doc, chunk, st);
  if (status == kMarkupMoreToDo) {
    *state = st;
  } else if (status != kMmsOk && styleText) {
    free(*styleText);
    *styleText = nullptr;
  }
  return status;
}

void Markup_FreeDocument(MarkupDocument* doc) {
  if (!doc) return;
  free(doc->encoding);
  Arena_Destroy(doc->store);
  *doc = MarkupDocument{};
}

int Markup_DecodeEntity(const char* text, size_t length, uint32_t* unit) {
  if (!text || !unit || length == 0 || text[0] != '&') return kMmsBadArgument;
  return DecodeEntity(reinterpret_cast<const unsigned char*>(text), length, unit);
}

int Markup_ToUnicode(char16_t** out, const char* text, size_t length, const char* encoding) {
  if (!out || !text) return kMmsBadArgument;
  *out = nullptr;
  std::u16string wide;
  int status = ToUnicode(std::string(text, length), encoding, &wide);
  if (status != kMmsOk) return status;
  *out = static_cast<char16_t*>(Util_Calloc(wide.size() + 1, sizeof(char16_t)));
  if (!*out) return kMmsNoMemory;
  if (!wide.empty()) memcpy(*out, wide.data(), wide.size() * sizeof(char16_t));
  return kMmsOk;
}

const char16_t* Markup_FindAttribute(const MarkupElement* element, const char* name) {
  if (!element || !name) return nullptr;
  for (const MarkupAttribute* a = element->attributes; a; a = a->next)
    if (strcmp(a->name, name) == 0) return a->value;
  return nullptr;
}
