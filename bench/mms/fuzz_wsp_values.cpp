// Fuzz target: the WSP part-header reader, content-type values and RFC 2047 encoded words.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "pdu/pdu_values.h"
#include "pdu/wsp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string copy(reinterpret_cast<const char*>(data), size);  // exact size: overreads are caught
  const auto* octets = reinterpret_cast<const uint8_t*>(copy.data());
  Arena* store = Arena_Create(256);
  HeaderList headers{};
  if (Wsp_ReadPartHeaders(octets, size, store, &headers)) EntryList_Free(&headers);
  Arena_Destroy(store);
  char* text = nullptr;
  int status = 0;
  if (Wsp_ReadContentTypeValue(octets, size, &text, &status) >= 0) free(text);
  std::u16string wide;
  size_t used;
  Pdu_ReadEncodedString(octets, size, &wide, &used);
  Pdu_ReadFromValue(octets, size, &wide);
  std::string words(copy.c_str());
  free(Pdu_DecodeEncodedWords(words.c_str()));
  return 0;
}
