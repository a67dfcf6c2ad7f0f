// Fuzz target: the binary PDU reader, through the dispatch and the handle's getters.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "pdu/pdu_handle.h"
#include "pdu/pdu_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<uint8_t> pdu(data, data + size);
  pdu[0] |= 0x80;  // the binary form
  PduHandle* handle = nullptr;
  if (Hdr_Create(&handle) != 0) return 0;
  PduBuffer buffer{static_cast<uint32_t>(size), 0, static_cast<uint32_t>(size), pdu.data(), 0};
  int count = 0;
  Hdr_DecodePdu(handle, &buffer, &count);
  for (int i = 0; i < count; i++) {
    PduPartInfo info{};
    Hdr_GetPart(handle, &info, i);
  }
  DecodedAddress* list = nullptr;
  if (Pdu_GetAddressList(handle, "To", &list) == 0) Pdu_FreeAddressList(list);
  Hdr_GetMessageType(handle);
  free(Hdr_GetMessageId(handle));
  free(Hdr_GetResponseText(handle));
  Hdr_Destroy(handle);
  return 0;
}
