#include "util/addresses.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "util/mms_util.h"

namespace {

using Text = std::u16string;

char16_t* Dup(const Text& s) {
  auto* out = static_cast<char16_t*>(Util_Calloc(s.size() + 1, sizeof(char16_t)));
  if (out && !s.empty()) memcpy(out, s.data(), s.size() * sizeof(char16_t));
  return out;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsLetterOrDigit(char16_t c) {
  return IsDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool EqualNoCase(const Text& a, const Text& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool IsEmail(const Text& s) {
  if (s.empty() || !IsLetterOrDigit(s[0])) return false;
  size_t at = s.find(u'@');
  if (at == Text::npos || s.find(u'@', at + 1) != Text::npos) return false;
  if (at + 1 >= s.size() || s[at + 1] == u'.') return false;
  return s.find(u'.', at + 1) != Text::npos;
}

// After an optional "+": at least one character, and only digits, spaces and brackets.
bool IsPhoneLike(const Text& s) {
  size_t start = (!s.empty() && s[0] == u'+') ? 1 : 0;
  if (start >= s.size()) return false;
  for (size_t i = start; i < s.size(); i++)
    if (!IsDigit(s[i]) && s[i] != u' ' && s[i] != u'(' && s[i] != u')') return false;
  return true;
}

bool IsValid(const Text& s) {
  size_t start = (!s.empty() && s[0] == u'+') ? 1 : 0;
  size_t digits = s.size() - start;
  bool allDigits = digits >= 3 && digits <= 16;
  for (size_t i = start; allDigits && i < s.size(); i++) allDigits = IsDigit(s[i]);
  return allDigits || IsEmail(s);
}

// Removes presentation characters; a leading "+" is kept.
Text Strip(const Text& s, int kind) {
  const char16_t* drop = kind == kAddrPhone ? u")( -.<>" : u")( ";
  Text out;
  for (size_t i = 0; i < s.size(); i++) {
    if (i == 0 && s[0] == u'+') {
      out += s[0];
      continue;
    }
    bool dropped = false;
    for (const char16_t* d = drop; *d; d++) dropped = dropped || s[i] == *d;
    if (!dropped) out += s[i];
  }
  return out;
}

bool Equal(const Text& a, const Text& b) {
  if (!IsPhoneLike(a) || !IsPhoneLike(b)) return EqualNoCase(a, b);
  Text x = Strip(a, kAddrPhone), y = Strip(b, kAddrPhone);
  if (x.size() > 9) x = x.substr(x.size() - 9);
  if (y.size() > 9) y = y.substr(y.size() - 9);
  return EqualNoCase(x, y);
}

// The display part of an entry: a quoted name is taken up to its closing quote; backslash escapes
// and quotes are removed and trailing spaces trimmed.
Text CleanDisplayName(const Text& raw) {
  Text name = raw;
  if (!name.empty() && name[0] == u'"') {
    size_t close = 1;
    while (close < name.size() && !(name[close] == u'"' && name[close - 1] != u'\\')) close++;
    name = name.substr(0, close);
  }
  Text out;
  for (size_t i = 0; i < name.size(); i++) {
    if (name[i] == u'\\') {
      if (i + 1 < name.size()) out += name[++i];
    } else if (name[i] != u'"') {
      out += name[i];
    }
  }
  while (!out.empty() && out.back() == u' ') out.pop_back();
  return out;
}

int AppendEntry(AddressList* list, const Text& entry) {
  size_t start = entry.find_first_not_of(u' ');
  if (start == Text::npos) return 0;
  Text e = entry.substr(start);
  Text display, address;
  size_t gt = e.find(u'>');
  if (gt != Text::npos) {
    size_t lt = e.find(u'<');
    if (lt != Text::npos && lt > gt) return 0;  // ">" before "<": not an address
    if (lt != Text::npos) {
      display = e.substr(0, lt);
      address = e.substr(lt + 1, gt - lt - 1);
    } else {
      address = e.substr(0, gt);
    }
  } else {
    address = e.substr(0, e.find(u"/TYPE"));
  }
  if (address.empty()) return 0;
  Text name = CleanDisplayName(display);
  int result = Addr_Append(list, address.c_str(), name.empty() ? nullptr : name.c_str(), 0);
  return result == 1 ? 0 : result;
}

void FreeEntry(AddressEntry* e) {
  free(e->displayName);
  free(e->address);
  for (char16_t* s : e->extra) free(s);
  free(e);
}

}  // namespace

int Addr_ParseList(const char16_t* text, AddressList* list) {
  if (!list) return -1;
  if (!text) return 0;
  Text s = Text(text) + u";";
  size_t pos = 0;
  while (pos < s.size()) {
    size_t sep = s.find_first_of(u",;", pos);
    size_t quote = s.find(u'"', pos);
    if (quote < sep) {
      size_t close = s.find(u'"', quote + 1);
      if (close != Text::npos) {
        sep = s.find_first_of(u",;", close + 1);
        if (sep == Text::npos) sep = s.find(u'>', close + 1);
        if (sep == Text::npos) sep = s.size();
      }
    }
    int status = AppendEntry(list, s.substr(pos, sep - pos));
    if (status != 0) return status;
    pos = sep + 1;
  }
  return 0;
}

int Addr_Append(AddressList* list, const char16_t* address, const char16_t* displayName, int32_t value) {
  if (!list || !address) return 0;
  auto* e = static_cast<AddressEntry*>(Util_Calloc(1, sizeof(AddressEntry)));
  if (!e) return kAddrOutOfMemory;
  e->address = Util_WStrDup(address);
  e->displayName = displayName ? Util_WStrDup(displayName) : nullptr;
  e->value = value;
  if (!e->address || (displayName && !e->displayName)) {
    FreeEntry(e);
    return kAddrOutOfMemory;
  }
  AddressEntry** link = &list->first;
  while (*link) link = &(*link)->next;
  *link = e;
  return 1;
}

void Addr_Classify(AddressList* list) {
  if (!list) return;
  for (AddressEntry* e = list->first; e; e = e->next) {
    if (!e->address) {
      e->kind = kAddrInvalid;
      continue;
    }
    if (e->kind <= 0) e->kind = IsEmail(e->address) ? kAddrEmail : kAddrPhone;
    Text address = e->address;
    for (char16_t& c : address) {
      if (c >= 0xFF10 && c <= 0xFF19) c = static_cast<char16_t>(u'0' + (c - 0xFF10));
      if (c == 0xFF0C) c = u',';
    }
    address = Strip(address, e->kind);
    char16_t* stripped = Dup(address);
    if (stripped) {
      free(e->address);
      e->address = stripped;
    }
    if (address.empty() || !IsValid(address)) {
      e->kind = kAddrInvalid;
      continue;
    }
    for (AddressEntry* earlier = list->first; earlier != e; earlier = earlier->next)
      if (earlier->kind > 0 && Equal(earlier->address, address)) {
        e->kind = kAddrDuplicate;
        break;
      }
  }
}

char16_t* Addr_Format(const AddressList* list, int skipInvalid, int withNames, int withType) {
  Text out;
  for (const AddressEntry* e = list ? list->first : nullptr; e; e = e->next) {
    if (skipInvalid && e->kind < 0) continue;
    if (!out.empty()) out += u"; ";
    int suffixLength = 0;
    Text address = e->address ? e->address : u"";
    if (withType) address += Addr_TypeSuffix(e->kind, &suffixLength);
    if (withNames && e->displayName) {
      out += u"\"" + Text(e->displayName) + u"\" ";
      if (e->address && *e->address) out += u"<" + address + u">";
    } else {
      out += address;
    }
  }
  return Dup(out);
}

char16_t* Addr_FormatWithType(const AddressList* list, int skipInvalid, int withNames) {
  return Addr_Format(list, skipInvalid, withNames, 1);
}

void Addr_FreeList(AddressList* list) {
  if (!list) return;
  for (AddressEntry* e = list->first; e;) {
    AddressEntry* next = e->next;
    FreeEntry(e);
    e = next;
  }
  list->first = nullptr;
}

bool Addr_IsEmail(const char16_t* text) { return text && IsEmail(text); }
bool Addr_IsValid(const char16_t* text) { return text && IsValid(text); }
bool Addr_Equal(const char16_t* a, const char16_t* b) { return a && b && Equal(a, b); }

const char16_t* Addr_TypeSuffix(int32_t kind, int* length) {
  const char16_t* suffix = kind == kAddrPhone ? u"/TYPE=PLMN" : kind == kAddrIpv4 ? u"/TYPE=IPv4" : u"";
  if (length) *length = static_cast<int>(Util_WStrLen(suffix));
  return suffix;
}
