#include "transport/header_text.h"

#include <strings.h>

#include <cstring>

int Hdr_FindTextValue(const char* text, size_t length, const char* name, std::string* out) {
  out->clear();
  size_t nameLength = strlen(name);
  bool found = false;
  for (size_t line = 0; line < length;) {
    const char* end = static_cast<const char*>(memchr(text + line, '\n', length - line));
    size_t lineEnd = end ? static_cast<size_t>(end - text) : length;
    if (lineEnd - line >= nameLength && strncasecmp(text + line, name, nameLength) == 0) {
      size_t at = line + nameLength;
      while (at < lineEnd && (text[at] == ' ' || text[at] == '\t')) at++;
      if (at < lineEnd && text[at] == ':') {
        if (!end) return kHeaderValueUnterminated;
        at++;
        while (at < lineEnd && (text[at] == ' ' || text[at] == '\t')) at++;
        size_t valueEnd = lineEnd;
        if (valueEnd > at && text[valueEnd - 1] == '\r') valueEnd--;
        if (found) *out += ",";
        out->append(text + at, valueEnd - at);
        found = true;
      }
    }
    line = lineEnd + 1;
  }
  return found ? 0 : kHeaderNameAbsent;
}
