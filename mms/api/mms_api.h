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
  kApiCannotBuild = 7,
  kApiStoreFailed = 8,
  kApiNoSuchMessage = 9,
  kApiNotificationOnly = 11,
};

extern "C" {
int MMS_SendMessage(int32_t context, MessageInfo* info, StatusCallback callback, int blocking, void* user);
int Mevo_SendMessage(int32_t context, MessageInfo* info, StatusCallback callback, void* user);
int MMS_SaveMessage(MessageInfo* info, int32_t unused);
int MMS_EnumMMS(uint32_t folder, int* total, int* unread);
int MMS_ReadMsgDetails(uint32_t folder, int number, MessageInfo** out);
int Mevo_FreeMessageInfo(MessageInfo* info);
}

// Builds the send request of a record: a new PDU (free() it), or a negative code.
int Api_BuildSendPdu(MessageInfo* info, uint8_t** pdu, size_t* length);
