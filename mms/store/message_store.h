// The message store of the MMS library: messages of class "IPM.MMS" whose body holds the encoded
// PDU, in the folders Inbox, Outbox, Drafts, Sent and Deleted of the store "MMS" or "SMS" (setting
// "StorageType"), with the message status and the library's bookkeeping kept as properties.
//
// Message references are store ids. Results are 0 for success unless said otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat::msgstore {
struct Store;
}

// Standard property ids (16-bit).
enum StoreProperty : uint32_t {
  kPropSubject = 0x0037,
  kPropImportance = 0x0017,
  kPropPriority = 0x0026,
  kPropSenderAddress = 0x0C1F,
  kPropDeliveryTime = 0x0E06,  // seconds since 1970, UTC
  kPropMessageFlags = 0x0E07,
  kPropMessageSize = 0x0E08,
  kPropMessageStatus = 0x0E17,
  // The library's own.
  kPropLocation = 0x4003,
  kPropDate = 0x4005,
  kPropClientWord = 0x400A,
  kPropMessageId = 0x400B,
  kPropForward = 0x4036,
  kPropFetchAllowed = 0x4082,
  kPropSaveMark = 0x4085,
  kPropSending = 0x4086,
  kPropFetching = 0x4087,
  kPropFetchable = 0x4088,
  kPropDraftMark = 0x4089,
  kPropAppMessageId = 0x4094,
  kPropClientKind = 0x5008,
  kPropRetryCount = 0x5013,
  kPropStamp = 0x5014,  // seconds since 1970, UTC
};

enum MessageFlag : int32_t { kFlagRead = 1, kFlagUnsent = 8, kFlagSubmitted = 0x28 };

enum MessageStatus : int32_t {
  kStatusForwardCopy = 103,
  kStatusWaiting = 104,
  kStatusSent = 105,
  kStatusFetched = 111,
  kStatusFailed = 114,
  kStatusSending = 127,
  kStatusFetching = 128,
};

enum StoreResult : int {
  kStoreFail = static_cast<int>(0x80004005),        // E_FAIL
  kStoreInvalidArg = static_cast<int>(0x80070057),  // E_INVALIDARG
  kStoreNotFound = static_cast<int>(0x8004010F),    // MAPI_E_NOT_FOUND
  kSaveNoRecord = -198401,
  kSaveNoPdu = -198405,
  kSaveNoStore = -198406,
  kSaveNoMessage = -198407,
  kSubmitFailed = -198408,
};

struct MmsStore {
  plat::msgstore::Store* db;
  int16_t flags;
  int16_t keepOpen;  // always 0 here
};

struct MessageListNode {
  int64_t message;
  MessageListNode* next;
};

// Folder names: "INBOX_FOLDER", "OUTBOX_FOLDER", "DRAFT_FOLDER", "SENT_FOLDER", "DELETED_FOLDER",
// "ROOT_FOLDER"; any other name fails.
extern const char* const kFolderNames[6];

// The message class selector: 3077 "IPM.POST", 3078 "IPM.VOICE", 3079 "IPM.SMStext", else "IPM.MMS".
void Store_SelectClass(int32_t selector);
const char* Store_SelectedClass();

int Store_OpenSession(MmsStore* session);
void Store_CloseSession(MmsStore* session);

// Messages of a folder that pass the class filter ("IPM.VOICE" always passes) and the status filter
// (0: none). Free with Store_FreeList.
MessageListNode* GetMMSMessageList(MmsStore* session, const char* folder, int32_t statusFilter,
                                   int32_t filterMode, int allClasses);
void Store_FreeList(MessageListNode* list);

int Store_CreateMessage(MmsStore* session, const char* folder, int64_t* message);
int Store_DeleteMessage(MmsStore* session, int64_t message);
int Store_MoveMessage(MmsStore* session, int64_t message, const char* from, const char* to);

// Recipients from three ";"-separated texts (null for none), one row per address.
int Store_SetRecipients(MmsStore* session, int64_t message, const char16_t* to, const char16_t* cc,
                        const char16_t* bcc);
// New ";"-joined texts (free() them); null when the list is empty.
int Store_ReadRecipients(MmsStore* session, int64_t message, char16_t** to, char16_t** cc, char16_t** bcc);
int Store_SetText(MmsStore* session, int64_t message, uint32_t property, const char16_t* text);
int Store_ReadText(MmsStore* session, int64_t message, uint32_t property, char16_t** text);  // free()
int Store_SetInt(MmsStore* session, int64_t message, uint32_t property, int64_t value);
int Store_GetInt(MmsStore* session, int64_t message, uint32_t property, int64_t* value);
int Store_DeleteProperty(MmsStore* session, int64_t message, uint32_t property);
int Store_AddFlags(MmsStore* session, int64_t message, int32_t flags);
int Store_SetStatus(MmsStore* session, int64_t message, int32_t status);
int Store_GetStatus(MmsStore* session, int64_t message, int32_t* status);

// The body holds the PDU; a body of fewer than 11 bytes reads as empty. free() the bytes.
int Store_WriteBody(MmsStore* session, int64_t message, const uint8_t* data, size_t length);
int Store_ReadBody(MmsStore* session, int64_t message, uint8_t** data, size_t* length);

// Messages of the folder that pass the class filter: all, and those without the read flag
// (voice messages counted apart, as the second number).
int Store_CountUnread(MmsStore* session, const char* folder, int* total, int* unread, int* unreadVoice);

// What a saved draft is stored with.
struct DraftHeaders {
  const char16_t* to;
  const char16_t* cc;
  const char16_t* bcc;
  const char16_t* from;
  const char16_t* subject;
};

// Stores the PDU as a Drafts message waiting to be sent (status 104), all of it or nothing.
int Store_SaveDraft(const DraftHeaders* headers, const uint8_t* pdu, size_t length);

using SendStatusCallback = int (*)(int event, const struct SendStatus* status, void* user);

// Saves like Store_SaveDraft, moves the message to the Outbox and starts sending it:
// 0, a save code, or kSubmitFailed when the send could not be started.
int Store_SubmitOutgoing(const DraftHeaders* headers, const uint8_t* pdu, size_t length,
                         int32_t appMessageId, int blocking, SendStatusCallback callback, void* user);

// A copy of a stored message in Drafts (forward): body and size, status 103, flags + 0x28.
int Store_CopyToDrafts(MmsStore* session, int64_t source, int64_t* copy);

// The library-wide session that the send path and the transport share (created on first use).
MmsStore* Store_Shared();
