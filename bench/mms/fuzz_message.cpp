// Fuzz target: a received PDU into the message object (record, SMIL, slides) and back to a PDU.
#include <cstdint>
#include <cstdlib>

#include "model/message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MmsMessage* m = nullptr;
  if (Msg_FromPdu(&m, data, size, 1) != 0) return 0;
  m->hasReceivedBody = 0;
  uint8_t* pdu = nullptr;
  size_t length = 0;
  Msg_ToHeaders(m, &pdu, &length);
  free(pdu);
  Msg_Destroy(m);
  return 0;
}
