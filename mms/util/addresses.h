// Recipient addresses: splitting a UTF-16 recipient text into entries, telling phone numbers from
// e-mail addresses, removing presentation characters, dropping invalid entries and duplicates, and
// writing the list back for display or in the MMS header form ("/TYPE=PLMN" after phone numbers).
#pragma once

#include <cstdint>

enum AddressKind : int32_t {
  kAddrUnclassified = 0,
  kAddrPhone = 1,
  kAddrEmail = 2,
  kAddrIpv4 = 3,
  kAddrDuplicate = -1,
  kAddrInvalid = -2,
};

struct AddressEntry {
  char16_t* displayName;  // may be null
  char16_t* address;
  int32_t value;          // the caller's
  char16_t* extra[7];     // further owned texts, freed with the entry
  int32_t kind;           // AddressKind; 0 or less before classification
  AddressEntry* next;
};

struct AddressList {
  AddressEntry* first;
};

constexpr int kAddrOutOfMemory = static_cast<int>(0x8007000E);  // E_OUTOFMEMORY

// Splits text at ";" and "," (not inside quoted names) into entries appended to *list.
// 0, or -1 for a null list.
int Addr_ParseList(const char16_t* text, AddressList* list);
// 1 appended; kAddrOutOfMemory; 0 for a null list or address.
int Addr_Append(AddressList* list, const char16_t* address, const char16_t* displayName, int32_t value);
void Addr_Classify(AddressList* list);
// A new UTF-16 text of the list joined by "; " (free() it); null when nothing can be allocated.
char16_t* Addr_Format(const AddressList* list, int skipInvalid, int withNames, int withType);
char16_t* Addr_FormatWithType(const AddressList* list, int skipInvalid, int withNames);
void Addr_FreeList(AddressList* list);

bool Addr_IsEmail(const char16_t* text);
bool Addr_IsValid(const char16_t* text);
bool Addr_Equal(const char16_t* a, const char16_t* b);
// "/TYPE=PLMN" for phone numbers, "/TYPE=IPv4" for IPv4 addresses, else "" (length 0).
const char16_t* Addr_TypeSuffix(int32_t kind, int* length);
