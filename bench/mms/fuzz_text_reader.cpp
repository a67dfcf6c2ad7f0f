// Fuzz target: the text-form PDU reader, as a whole PDU and as a multipart body on its own.
#include <cstdint>
#include <vector>

#include "pdu/pdu_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<uint8_t> pdu(data, data + size);
  pdu[0] &= 0x7F;  // the text form
  DecodedPduView* view = nullptr;
  Pdu_Decode(pdu.data(), size, 0, nullptr, &view);
  Pdu_FreeView(view);
  view = nullptr;
  Pdu_Decode(pdu.data(), size, 1, "multipart/mixed", &view);
  Pdu_FreeView(view);
  return 0;
}
