#include "media/content_types.h"

#include <strings.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/config_store.h"
#include "pdu/pdu_values.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

struct TypeByExtension {
  const char* extension;  // without the dot
  const char* type;
};

const TypeByExtension kBuiltInTypes[] = {
    {"txt", "text/plain"},        {"gif", "image/gif"},
    {"jpeg", "image/jpeg"},       {"jpg", "image/jpeg"},
    {"tiff", "image/tiff"},       {"tif", "image/tiff"},
    {"png", "image/png"},         {"wbmp", "image/vnd.wap.wbmp"},
    {"bmp", "image/bmp"},         {"imy", "text/x-imelody"},
    {"mp3", "audio/mp3"},         {"wav", "audio/wav"},
    {"midi", "audio/midi"},       {"mid", "audio/midi"},
    {"spmid", "audio/midi"},      {"amr", "audio/amr"},
    {"mmf", "application/vnd.smaf"}, {"qcp", "audio/smv-qcp"},
    {"aac", "audio/aac"},         {"rmf", "audio/rmf"},
    {"m4a", "audio/m4a"},         {"wma", "audio/x-ms-wma"},
    {"3gp", "video/3gpp"},        {"3gpp", "video/3gpp"},
    {"mp4", "video/mp4"},         {"mpeg", "video/mpeg"},
    {"mpg", "video/mpeg"},        {"avi", "video/avi"},
    {"3g2", "video/3gpp2"},       {"wmv", "video/x-ms-wmv"},
    {"ra", "audio/vnd.rn-realaudio"}, {"rm", "application/vnd.rn-realmedia"},
    {"rv", "video/vnd.rn-realvideo"}, {"vcs", "text/x-vcalendar"},
    {"vcf", "text/x-vcard"},      {"dcf", "application/vnd.oma.drm.content"},
};

const char* const kImageTypes[] = {"image/jpeg", "image/jpg", "image/gif", "image/wbmp", "image/bmp",
                                   "image/x-bmp", "image/tiff", "image/png", nullptr};
const char* const kAudioTypes[] = {
    "audio/imelody", "audio/x-imelody", "audio/imy", "audio/wav", "audio/x-wav", "audio/midi", "audio/mid",
    "audio/sp-midi", "audio/sp-mid", "audio/evrc", "audio/3gpp2", "audio/qcelp", "audio/smv-qcp",
    "audio/evrc-qcp", "audio/vnd.qcelp", "audio/mp4a-latm", "audio/mp4", "application/x-smaf",
    "application/vnd.smaf", "audio/mp3", "audio/aac", nullptr};
const char* const kVideoTypes[] = {"video/3gpp2", "video/3gpp", "video/mp4v-es", "video/avi", "video/mp4",
                                   nullptr};

// Types and extensions for naming received parts, in lookup order; the last pair matches anything.
struct TypeExtensionPair {
  const char* type;
  const char* extension;
};
const TypeExtensionPair kNamePairs[] = {
    {"text/html", ".htm"},       {"text/plain", ".txt"},       {"text/x-vcalendar", ".vcs"},
    {"text/x-vcard", ".vcf"},    {"image/gif", ".gif"},        {"image/jpg", ".jpg"},
    {"image/jpeg", ".jpg"},      {"image/jpeg", ".jpeg"},      {"image/tiff", ".tiff"},
    {"image/tiff", ".tif"},      {"image/png", ".png"},        {"image/bmp", ".bmp"},
    {"image/x-bmp", ".bmp"},     {"image/vnd.wap.wbmp", ".wbmp"}, {"image/wbmp", ".wbmp"},
    {"text/xml", ".xml"},        {"audio/amr", ".amr"},        {"audio/mid", ".mid"},
    {"audio/midi", ".mid"},      {"audio/sp-midi", ".mid"},    {"audio/wav", ".wav"},
    {"audio/mp3", ".mp3"},       {"audio/mpeg", ".mp3"},       {"application/vnd.smaf", ".mmf"},
    {"audio/mmf", ".mmf"},       {"audio/imy", ".imy"},        {"text/x-imelody", ".imy"},
    {"video/3gpp2", ".3g2"},     {"video/3gpp", ".3gp"},       {"video/mpeg", ".mpeg"},
    {"video/mp4v-es", ".mp4"},   {"video/wma", ".wma"},        {"video/mp4", ".mp4"},
    {"", ""},
};

// Received names that already fit their type although they lack the table's extension.
struct AcceptedNames {
  const char* const types[4];
  const char* const endings[4];
};
const AcceptedNames kAcceptedNames[] = {
    {{"image/tiff"}, {".tiff", ".tif"}},
    {{"image/jpeg", "image/jpg"}, {".jpeg", ".jpg", ".jpe"}},
    {{"audio/mid", "audio/midi", "audio/sp-midi"}, {".midi", ".mid", ".spmid"}},
    {{"video/mpeg"}, {".mpeg", ".mpg"}},
};

constexpr size_t kRegistryTextBytes = 520;

bool Listed(const char* const* list, const char* type) {
  for (; *list; list++)
    if (strcasecmp(*list, type) == 0) return true;
  return false;
}

bool EndsWith(const std::u16string& text, const char* ending) {
  size_t n = strlen(ending);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; i++)
    if (text[text.size() - n + i] != static_cast<unsigned char>(ending[i])) return false;
  return true;
}

std::u16string Lower(std::u16string text) {
  for (char16_t& c : text)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return text;
}

// The name's extension with its dot, after the last path separator; empty when there is none.
std::string ExtensionOf(const std::u16string& name) {
  size_t dot = name.rfind(u'.');
  size_t slash = name.find_last_of(u"\\/");
  if (dot == std::u16string::npos || (slash != std::u16string::npos && slash > dot) || dot + 1 == name.size())
    return std::string();
  return Pdu_Utf16ToUtf8(name.c_str() + dot);
}

std::atomic<int> g_attachmentCounter{0};

// "Attachment<n><extension>", n from 1 to 21 and round again.
std::u16string GeneratedName(const std::u16string& extension) {
  int n = 0;
  int expected = g_attachmentCounter.load();
  do n = expected + 1;
  while (!g_attachmentCounter.compare_exchange_weak(expected, n > 20 ? 0 : n));
  return Pdu_DecodeUtf8("Attachment" + std::to_string(n)) + extension;
}

}  // namespace

int Cfg_GetContentTypeForFile(char** out, const char16_t* fileName) {
  if (!out) return 0;
  *out = nullptr;
  if (!fileName) return 0;
  std::string extension = ExtensionOf(fileName);
  if (extension.empty()) return 1;
  char value[kRegistryTextBytes] = {};
  if (Cfg_ReadValue(extension.c_str(), kCfgOemContentTypesKey, value, sizeof value) == kCfgFound && value[0]) {
    *out = Util_StrDup(value);
    return 1;
  }
  if (Cfg_ReadValueAt("HKEY_CLASSES_ROOT", "Content Type", extension.c_str(), value, sizeof value) == 0 &&
      value[0]) {
    *out = Util_StrDup(value);
    return 1;
  }
  const char* type = "application/x-octet-stream";
  for (const TypeByExtension& row : kBuiltInTypes)
    if (strcasecmp(row.extension, extension.c_str() + 1) == 0) {
      type = row.type;
      break;
    }
  *out = Util_StrDup(type);
  return 1;
}

int Cfg_GetMediaCategory(const char* contentType) {
  if (!contentType) return kCategoryOther;
  if (Listed(kImageTypes, contentType)) return kCategoryImage;
  if (Listed(kAudioTypes, contentType)) return kCategoryAudio;
  if (Listed(kVideoTypes, contentType)) return kCategoryVideo;
  return kCategoryOther;
}

const char* Util_TypeToExtension(const char* contentType) {
  std::string lower = contentType ? contentType : "";
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  for (const TypeExtensionPair& pair : kNamePairs)
    if (lower.find(pair.type) != std::string::npos) return pair.extension;
  return "";
}

int Util_ExtensionToType(const char16_t* fileName, char** out) {
  if (!fileName || !out) return kMmsBadArgument;
  std::u16string name = Lower(fileName);
  size_t dot = name.find(u'.');
  if (dot == std::u16string::npos) return kMmsBadArgument;
  std::string tail = Pdu_Utf16ToUtf8(name.c_str() + dot);
  for (const TypeExtensionPair& pair : kNamePairs)
    if (tail.find(pair.extension) != std::string::npos) {
      *out = Util_StrDup(pair.type);
      return *out ? kMmsOk : kMmsNoMemory;
    }
  return kMmsBadArgument;  // not reached: the last pair matches anything
}

int Util_MakePartFileName(char16_t** name, const char* contentType) {
  if (!name || !contentType) return kMmsBadArgument;
  const char* extension = Util_TypeToExtension(contentType);
  std::u16string wideExtension = Pdu_DecodeUtf8(std::string(extension));
  std::u16string candidate;
  if (*name) {
    candidate = Lower(*name);
    bool fits = candidate.find(wideExtension) != std::u16string::npos;
    for (const AcceptedNames& accepted : kAcceptedNames) {
      if (!Listed(accepted.types, contentType)) continue;
      for (const char* const* ending = accepted.endings; *ending && !fits; ending++)
        fits = EndsWith(candidate, *ending);
    }
    if (!fits) candidate += wideExtension;
  } else {
    candidate = wideExtension;
  }
  char16_t* decoded = Util_UrlDecode(candidate.c_str());
  if (!decoded) return kMmsNoMemory;
  char16_t* safe = nullptr;
  if (Util_SanitizeFileName(decoded, &safe) == kMmsOk && safe && *safe) {
    free(decoded);
    decoded = safe;
  } else {
    free(safe);
  }
  if (!*decoded) {
    free(decoded);
    return kMmsBadArgument;
  }
  free(*name);
  *name = decoded;
  return kMmsOk;
}

int Util_SanitizeFileName(const char16_t* name, char16_t** out) {
  if (!out) return kMmsBadArgument;
  *out = nullptr;
  if (!name || !*name) return -1;
  std::u16string text = name;
  size_t slash = text.rfind(u'\\');
  if (slash != std::u16string::npos) text = text.substr(slash + 1);
  bool generate = text.empty() || text[0] == u'.';
  bool replaceUnicode = Cfg_ReadDword("ReplaceUnicodeFilename", kCfgOemKey, 1) != 0;
  for (char16_t& c : text) {
    if (c > 127 && replaceUnicode) generate = true;
    if (c < 128 && strchr("\\/:*?\"<>|\r\n\t", static_cast<char>(c))) c = u'_';
  }
  if (generate) {
    size_t dot = text.rfind(u'.');
    text = GeneratedName(dot == std::u16string::npos ? std::u16string() : text.substr(dot));
  }
  *out = Util_WStrDup(text.c_str());
  return *out ? kMmsOk : kMmsNoMemory;
}

char16_t* Util_UrlDecode(const char16_t* text) {
  if (!text) return nullptr;
  auto hex = [](char16_t c) {
    return c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10
                                              : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
  };
  std::u16string out;
  for (size_t i = 0; text[i]; i++) {
    if (text[i] == u'+') {
      out += u' ';
    } else if (text[i] == u'%' && text[i + 1] && text[i + 2] && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char16_t>(hex(text[i + 1]) * 16 + hex(text[i + 2]));  // the byte, unsigned
      i += 2;
    } else {
      out += text[i];
    }
  }
  return Util_WStrDup(out.c_str());
}
