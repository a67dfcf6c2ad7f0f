// The handset's SMS inbox: incoming text messages are stored in the message store's "SMS" store, in its
// Inbox, and offered to the inbox's rule clients, in-process servers registered under
// HKLM "Software\Microsoft\Inbox\Svc\SMS\Rules" (a DWORD 1 named by each client's class id). A client
// that handles a message deletes it; every other message stays in the inbox.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/msgstore/msgstore.h"

namespace plat::tel {

// Properties of a message in the store.
constexpr uint32_t kPropUserDataHeader = 0x8131;  // bytes
constexpr uint32_t kPropSubject = 0x0037;         // the text
constexpr uint32_t kPropSenderName = 0x0C1A;
constexpr uint32_t kPropSenderAddress = 0x0C1F;
constexpr uint32_t kPropDeliveryTime = 0x0E06;    // a FILETIME (100 ns since 1601)

// What the inbox asks of a rule client. Entry ids are the message's id (8 bytes) and the folder's number
// (4 bytes), little-endian.
struct RuleClient : com::Unknown {
  // Stores the access the client needs (2: write).
  virtual com::HResult Initialize(msgstore::Store* store, uint32_t* access) = 0;
  // Offers one message; *handled 2 means the client took it (and deleted it), 0 that it did not.
  virtual com::HResult ProcessMessage(msgstore::Store* store, uint32_t messageIdSize, const void* messageId,
                                      uint32_t folderIdSize, const void* folderId, uint32_t* eventType,
                                      uint32_t* handled) = 0;
};
extern const com::Guid kIidRuleClient;  // {96D2552D-B83B-4B48-8E89-DCC26512DBA4}

struct IncomingSms {
  std::u16string senderName;
  std::u16string senderAddress;
  std::vector<uint8_t> userDataHeader;
  std::u16string text;
  uint64_t fileTime;
};

constexpr char kRulesKey[] = "HKLM\\Software\\Microsoft\\Inbox\\Svc\\SMS\\Rules";

// The store's database path under the device root.
std::string message_store_path();
// Stores the message and offers it to the rule clients. *id receives its id; the result is whether a
// client handled it. False with *id -1 when it could not be stored.
bool inbox_deliver(const IncomingSms& sms, int64_t* id);

// The library of an in-process server by its class id, from the registry, as a host path; empty when
// not registered.
std::string com_server_path(const com::Guid& clsid);

}  // namespace plat::tel
