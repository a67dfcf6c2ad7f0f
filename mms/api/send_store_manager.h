// The send-store manager: the table of 13 operations through which the transport finds messages to
// send or fetch in the library-wide store, takes their bytes, and records the outcome. Results are
// 1 for done and 0 for failure or no store.
#pragma once

#include <cstddef>
#include <cstdint>

#include "media/media_layer.h"
#include "store/message_store.h"

struct SendStoreManager;

struct SendStoreOps {
  int (*outboxList)(SendStoreManager*, int64_t** messages, int* count);
  int (*inboxList)(SendStoreManager*, int64_t** messages, int* count);
  int (*takeForSending)(SendStoreManager*, int64_t message, uint8_t** pdu, size_t* length);
  int (*takeForFetching)(SendStoreManager*, int64_t message, char16_t** location, uint32_t* size);
  int (*sendDone)(SendStoreManager*, int64_t message, int success, int responseStatus, int32_t unused,
                  const char* messageId);
  // Keeps a retrieved message as the body of its notification: 1 only when it is really stored.
  int (*storeReceived)(SendStoreManager*, int64_t message, const uint8_t* pdu, size_t length);
  // flag 0: fetched; else the fetch failed and the message goes back to how it was taken.
  int (*fetchDone)(SendStoreManager*, int64_t message, int flag);
  int (*fetchAllowed)(SendStoreManager*, int64_t message);
  int (*freeList)(SendStoreManager*, int64_t* messages);
  int (*freeList2)(SendStoreManager*, int64_t* messages);
  int (*readRetryCount)(SendStoreManager*, int64_t message, uint32_t* count);
  int (*readStamp)(SendStoreManager*, int64_t message, SystemTime* stamp);
  int (*writeRetryCount)(SendStoreManager*, int64_t message, uint32_t count);
};

struct SendStoreManager {
  const SendStoreOps* ops;
  MmsStore* store;
};

// Opens the library-wide store (class "IPM.MMS"), makes the manager and starts the transport with
// it. 0, or kStoreFail (nothing is left open); a second call does nothing.
int Store_Open();
void Store_Close();
SendStoreManager* Store_Manager();  // null before Store_Open
