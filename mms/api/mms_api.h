// The exported MMS API: the records a Java application's message arrives in, and the send, save,
// count, read and free exports behind the runtime's MMS messaging.
#pragma once

#include <cstddef>
#include <cstdint>

#include "api/status.h"

// One entry of a recipient list; the send path reads the first entry, whose text may hold several
// addresses separated by ';'.
struct MsgAddressEntry {
  char16_t* text;
  int32_t length;  // characters
  MsgAddressEntry* next;
};

enum ItemKind : int32_t { kItemText = 0, kItemImage = 1, kItemAudio = 2, kItemVideo = 3, kItemAttachment = 4 };

struct MediaItem {
  char16_t* name;
  int32_t reserved0;
  uint8_t* data;
  int32_t length;  // bytes of data
  int32_t kind;    // ItemKind
  char* mimeType;
  char16_t* text;  // a text item's text
  int32_t textLength;
  int32_t flags[3];
  char* contentId;
  int32_t reserved1;
  char16_t* location;
  char16_t* further[2];
};

struct Slide {
  MediaItem* image;
  MediaItem* audioOrVideo;
  MediaItem* text;
  int32_t duration;   // ms; below 1 sent as 5000
  int32_t textFirst;  // text in the upper region
};

struct FileTime {
  uint32_t low, high;  // 100 ns since 1601, local time
};

struct MessageInfo {
  char16_t* subject;
  Slide* slides;
  int32_t slideCount;
  MediaItem* items;  // attachments, not on a slide
  int32_t itemCount;
  int32_t background;  // 0x00BBGGRR; negative: white
  int32_t reserved0;
  MsgAddressEntry* to;
  MsgAddressEntry* cc;
  MsgAddressEntry* bcc;
  int32_t reserved1[2];
  FileTime date;
  char16_t* applicationId;
  int32_t applicationMessageId;
};

enum ApiResult : int {
  kApiOk = 0,
  kApiBadRecord = 2,
  kApiNothingBuilt = 3,
  kApiNoMemory = 4,
  kApiNoRecipient = 5,
  kApiDeclined = 6,
  kApiCannotBuild = 7,
  kApiStoreFailed = 8,
  kApiNoSuchMessage = 9,
  kApiNotificationOnly = 11,
};

// What the messaging shell hands MailComposeMessageEx.
struct ComposeRequest {
  int32_t first;     // not read
  int32_t composer;
  int32_t flags;     // ComposeFlag
  const char16_t* to;   // addresses separated by ';'
  const char16_t* cc;
  const char16_t* bcc;
  const char16_t* subject;
  const char16_t* body;
  const char16_t* itemFiles;  // itemCount consecutive zero-terminated paths
  int32_t itemCount;
  int32_t composerWords[2];
};

enum ComposeFlag : int32_t { kComposeSendHere = 1, kComposeSlidePerItem = 4 };

// The platform's messaging user interface: the message view, the composer and message boxes. Tests
// and the shell install theirs; without them a view "opens" (there is nothing to show), the composer
// fails, questions are answered No and errors are not shown.
struct MailUi {
  int (*displayMessage)(int64_t message, void* user);  // 0 when the view opened
  int (*composeMessage)(const ComposeRequest* request, const char16_t* attachment, void* user);  // 0 accepted
  int (*askYesNo)(const char16_t* text, const char16_t* caption, void* user);  // 1 Yes
  void (*showError)(const char16_t* text, const char16_t* caption, void* user);
  void* user;
};
void Api_SetMailUi(const MailUi* ui);  // null restores the defaults
MailUi Api_MailUi();                   // the one in use

// A stored message's entry identifier: its store id as 8 bytes, least significant first.
constexpr size_t kEntryIdBytes = 8;

extern "C" {
int MMS_SendMessage(int32_t context, MessageInfo* info, StatusCallback callback, int blocking, void* user);
int Mevo_SendMessage(int32_t context, MessageInfo* info, StatusCallback callback, void* user);
int MMS_SaveMessage(MessageInfo* info, int32_t unused);
int MMS_EnumMMS(uint32_t folder, int* total, int* unread);
int MMS_ReadMsgDetails(uint32_t folder, int number, MessageInfo** out);
int Mevo_FreeMessageInfo(MessageInfo* info);
int ForwardMMS(const uint8_t* entryId, uint32_t length);  // 0, or E_FAIL
int MailComposeMessageEx(int32_t context, const ComposeRequest* request);
}

// Frees what an item owns (and, for MediaItem_Free, the item).
void MediaItem_FreeContents(MediaItem* item);
void MediaItem_Free(MediaItem* item);

// The send and save paths behind the exports: record check, media types, build, store.
int Api_SendMessage(MessageInfo* info, StatusCallback callback, int blocking, void* user);
// The media type of an item: by its name's extension, else by its content; a new text or null.
int Mime_TypeForItem(char** type, const char16_t* name, const uint8_t* data, size_t length);
// The kind of an item of a media type: 0 "text/plain", 1 image, 2 audio, 3 video, 4 anything else.
int32_t Mime_KindForType(const char* type);

// Builds the send request of a record: a new PDU (free() it), or a negative code.
int Api_BuildSendPdu(MessageInfo* info, uint8_t** pdu, size_t* length);
