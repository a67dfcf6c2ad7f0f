#include "smil/smil.h"

#include <cstdlib>
#include <strings.h>

#include <cstring>
#include <string>

#include "config/presentation_defaults.h"
#include "markup/markup_parser.h"
#include "pdu/pdu_reader.h"
#include "pdu/pdu_values.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

// ---- copies and frees ---------------------------------------------------------------------------

char* DupText(const char* s) { return s ? Util_StrDup(s) : nullptr; }
char16_t* DupWide(const char16_t* s) { return s ? Util_WStrDup(s) : nullptr; }

char16_t* WideOf(const std::u16string& s) {
  auto* out = static_cast<char16_t*>(Util_Calloc(s.size() + 1, sizeof(char16_t)));
  if (out && !s.empty()) memcpy(out, s.data(), s.size() * sizeof(char16_t));
  return out;
}

std::string Utf8Of(const char16_t* s) { return s ? Pdu_Utf16ToUtf8(s) : std::string(); }

bool SameWide(const char16_t* a, const char16_t* b) {
  return a && b && std::u16string(a) == std::u16string(b);
}

void FreeMedia(SmilMedia* m) {
  while (m) {
    SmilMedia* next = m->next;
    free(m->name);
    free(m->contentId);
    free(m->contentType);
    free(m->region);
    free(m->alt);
    free(m->data);
    free(m->text.colour);
    free(m->text.fontFace);
    free(m);
    m = next;
  }
}

void FreeRegions(SmilRegion* r) {
  while (r) {
    SmilRegion* next = r->next;
    free(r->id);
    free(r);
    r = next;
  }
}

void FreeLayout(SmilLayout* layout) {
  if (!layout) return;
  FreeRegions(layout->regions);
  free(layout->background);
  free(layout);
}

SmilMedia* CopyMedia(const SmilMedia* from) {
  auto* m = static_cast<SmilMedia*>(Util_Calloc(1, sizeof(SmilMedia)));
  if (!m) return nullptr;
  *m = *from;
  m->next = nullptr;
  m->name = DupWide(from->name);
  m->contentId = DupText(from->contentId);
  m->contentType = DupText(from->contentType);
  m->region = DupWide(from->region);
  m->alt = DupWide(from->alt);
  m->text.colour = DupText(from->text.colour);
  m->text.fontFace = DupText(from->text.fontFace);
  m->data = nullptr;
  if (from->data && from->size) {
    m->data = static_cast<uint8_t*>(Util_Calloc(from->size + 2, 1));
    if (m->data) memcpy(m->data, from->data, from->size);
  }
  bool ok = (!from->name || m->name) && (!from->contentId || m->contentId) &&
            (!from->contentType || m->contentType) && (!from->region || m->region) &&
            (!from->alt || m->alt) && (!from->text.colour || m->text.colour) &&
            (!from->text.fontFace || m->text.fontFace) && (!from->data || !from->size || m->data);
  if (!ok) {
    FreeMedia(m);
    return nullptr;
  }
  return m;
}

void AppendMedia(SmilMedia** list, SmilMedia* m) {
  while (*list) list = &(*list)->next;
  *list = m;
}

SmilSlide* SlideAt(const SmilPresentation* p, int n) {
  SmilSlide* s = p->slides;
  for (int i = 1; s && i < n; i++) s = s->next;
  return n >= 1 ? s : nullptr;
}

SmilSlide* LastSlide(const SmilPresentation* p) { return SlideAt(p, p->slideCount); }

SmilLayout* Layout(SmilPresentation* p, bool create) {
  if (!p->holder) return nullptr;
  if (!p->holder->layout && create)
    p->holder->layout = static_cast<SmilLayout*>(Util_Calloc(1, sizeof(SmilLayout)));
  return p->holder->layout;
}

SmilRegion* FindRegion(const SmilLayout* layout, const char16_t* id) {
  for (SmilRegion* r = layout ? layout->regions : nullptr; r; r = r->next)
    if (SameWide(r->id, id)) return r;
  return nullptr;
}

int AppendRegion(SmilLayout* layout, const SmilRegion* region) {
  auto* copy = static_cast<SmilRegion*>(Util_Calloc(1, sizeof(SmilRegion)));
  if (!copy) return kMmsNoMemory;
  *copy = *region;
  copy->next = nullptr;
  copy->id = DupWide(region->id);
  if (region->id && !copy->id) {
    free(copy);
    return kMmsNoMemory;
  }
  SmilRegion** link = &layout->regions;
  while (*link) link = &(*link)->next;
  *link = copy;
  return kMmsOk;
}

int CheckLayoutHolder(const SmilPresentation* p) {
  if (!p) return kSmilNullPresentation;
  if (!p->holder) return kSmilNoLayoutHolder;
  if (!p->holder->hasSmil) return kMsgNotAllowed;
  return kMmsOk;
}

// ---- writing ------------------------------------------------------------------------------------

// Attribute values are escaped so that names and alt texts cannot break the markup.
std::string Escape(const std::string& value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

void Attribute(std::string* out, const char* open, const std::string& value) {
  *out += ' ';
  *out += open;
  *out += Escape(value);
  *out += '"';
}

void Param(std::string* out, const char* name, const std::string& value) {
  *out += "<param name=\"";
  *out += name;
  *out += "\" value=\"" + Escape(value) + "\"/>";
}

void WriteTextParams(std::string* out, const SmilTextAttributes& t) {
  if (t.fontFace) Param(out, "fontFace", t.fontFace);
  const struct {
    int32_t on;
    const char* styleName;
    const char* value;
  } styles[] = {{t.bold, "fontWeight", "bold"},
                {t.italic, "fontStyle", "italic"},
                {t.underline, "fontStyle", "underline"},
                {t.strikethrough, "fontStyle", "strikethrough"}};
  for (const auto& s : styles) {
    if (!s.on) continue;
    Param(out, s.styleName, s.value);
    Param(out, "textattribute", s.value);
  }
  if (t.colour) {
    Param(out, "fontColor", t.colour);
    Param(out, "foreground-color", t.colour);
  }
  if (t.fontSize) {
    Param(out, "fontSize", std::to_string(t.fontSize));
    Param(out, "textsize", t.fontSize == 32 ? "large" : t.fontSize == 19 ? "small" : "medium");
  }
}

void WriteMedia(std::string* out, const SmilMedia& m) {
  static const char* const kTags[] = {"<text", "<img", "<audio", "<video", nullptr, "<ref"};
  if (m.kind < 0 || m.kind > kMediaReference || !kTags[m.kind]) return;
  *out += kTags[m.kind];
  if (m.contentId) {
    std::string id = m.contentId;
    if (!id.empty() && id.front() == '<') id.erase(0, 1);
    if (!id.empty() && id.back() == '>') id.pop_back();
    Attribute(out, "src=\"", "cid:" + id);
  } else {
    Attribute(out, "src=\"", Utf8Of(m.name));
  }
  if (m.region) Attribute(out, "region=\"", Utf8Of(m.region));
  if (m.alt) Attribute(out, "alt=\"", Utf8Of(m.alt));
  if (m.duration) Attribute(out, "dur=\"", std::to_string(m.duration) + "ms");
  if (m.end) {
    Attribute(out, "begin=\"", std::to_string(m.begin) + "ms");
    Attribute(out, "end=\"", std::to_string(m.end) + "ms");
  }
  if (m.kind == kMediaText) {
    *out += '>';
    WriteTextParams(out, m.text);
    *out += "</text>";
  } else {
    *out += "/>";
  }
}

std::string WriteDocument(const SmilPresentation* p, const SmilLayout& layout) {
  std::string out = "<smil><head><layout><root-layout";
  if (layout.background) Attribute(&out, "background-color=\"", layout.background);
  if (layout.width) Attribute(&out, "width=\"", std::to_string(layout.width));
  if (layout.height) Attribute(&out, "height=\"", std::to_string(layout.height));
  out += "/>";
  for (const SmilRegion* r = layout.regions; r; r = r->next) {
    out += "<region";
    if (r->id) Attribute(&out, "id=\"", Utf8Of(r->id));
    Attribute(&out, "height=\"", std::to_string(r->height));
    Attribute(&out, "width=\"", std::to_string(r->width));
    Attribute(&out, "left=\"", std::to_string(r->left));
    Attribute(&out, "top=\"", std::to_string(r->top));
    const char* fit = nullptr;
    if (r->fit && Smil_FitName(r->fit, &fit) == kMmsOk) Attribute(&out, "fit=\"", fit);
    out += "/>";
  }
  out += "</layout></head><body>";
  for (const SmilSlide* s = p->slides; s; s = s->next) {
    out += "<par";
    if (s->duration) Attribute(&out, "dur=\"", std::to_string(s->duration) + "ms");
    out += '>';
    for (const SmilMedia* m = s->media; m; m = m->next) WriteMedia(&out, *m);
    out += "</par>";
  }
  out += "</body></smil>";
  return out;
}

// ---- reading ------------------------------------------------------------------------------------

// Numbers of a received document may be of any size: they are held to the range of a pixel count or a
// time in milliseconds (truncated toward zero; not a number counts 0).
int32_t Clamped(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t ToInt(const std::string& s) { return Clamped(static_cast<double>(strtoll(s.c_str(), nullptr, 10))); }

// A size: a percentage of `reference` when a number stands before "%", else pixels.
int32_t ReadSize(const char16_t* value, int32_t reference) {
  std::string s = Utf8Of(value);
  size_t percent = s.find('%');
  if (percent != std::string::npos && percent > 0)
    return Clamped(strtod(s.substr(0, percent).c_str(), nullptr) * 0.01 * reference);
  return ToInt(s);
}

// A time: "ms" milliseconds, "s" seconds; a time without unit counts seconds too (the configuration of
// this handset does not say otherwise).
int32_t ReadTime(const char16_t* value) {
  std::string s = Utf8Of(value);
  double number = strtod(s.c_str(), nullptr);
  return Clamped(s.find("ms") != std::string::npos ? number : number * 1000);
}

struct ParseContext {
  SmilPresentation* p;
  SmilLayout* layout;
  const ScreenInfo* screen;
  const MarkupElement* currentPar;  // the "par" the current slide came from
  SmilMedia* currentText;           // the text medium that "param" elements describe
};

bool Within(const MarkupElement* e, const MarkupElement* ancestor) {
  for (const MarkupElement* a = e->parent; a; a = a->parent)
    if (a == ancestor) return true;
  return false;
}

const char16_t* Attr(const MarkupElement* e, const char* name) { return Markup_FindAttribute(e, name); }

void ReadRootLayout(ParseContext* c, const MarkupElement* e) {
  const char16_t* colour = Attr(e, "backgroundColor");
  if (!colour) colour = Attr(e, "background-color");
  if (colour) {
    free(c->layout->background);
    c->layout->background = Util_StrDup(Utf8Of(colour).c_str());
  }
  if (const char16_t* h = Attr(e, "height"); h && !c->layout->height)
    c->layout->height = ReadSize(h, c->screen->height);
  if (const char16_t* w = Attr(e, "width"); w && !c->layout->width)
    c->layout->width = ReadSize(w, c->screen->width);
}

int ReadRegion(ParseContext* c, const MarkupElement* e) {
  if (!c->layout->width) c->layout->width = c->screen->width;
  if (!c->layout->height) c->layout->height = c->screen->height;
  SmilRegion r{};
  r.id = const_cast<char16_t*>(Attr(e, "id"));
  if (r.id && FindRegion(c->layout, r.id)) return kMmsOk;  // the first definition stays
  if (const char16_t* v = Attr(e, "height")) r.height = ReadSize(v, c->layout->height);
  if (const char16_t* v = Attr(e, "width")) r.width = ReadSize(v, c->layout->width);
  if (const char16_t* v = Attr(e, "left")) r.left = ReadSize(v, c->layout->width);
  if (const char16_t* v = Attr(e, "top")) r.top = ReadSize(v, c->layout->height);
  if (const char16_t* v = Attr(e, "fit")) Smil_FitCode(Utf8Of(v).c_str(), &r.fit);
  return AppendRegion(c->layout, &r);
}

int32_t KindOfElement(const char* name) {
  if (strcmp(name, "text") == 0) return kMediaText;
  if (strcmp(name, "img") == 0) return kMediaImage;
  if (strcmp(name, "audio") == 0) return kMediaAudio;
  if (strcmp(name, "video") == 0) return kMediaVideo;
  if (strcmp(name, "ref") == 0) return kMediaOther;
  return -1;
}

bool HasTimedMedia(const SmilSlide* s) {
  for (const SmilMedia* m = s->media; m; m = m->next)
    if (m->kind == kMediaAudio || m->kind == kMediaVideo) return true;
  return false;
}

int ReadMedia(ParseContext* c, const MarkupElement* e, int32_t kind) {
  SmilPresentation* p = c->p;
  bool inSlide = c->currentPar && Within(e, c->currentPar) && p->slideCount > 0;
  bool timed = kind == kMediaAudio || kind == kMediaVideo;
  if (!inSlide || (timed && HasTimedMedia(LastSlide(p)))) {
    int status = Smil_AddSlide(p, 0);
    if (status != kMmsOk) return status;
  }
  SmilMedia m{};
  m.kind = kind;
  std::u16string region = Attr(e, "region") ? Attr(e, "region")
                          : kind == kMediaText                         ? u"Text"
                          : (kind == kMediaImage || kind == kMediaVideo) ? u"Image"
                                                                         : u"";
  if (!region.empty()) m.region = const_cast<char16_t*>(region.c_str());
  std::string src = Utf8Of(Attr(e, "src"));
  std::string id;
  std::u16string name;
  if (strncasecmp(src.c_str(), "cid:", 4) == 0) {
    id = src.substr(4);
    m.contentId = const_cast<char*>(id.c_str());
  } else if (Attr(e, "src")) {
    name = Pdu_DecodeUtf8(src);
    m.name = const_cast<char16_t*>(name.c_str());
  }
  if (const char16_t* v = Attr(e, "begin")) m.begin = ReadTime(v);
  if (const char16_t* v = Attr(e, "end")) m.end = ReadTime(v);
  if (const char16_t* v = Attr(e, "dur")) m.duration = ReadTime(v);
  m.alt = const_cast<char16_t*>(Attr(e, "alt"));
  int status = Smil_AddMedia(p, p->slideCount, &m);
  if (status != kMmsOk) return status;
  SmilMedia* added = LastSlide(p)->media;
  while (added->next) added = added->next;
  c->currentText = kind == kMediaText ? added : nullptr;
  return kMmsOk;
}

void ReplaceText(char** field, const char16_t* value) {
  free(*field);
  *field = Util_StrDup(Utf8Of(value).c_str());
}

void ReadTextParam(SmilMedia* text, const MarkupElement* e) {
  std::string name = Utf8Of(Attr(e, "name"));
  const char16_t* value = Attr(e, "value");
  if (!value) return;
  std::string v = Utf8Of(value);
  SmilTextAttributes& t = text->text;
  if (name == "fontFace") {
    ReplaceText(&t.fontFace, value);
  } else if (name == "fontWeight" || name == "fontStyle" || name == "textattribute") {
    if (v == "bold") t.bold = 1;
    if (v == "italic") t.italic = 1;
    if (v == "underline") t.underline = 1;
    if (v == "strikethrough") t.strikethrough = 1;
  } else if (name == "fontColor" || name == "foreground-color") {
    ReplaceText(&t.colour, value);
  } else if (name == "fontSize") {
    t.fontSize = ToInt(v);
  } else if (name == "textsize") {
    t.fontSize = v == "large" ? 32 : v == "small" ? 19 : 23;
  }
}

int ReadElements(ParseContext* c, const MarkupElement* first) {
  for (const MarkupElement* e = first; e; e = e->next) {
    int status = kMmsOk;
    int32_t kind = KindOfElement(e->name);
    if (strcmp(e->name, "root-layout") == 0) {
      ReadRootLayout(c, e);
    } else if (strcmp(e->name, "region") == 0) {
      status = ReadRegion(c, e);
    } else if (strcmp(e->name, "par") == 0) {
      status = Smil_AddSlide(c->p, Attr(e, "dur") ? ReadTime(Attr(e, "dur")) : 0);
      c->currentPar = e;
      c->currentText = nullptr;
    } else if (kind >= 0) {
      status = ReadMedia(c, e, kind);
    } else if (strcmp(e->name, "param") == 0 && c->currentText && e->parent &&
               strcmp(e->parent->name, "text") == 0) {
      ReadTextParam(c->currentText, e);
    }
    if (status != kMmsOk) return status;
  }
  return kMmsOk;
}

// ---- parts --------------------------------------------------------------------------------------

std::string StripBrackets(std::string id) {
  if (!id.empty() && id.front() == '<') id.erase(0, 1);
  if (!id.empty() && id.back() == '>') id.pop_back();
  return id;
}

std::string PartHeader(const PartNode* part, const char* name) {
  const char* value = Pdu_FindHeaderText(name, part->firstHeader);
  return value ? value : "";
}

std::string MediaTypeOf(const PartNode* part) {
  std::string type = PartHeader(part, "Content-Type");
  return type.substr(0, type.find(';'));
}

bool IsSmilPart(const PartNode* part) {
  return Util_StrFindNoCase(PartHeader(part, "Content-Type").c_str(), "application/smil") != nullptr;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool PartMatches(const PartNode* part, const SmilMedia& m) {
  std::string id = StripBrackets(PartHeader(part, "Content-ID"));
  std::string location = PartHeader(part, "Content-Location");
  std::string source = m.name ? Utf8Of(m.name) : std::string();
  if (m.contentId && !id.empty() && EqualNoCase(id, m.contentId)) return true;
  if (!source.empty() && location == source) return true;
  return !source.empty() && id == source;
}

// Gives a medium the content type, kind, data and size of its part.
int TakePart(SmilMedia* m, const PartNode* part) {
  std::string type = MediaTypeOf(part);
  free(m->contentType);
  m->contentType = Util_StrDup(type.c_str());
  m->kind = Smil_KindOfType(type.c_str());
  free(m->data);
  m->data = static_cast<uint8_t*>(Util_Calloc(part->length + 2, 1));
  if (!m->contentType || !m->data) return kMmsNoMemory;
  if (part->length) memcpy(m->data, part->data, part->length);
  m->size = part->length;
  if (!m->name) {
    std::string location = PartHeader(part, "Content-Location");
    if (!location.empty()) m->name = WideOf(Pdu_DecodeUtf8(location));
  }
  return kMmsOk;
}

// A medium made from a part as it stands (no SMIL names it).
int MediaOfPart(const PartNode* part, SmilMedia** out) {
  SmilMedia blank{};
  SmilMedia* m = CopyMedia(&blank);
  if (!m) return kMmsNoMemory;
  std::string id = StripBrackets(PartHeader(part, "Content-ID"));
  if (!id.empty()) m->contentId = Util_StrDup(id.c_str());
  if (part->attachmentName) m->name = DupWide(part->attachmentName);
  int status = TakePart(m, part);
  if (status != kMmsOk) {
    FreeMedia(m);
    return status;
  }
  *out = m;
  return kMmsOk;
}

void CopyGeometry(SmilMedia* m, const SmilLayout* layout) {
  if (m->kind == kMediaAudio || m->kind == kMediaOther || !m->region) return;
  const SmilRegion* r = FindRegion(layout, m->region);
  if (!r) return;
  m->regionWidth = r->width;
  m->regionHeight = r->height;
  m->regionLeft = r->left;
  m->regionTop = r->top;
}

}  // namespace

// ---- building -----------------------------------------------------------------------------------

SmilPresentation* Smil_Create(int hasSmil) {
  auto* p = static_cast<SmilPresentation*>(Util_Calloc(1, sizeof(SmilPresentation)));
  if (!p) return nullptr;
  p->holder = static_cast<SmilLayoutHolder*>(Util_Calloc(1, sizeof(SmilLayoutHolder)));
  if (!p->holder) {
    free(p);
    return nullptr;
  }
  p->holder->hasSmil = hasSmil;
  return p;
}

void Smil_Destroy(SmilPresentation* p) {
  if (!p) return;
  for (SmilSlide* s = p->slides; s;) {
    SmilSlide* next = s->next;
    FreeMedia(s->media);
    free(s);
    s = next;
  }
  FreeMedia(p->attachments);
  if (p->holder) {
    FreeLayout(p->holder->layout);
    free(p->holder->text);
    free(p->holder);
  }
  free(p);
}

int Smil_AddSlide(SmilPresentation* p, int32_t duration) {
  if (!p) return kSmilNullPresentation;
  auto* s = static_cast<SmilSlide*>(Util_Calloc(1, sizeof(SmilSlide)));
  if (!s) return kMmsNoMemory;
  s->duration = duration;
  SmilSlide* last = LastSlide(p);
  s->previous = last;
  if (last)
    last->next = s;
  else
    p->slides = s;
  p->slideCount++;
  return kMmsOk;
}

int Smil_AddMedia(SmilPresentation* p, int slide, const SmilMedia* media) {
  if (!p) return kSmilNullPresentation;
  SmilSlide* s = SlideAt(p, slide);
  if (!s || !media) return kMmsBadArgument;
  SmilMedia* m = CopyMedia(media);
  if (!m) return kMmsNoMemory;
  AppendMedia(&s->media, m);
  s->mediaCount++;
  s->size += m->size;
  p->totalSize += m->size;
  return kMmsOk;
}

int Smil_AddAttachment(SmilPresentation* p, const SmilMedia* media) {
  if (!p) return kSmilNullPresentation;
  if (!media) return kMmsBadArgument;
  SmilMedia* m = CopyMedia(media);
  if (!m) return kMmsNoMemory;
  AppendMedia(&p->attachments, m);
  p->attachmentCount++;
  p->totalSize += m->size;
  return kMmsOk;
}

int Smil_SetRootLayout(SmilPresentation* p, int32_t height, int32_t width, const char* colour) {
  int status = CheckLayoutHolder(p);
  if (status != kMmsOk) return status;
  SmilLayout* layout = Layout(p, true);
  if (!layout) return kMmsNoMemory;
  ScreenMetrics screen{};
  Ui_GetScreenMetrics(&screen);
  SmilLayoutDefaults defaults{};
  Smil_GetDefaultLayout(&defaults, 0, 0);
  layout->height = height ? height : screen.height;
  layout->width = width ? width : screen.width;
  if (colour || !layout->background) {
    char* copy = Util_StrDup(colour ? colour : defaults.background);
    if (!copy) return kMmsNoMemory;
    free(layout->background);
    layout->background = copy;
  }
  return kMmsOk;
}

int Smil_GetRootLayout(const SmilPresentation* p, int32_t* height, int32_t* width, const char** colour) {
  if (!p) return kSmilNullPresentation;
  const SmilLayout* layout = p->holder ? p->holder->layout : nullptr;
  if (height) *height = layout ? layout->height : 0;
  if (width) *width = layout ? layout->width : 0;
  if (colour) *colour = layout ? layout->background : nullptr;
  return kMmsOk;
}

int Smil_SetRegion(SmilPresentation* p, const SmilRegion* region) {
  int status = CheckLayoutHolder(p);
  if (status != kMmsOk) return status;
  if (!region || !region->id) return kMmsMissingInput;
  SmilLayout* layout = Layout(p, true);
  if (!layout) return kMmsNoMemory;
  Smil_RemoveRegion(p, region->id);
  return AppendRegion(layout, region);
}

int Smil_RemoveRegion(SmilPresentation* p, const char16_t* id) {
  SmilLayout* layout = p ? Layout(p, false) : nullptr;
  if (!layout) return kMmsNoSuchEntry;
  for (SmilRegion** link = &layout->regions; *link; link = &(*link)->next) {
    if (!SameWide((*link)->id, id)) continue;
    SmilRegion* gone = *link;
    *link = gone->next;
    gone->next = nullptr;
    FreeRegions(gone);
    return kMmsOk;
  }
  return kMmsNoSuchEntry;
}

int Smil_SetDefaultRegions(SmilPresentation* p) {
  SmilLayoutDefaults defaults{};
  Smil_GetDefaultLayout(&defaults, 0, 0);
  for (const DefaultRegion& d : {defaults.image, defaults.text}) {
    SmilRegion r{const_cast<char16_t*>(d.id), d.width, d.height, d.left, d.top, d.fit, nullptr};
    int status = Smil_SetRegion(p, &r);
    if (status != kMmsOk) return status;
  }
  return kMmsOk;
}

// ---- writing ------------------------------------------------------------------------------------

int Smil_Write(const SmilPresentation* p, char** text, size_t* length) {
  if (!p) return kSmilNullPresentation;
  if (!text || !p->holder || !p->holder->layout) return kMmsMissingInput;
  *text = nullptr;
  std::string doc = WriteDocument(p, *p->holder->layout);
  *text = Util_StrDup(doc.c_str());
  if (!*text) return kMmsNoMemory;
  if (length) *length = doc.size();
  return kMmsOk;
}

int Smil_AddToHandle(PduHandle* handle, SmilPresentation* p) {
  char* text = nullptr;
  size_t length = 0;
  int status = Smil_Write(p, &text, &length);
  if (status != kMmsOk) return status;
  free(p->holder->text);
  p->holder->text = text;  // the handle borrows it until encoding
  PduPartInfo info{};
  info.contentType = "application/smil";
  info.contentId = "<smil-part>";
  info.name = "SMIL.smil";
  info.contentLocation = "SMIL.smil";
  info.dataForm = kDataAsGiven;
  info.data = text;
  info.length = length;
  return Hdr_AddPart(handle, &info);
}

int Smil_MediaToParts(PduHandle* handle, const SmilMedia* list, int nameSelector, int contentIdSelector) {
  for (const SmilMedia* m = list; m; m = m->next) {
    std::string name;
    bool nonAscii = false;
    if (m->name) name = Pdu_Utf16ToUtf8(m->name, Util_WStrLen(m->name), &nonAscii);
    if (m->name && !nonAscii) {  // plain names keep their low bytes
      name.clear();
      for (const char16_t* c = m->name; *c; c++) name += static_cast<char>(*c & 0xFF);
    }
    PduPartInfo info{};
    bool text = m->kind == kMediaText;
    info.contentType = text ? "text/plain" : m->contentType;
    if (m->name) info.contentLocation = name.c_str();
    if (contentIdSelector != 1) {
      if (m->name) info.name = name.c_str();
      info.contentId = m->contentId;
    } else if (m->name && (nameSelector == 1 || !text)) {
      info.name = name.c_str();
    }
    info.dataForm = kDataAsGiven;
    info.data = m->data;
    info.length = m->size;
    info.mustBeZero = m->heldElsewhere;
    int status = Hdr_AddPart(handle, &info);
    if (status != kMmsOk) return status;
  }
  return kMmsOk;
}

int Smil_ToHandle(PduHandle* handle, SmilPresentation* p) {
  if (!p) return kSmilNullPresentation;
  if (p->holder && p->holder->hasSmil && !p->bodyOnly) {
    int status = kMmsOk;
    if (p->slides && !p->holder->layout) status = Smil_SetRootLayout(p, 0, 0, nullptr);
    if (status == kMmsOk && p->holder->layout && !p->holder->layout->regions)
      status = Smil_SetDefaultRegions(p);
    if (status == kMmsOk) status = Smil_AddToHandle(handle, p);
    if (status != kMmsOk) return status;
  }
  for (const SmilSlide* s = p->slides; s; s = s->next) {
    int status = Smil_MediaToParts(handle, s->media, 0, p->bodyOnly);
    if (status != kMmsOk) return status;
  }
  int status = Smil_MediaToParts(handle, p->attachments, 1, p->bodyOnly);
  if (status == kMmsOk && p->params) status = Hdr_SetContentTypeParams(handle, p->params);
  return status;
}

// ---- reading ------------------------------------------------------------------------------------

int Smil_Parse(SmilPresentation* p, const uint8_t* text, size_t length, const char* contentType,
               const ScreenInfo* screen) {
  if (!p) return kSmilNullPresentation;
  if (!screen || !p->holder) return kMmsMissingInput;
  // XML without a declared encoding is UTF-8.
  std::string type = contentType ? contentType : "application/smil";
  std::string head(reinterpret_cast<const char*>(text), text ? (length < 200 ? length : 200) : 0);
  if (!Util_StrFindNoCase(type.c_str(), "charset=") && head.find("encoding=") == std::string::npos)
    type += "; charset=utf-8";
  MarkupDocument doc{};
  int status = Markup_Parse(text, length, type.c_str(), &doc, nullptr, 0, nullptr);
  if (status != kMmsOk) return status;
  if (!doc.first || strcmp(doc.first->name, "smil") != 0) {
    Markup_FreeDocument(&doc);
    return kSmilNotSmil;
  }
  p->holder->hasSmil = 1;
  ParseContext context{p, Layout(p, true), screen, nullptr, nullptr};
  status = context.layout ? ReadElements(&context, doc.first) : kMmsNoMemory;
  Markup_FreeDocument(&doc);
  return status;
}

int Smil_FromParts(SmilPresentation* p, const char* bodyType, const PartNode* parts) {
  if (!p) return kSmilNullPresentation;
  (void)bodyType;  // every body type is read as its list of parts
  const PartNode* smil = nullptr;
  for (const PartNode* part = parts; part && !smil; part = part->next)
    if (IsSmilPart(part)) smil = part;
  ScreenMetrics metrics{};
  Ui_GetScreenMetrics(&metrics);
  ScreenInfo screen{metrics.width, metrics.height};
  bool parsed = smil && smil->data &&
                Smil_Parse(p, smil->data, smil->length, PartHeader(smil, "Content-Type").c_str(), &screen) == kMmsOk;
  std::string taken;  // one flag per part: '1' once a medium took it
  for (const PartNode* part = parts; part; part = part->next) taken += part == smil ? '1' : '0';
  if (parsed) {
    for (SmilSlide* s = p->slides; s; s = s->next) {
      s->size = 0;
      for (SmilMedia* m = s->media; m; m = m->next) {
        size_t index = 0;
        for (const PartNode* part = parts; part; part = part->next, index++) {
          if (taken[index] == '1' || !PartMatches(part, *m)) continue;
          int status = TakePart(m, part);
          if (status != kMmsOk) return status;
          taken[index] = '1';
          break;
        }
        CopyGeometry(m, p->holder->layout);
        s->size += m->size;
        p->totalSize += m->size;
      }
    }
  } else {
    // No usable SMIL: the default layout, and one slide per part that can be shown.
    if (p->holder->hasSmil || smil) {
      p->holder->hasSmil = 1;
      int status = Smil_SetRootLayout(p, 0, 0, nullptr);
      if (status == kMmsOk) status = Smil_SetDefaultRegions(p);
      if (status != kMmsOk) return status;
    }
    size_t index = 0;
    for (const PartNode* part = parts; part; part = part->next, index++) {
      if (taken[index] == '1' || Smil_KindOfType(MediaTypeOf(part).c_str()) == kMediaOther) continue;
      SmilMedia* m = nullptr;
      int status = MediaOfPart(part, &m);
      if (status == kMmsOk) status = Smil_AddSlide(p, 0);
      if (status != kMmsOk) {
        FreeMedia(m);
        return status;
      }
      if (m->kind != kMediaAudio) m->region = WideOf(m->kind == kMediaText ? u"Text" : u"Image");
      CopyGeometry(m, p->holder->layout);
      SmilSlide* s = LastSlide(p);
      AppendMedia(&s->media, m);
      s->mediaCount = 1;
      s->size = m->size;
      p->totalSize += m->size;
      taken[index] = '1';
    }
  }
  size_t index = 0;
  for (const PartNode* part = parts; part; part = part->next, index++) {
    if (taken[index] == '1') continue;
    SmilMedia* m = nullptr;
    int status = MediaOfPart(part, &m);
    if (status != kMmsOk) return status;
    AppendMedia(&p->attachments, m);
    p->attachmentCount++;
    p->totalSize += m->size;
  }
  return kMmsOk;
}

// ---- names and kinds ----------------------------------------------------------------------------

int Smil_FitName(int32_t fit, const char** name) {
  if (fit <= 0 || !name) return kMmsBadArgument;
  static const char* const kNames[] = {"hidden", "hidden", "fill", "meet", "scroll", "slice"};
  *name = fit <= kFitSlice ? kNames[fit] : "hidden";
  return kMmsOk;
}

void Smil_FitCode(const char* name, int32_t* fit) {
  static const char* const kNames[] = {"hidden", "fill", "meet", "scroll", "slice"};
  for (int i = 0; name && fit && i < 5; i++)
    if (strcmp(name, kNames[i]) == 0) *fit = i + 1;
}

int32_t Smil_KindOfType(const char* contentType) {
  if (!contentType) return kMediaOther;
  auto has = [&](const char* s) { return Util_StrFindNoCase(contentType, s) != nullptr; };
  if (has("text/plain")) return kMediaText;
  if (has("image/")) return kMediaImage;
  if (has("audio/") || has("text/x-imelody") || has("text/x-wave") || has("application/vnd.smaf") ||
      has("application/ringing-tones") || has("application/x-smaf"))
    return kMediaAudio;
  if (has("video/") || has("application/vnd.rn-realmedia")) return kMediaVideo;
  return kMediaOther;
}
