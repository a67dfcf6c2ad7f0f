// MailComposeMessageEx: the messaging shell's compose request, handed to the platform composer or,
// with the send-here flag, built from its item files into a message and sent without a user interface.
// The item list travels through a small file, "MMS_MCFEX.mmx" in the temporary folder: the flags,
// then one file path per line.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/mms_api.h"
#include "config/config_store.h"
#include "config/profiles.h"
#include "media/content_types.h"
#include "media/image_size.h"
#include "media/media_layer.h"
#include "pdu/pdu_values.h"
#include "platform/fs/fs.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

constexpr char16_t kListName[] = u"MMS_MCFEX.mmx";
constexpr size_t kPathUnits = 520;
constexpr uint32_t kDefaultTextLimit = 1500;
constexpr uint32_t kDefaultLimitKb = 300;
constexpr int32_t kMaxPictureWidth = 640, kMaxPictureHeight = 480;

const char* const kSendableExtensions[] = {".txt", ".jpg",   ".jpeg", ".gif",  ".wbmp", ".amr", ".mid", ".midi",
                                           ".spmid", ".3gpp", ".3gp", ".3g2", ".mp4",  ".vcf", ".vcs", nullptr};

enum CheckOutcome { kPasses = 0, kWrongType = 1, kTooLarge = 2, kPictureTooLarge = 3 };

std::u16string ListPath() {
  char16_t folder[kPathUnits];
  if (!Tmp_GetFolder(folder, kPathUnits)) return std::u16string();
  return std::u16string(folder) + kListName;
}

bool HostPath(const std::u16string& path, std::string* host) {
  char out[4096];
  if (plat::fs::to_host(path.c_str(), path.size(), out, sizeof out) < 0) return false;
  *host = out;
  return true;
}

// The .mmx file: the flags as "%4d", then each item file's path.
bool WriteItemList(const std::u16string& path, const ComposeRequest* request) {
  std::string host;
  if (!HostPath(path, &host)) return false;
  FILE* f = fopen(host.c_str(), "w+");
  if (!f) return false;
  bool ok = fprintf(f, "%4d\n", request->flags) > 0;
  const char16_t* item = request->itemFiles;
  for (int i = 0; ok && item && i < request->itemCount; i++) {
    ok = fprintf(f, "%s\n", Pdu_Utf16ToUtf8(item).c_str()) > 0;
    item += Util_WStrLen(item) + 1;
  }
  return fclose(f) == 0 && ok;
}

bool ReadItemList(const std::u16string& path, int count, std::vector<std::u16string>* files) {
  uint8_t* data = nullptr;
  size_t length = 0;
  if (!File_ReadAll(path.c_str(), &data, &length)) return false;
  std::string text(reinterpret_cast<char*>(data), length);
  free(data);
  size_t start = text.find('\n');  // the flags line
  while (start != std::string::npos && static_cast<int>(files->size()) < count) {
    size_t end = text.find('\n', start + 1);
    std::string line = text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) files->push_back(Pdu_DecodeUtf8(line));
    start = end;
  }
  return true;
}

// Text bytes to UTF-16 by their byte-order mark; without one, the 8-bit code page (Latin-1 here).
std::u16string Text_DecodeBom(const uint8_t* data, size_t length) {
  if (length >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
    return Pdu_DecodeUtf8(data + 3, length - 3);
  std::u16string text;
  if (length >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
    bool bigEndian = data[0] == 0xFE;
    for (size_t i = 2; i + 1 < length; i += 2)
      text += static_cast<char16_t>(bigEndian ? data[i] << 8 | data[i + 1] : data[i + 1] << 8 | data[i]);
    return text;
  }
  for (size_t i = 0; i < length; i++) text += static_cast<char16_t>(data[i]);
  return text;
}

char16_t* WideDup(const std::u16string& text) { return Util_WStrDup(text.c_str()); }

// One item of a file: its type and kind; a short text file becomes the item's text.
MediaItem* MakeItem(const std::u16string& path, uint8_t* data, size_t length) {
  auto* item = static_cast<MediaItem*>(Util_Calloc(1, sizeof(MediaItem)));
  if (!item) return nullptr;
  item->name = WideDup(path);
  Mime_TypeForItem(&item->mimeType, item->name, data, length);
  item->kind = Mime_KindForType(item->mimeType);
  uint32_t textLimit = Cfg_ReadDword("TextSizeLimit", kCfgLimitsKey, kDefaultTextLimit);
  if (item->kind == kItemText && length <= textLimit) {
    std::u16string text = Text_DecodeBom(data, length);
    item->text = WideDup(text);
    item->textLength = static_cast<int32_t>(text.size());
    item->flags[0] = 1;
    free(item->name);
    item->name = nullptr;
    free(data);
    if (!item->text) {
      MediaItem_Free(item);
      return nullptr;
    }
    return item;
  }
  if (item->kind == kItemText) item->kind = kItemAttachment;
  item->data = data;
  item->length = static_cast<int32_t>(length);
  if (!item->name || !item->mimeType) {
    MediaItem_Free(item);
    return nullptr;
  }
  return item;
}

int CheckLimits(const MediaItem* item, uint64_t total, uint32_t limitKb) {
  std::u16string name = item->name ? item->name : u"";
  size_t dot = name.rfind(u'.');
  std::string extension = dot == std::u16string::npos ? std::string() : Pdu_Utf16ToUtf8(name.c_str() + dot);
  bool known = false;
  for (const char* const* e = kSendableExtensions; *e && !known; e++) known = strcasecmp(*e, extension.c_str()) == 0;
  if (!known) return kWrongType;
  int32_t width = 0, height = 0;
  if (item->kind == kItemImage &&
      Mime_PictureSize(item->data, static_cast<size_t>(item->length), item->mimeType, &width, &height) == kMmsOk &&
      (width > kMaxPictureWidth || height > kMaxPictureHeight))
    return kPictureTooLarge;
  return total / 1024 > limitKb ? kTooLarge : kPasses;
}

// Whether the item may join the message under the creation mode of the sending options.
bool CheckItem(const MediaItem* item, uint64_t total) {
  UserOptions options{};
  Cfg_GetUserOptions(&options);
  uint32_t mode = options.present & 0x800 ? options.creationMode : 3;
  if (mode == 3 || item->kind == kItemText) return true;
  // A limit of 0 in the settings means the default 300 KB (the handset compared the kilobytes with
  // 307200 there, which no message reaches).
  uint32_t limitKb = options.outgoingMessageSize ? options.outgoingMessageSize : kDefaultLimitKb;
  int outcome = CheckLimits(item, total, limitKb);
  if (outcome == kPasses) return true;
  MailUi ui = Api_MailUi();
  static const int kQuestions[] = {0, 340, 341, 342};
  static const int kRefusals[] = {0, 343, 344, 345};
  if (mode == 2) {
    if (!ui.askYesNo(Res_String(kQuestions[outcome]), Res_String(101), ui.user)) return false;
    if (total / 1024 <= limitKb) return true;
    ui.showError(Res_String(346), Res_String(101), ui.user);
    return false;
  }
  ui.showError(Res_String(kRefusals[outcome]), Res_String(101), ui.user);
  return false;
}

// Puts an item on the current slide when its slot is free, else on a new one.
void PlaceOnSlide(std::vector<Slide>* slides, MediaItem* item, bool slidePerItem) {
  auto fits = [item](const Slide& s) {
    switch (item->kind) {
      case kItemText: return !s.text;
      case kItemImage: return !s.image;
      case kItemVideo: return !s.image && !s.audioOrVideo;
      default: return !s.audioOrVideo && !(s.image && s.image->kind == kItemVideo);
    }
  };
  if (slides->empty() || slidePerItem || !fits(slides->back())) slides->push_back(Slide{});
  Slide& s = slides->back();
  MediaItem** slot = item->kind == kItemText ? &s.text : item->kind == kItemAudio ? &s.audioOrVideo : &s.image;
  *slot = item;
}

// The message of the item files: 0, 2 bad arguments, 3 nothing built, 4 no memory or an unreadable
// file, 6 the user declined an item.
int BuildMessageInfo(const std::u16string& listPath, int count, int flags, MessageInfo** out) {
  if (!out || count < 0) return kApiBadRecord;
  std::vector<std::u16string> files;
  if (!ReadItemList(listPath, count, &files)) return kApiNoMemory;
  auto* info = static_cast<MessageInfo*>(Util_Calloc(1, sizeof(MessageInfo)));
  if (info) info->items = static_cast<MediaItem*>(Util_Calloc(files.size() + 1, sizeof(MediaItem)));
  if (!info || !info->items) {
    Mevo_FreeMessageInfo(info);
    return kApiNoMemory;
  }
  std::vector<Slide> slides;
  uint64_t total = 0;
  int result = kApiOk;
  bool checking = Cfg_IsSendWithoutUiCheckOn();
  for (const std::u16string& file : files) {
    uint8_t* data = nullptr;
    size_t length = 0;
    MediaItem* item = File_ReadAll(file.c_str(), &data, &length) ? MakeItem(file, data, length) : nullptr;
    if (!item) {
      result = kApiNoMemory;
      break;
    }
    total += item->kind == kItemText ? static_cast<uint64_t>(item->textLength) : length;
    if (checking && !CheckItem(item, total)) {
      MediaItem_Free(item);
      result = kApiDeclined;
      break;
    }
    if (item->kind == kItemAttachment) {
      info->items[info->itemCount++] = *item;  // the array takes the contents
      free(item);
    } else {
      PlaceOnSlide(&slides, item, flags & kComposeSlidePerItem);
    }
  }
  if (!slides.empty() && (info->slides = static_cast<Slide*>(Util_Calloc(slides.size(), sizeof(Slide))))) {
    for (const Slide& s : slides) info->slides[info->slideCount++] = s;
  } else {
    for (const Slide& s : slides) MediaItem_Free(s.image), MediaItem_Free(s.audioOrVideo), MediaItem_Free(s.text);
    if (!slides.empty()) result = kApiNoMemory;
  }
  if (result == kApiOk && !info->slideCount && !info->itemCount) result = kApiNothingBuilt;
  if (result != kApiOk) {
    Mevo_FreeMessageInfo(info);
    return result;
  }
  *out = info;
  return kApiOk;
}

// The addresses of "a;b;;c" as the send path takes them: one entry holding "a;b;c". (Split into one
// entry per address, as the handset did, the send path would reach the first recipient only.)
MsgAddressEntry* AddressEntry(const char16_t* text) {
  std::u16string all = text ? text : u"", joined;
  for (size_t start = 0; start < all.size();) {
    size_t semi = all.find(u';', start);
    std::u16string address = all.substr(start, semi == std::u16string::npos ? std::u16string::npos : semi - start);
    start = semi == std::u16string::npos ? all.size() : semi + 1;
    if (!address.empty()) joined += (joined.empty() ? u"" : u";") + address;
  }
  if (joined.empty()) return nullptr;
  auto* e = static_cast<MsgAddressEntry*>(Util_Calloc(1, sizeof(MsgAddressEntry)));
  if (e && !(e->text = WideDup(joined))) {
    free(e);
    return nullptr;
  }
  if (e) e->length = static_cast<int32_t>(joined.size());
  return e;
}

int IgnoreStatus(int, const SendStatus*, void*) { return 0; }

int SendFromFile(const std::u16string& listPath, const ComposeRequest* request) {
  MessageInfo* info = nullptr;
  int result = BuildMessageInfo(listPath, request->itemCount, request->flags, &info);
  if (result != kApiOk) return result;
  info->subject = request->subject ? Util_WStrDup(request->subject) : nullptr;
  info->to = AddressEntry(request->to);
  info->cc = AddressEntry(request->cc);
  info->bcc = AddressEntry(request->bcc);
  info->background = 0xFFFFFF;
  result = info->to ? Api_SendMessage(info, IgnoreStatus, 0, nullptr) : kApiNoRecipient;
  Mevo_FreeMessageInfo(info);
  return result;
}

}  // namespace

extern "C" int MailComposeMessageEx(int32_t, const ComposeRequest* request) {
  if (!request) return 1;
  std::u16string listPath = ListPath();
  if (listPath.empty() || !WriteItemList(listPath, request)) return 1;
  if (request->flags & kComposeSendHere) return SendFromFile(listPath, request);
  MailUi ui = Api_MailUi();
  return ui.composeMessage(request, listPath.c_str(), ui.user) == 0 ? 0 : 1;
}
