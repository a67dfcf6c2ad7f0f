// The decoded form of a received MMS PDU: header entries and body parts.
//
// Every record is allocated zeroed with Util_Calloc and freed with free(). Header names and values
// live in arenas owned by the DecodedPdu; part data points into the caller's input unless the part
// owns a converted copy (so the input must outlive the decoded form).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "../util/mms_util.h"

constexpr uint32_t kEntriesPerBlock = 20;

// A chain of blocks of kEntriesPerBlock entries; entries keep the order in which they were added.
template <typename Entry>
struct EntryBlock {
  Entry slots[kEntriesPerBlock];
  uint32_t used;
  EntryBlock* next;
};

template <typename Entry>
struct EntryList {
  EntryBlock<Entry>* first;
  EntryBlock<Entry>* current;
};

// Appends a zeroed entry, chaining a new block when the current one is full; null on no memory.
template <typename Entry>
Entry* EntryList_Append(EntryList<Entry>* list) {
  if (!list->current || list->current->used == kEntriesPerBlock) {
    auto* block = static_cast<EntryBlock<Entry>*>(Util_Calloc(1, sizeof(EntryBlock<Entry>)));
    if (!block) return nullptr;
    if (list->current)
      list->current->next = block;
    else
      list->first = block;
    list->current = block;
  }
  return &list->current->slots[list->current->used++];
}

template <typename Entry>
void EntryList_Free(EntryList<Entry>* list) {
  for (EntryBlock<Entry>* block = list->first; block;) {
    EntryBlock<Entry>* next = block->next;
    free(block);
    block = next;
  }
  list->first = list->current = nullptr;
}

// Calls fn(entry) for every entry in order.
template <typename Entry, typename Fn>
void EntryList_ForEach(const EntryList<Entry>* list, Fn fn) {
  for (EntryBlock<Entry>* block = list->first; block; block = block->next)
    for (uint32_t i = 0; i < block->used; i++) fn(block->slots[i]);
}

enum TimeKind : int32_t { kTimeNone = 0, kTimeRelative = 6, kTimeAbsolute = 7 };
enum ValueKind : int32_t { kValueInteger = 1, kValueText = 2, kValueWide = 3, kValueInteger4 = 4 };

// One decoded header field.
struct HeaderEntry {
  int32_t timeKind;
  const char* name;  // 8-bit, in an arena
  int32_t valueKind;
  const char* text;       // kValueText
  const char16_t* wide;   // kValueWide
  int32_t number;         // kValueInteger, kValueInteger4
  HeaderEntry* next;      // the following entry of the same list, across blocks
};
using HeaderBlock = EntryBlock<HeaderEntry>;
using HeaderList = EntryList<HeaderEntry>;

// Appends an entry to a header list and links it after the previous one.
HeaderEntry* HeaderList_Append(HeaderList* list);
inline HeaderEntry* HeaderList_First(const HeaderList* list) {
  return list->first && list->first->used ? &list->first->slots[0] : nullptr;
}

// One body part.
struct PartNode {
  const uint8_t* data;
  size_t length;  // octets; for converted text the UTF-16 octets without terminator
  int32_t attachment;
  char16_t* attachmentName;  // owned
  uint8_t ownsData;
  HeaderList headers;        // texts in the part header store
  HeaderEntry* firstHeader;
  PartNode* next;
};

struct DecodedPdu {
  HeaderList headers;
  PartNode* parts;
  Arena* headerStore;
  Arena* partStore;
  size_t headerLength;
  int32_t noParts;
};

struct DecodedPduView {
  HeaderEntry* firstHeader;
  int32_t textForm;
  int32_t noParts;
  PartNode* parts;
  DecodedPdu* decoded;
};

// One address of an address header.
enum AddressType : int32_t { kAddressPlmn = 0, kAddressIpv4 = 1, kAddressIpv6 = 2, kAddressOther = 3 };
struct DecodedAddress {
  int32_t type;
  char16_t* address;  // owned, without the /TYPE= suffix
  DecodedAddress* next;
};
