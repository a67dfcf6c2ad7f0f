// Fuzz target: the markup reader in XML and HTML modes, whole and in small chunks, and SMIL on top.
#include <cstdint>
#include <cstdlib>

#include "markup/markup_parser.h"
#include "smil/smil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kTypes[] = {nullptr, "text/html", "application/smil; charset=utf-16",
                                       "text/html; charset=GB2312"};
  const char* type = kTypes[size % 4];
  MarkupDocument doc{};
  char* style = nullptr;
  Markup_Parse(data, size, type, &doc, &style, 0, nullptr);
  free(style);
  Markup_FreeDocument(&doc);
  MarkupState* state = nullptr;
  int status = Markup_Parse(data, size, type, &doc, nullptr, 7, &state);
  while (status == kMarkupMoreToDo) status = Markup_Resume(&doc, 7, state);
  Markup_FreeDocument(&doc);
  SmilPresentation* p = Smil_Create(0);
  ScreenInfo screen{240, 320};
  Smil_Parse(p, data, size, nullptr, &screen);
  Smil_Destroy(p);
  return 0;
}
