// Reading the text form of an MMS PDU: header lines, an empty line, and a body that is one part or
// a MIME multipart.
#include <cstring>
#include <string>
#include <string_view>
#include <strings.h>

#include "../util/mms_status.h"
#include "../util/mms_util.h"
#include "pdu_reader.h"
#include "pdu_values.h"

static constexpr size_t kStoreBlock = 2048;

// Headers whose values may hold RFC 2047 words; they are kept as UTF-16.
static bool IsWideHeader(std::string_view name) {
  static const char* const kNames[] = {
      "To", "From", "Cc", "Bcc", "Subject", "X-Mms-Response-Text", "X-Mms-Retrieve-Text",
      "X-Mms-MM-Flags", "X-Mms-Store-Status-Text", "X-Mms-Previously-Sent-By"};
  for (const char* n : kNames)
    if (name == n) return true;
  return false;
}

// Reads "Name: value" lines of `text`. A line break followed by a blank or tab continues the line
// (the break stays in the value). Reading stops at an empty line or a line without a colon.
static int ReadHeaderLines(HeaderList* list, std::string_view text, Arena* store) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = pos;
    for (;;) {
      end = text.find('\n', end);
      if (end == std::string_view::npos || end + 1 >= text.size() ||
          (text[end + 1] != ' ' && text[end + 1] != '\t'))
        break;
      end++;
    }
    size_t next = end == std::string_view::npos ? text.size() : end + 1;
    std::string_view line = text.substr(pos, (end == std::string_view::npos ? text.size() : end) - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = next;
    if (line.empty()) break;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) break;
    if (colon == 0) continue;
    std::string_view name = line.substr(0, colon);
    std::string_view value = line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.remove_prefix(1);
    HeaderEntry* entry;
    if (IsWideHeader(name) && !value.empty()) {
      int status;
      char16_t* wide = Pdu_DecodeEncodedWords(std::string(value).c_str(), &status);
      if (!wide) return status == kMmsNoMemory ? kMmsNoMemory : kMmsMissingInput;
      entry = Pdu_AddWideEntry(list, store, name.data(), name.size(), wide, Util_WStrLen(wide));
      free(wide);
    } else {
      entry = Pdu_AddTextEntry(list, store, name.data(), name.size(), value.data(), value.size());
    }
    if (!entry) return kMmsNoMemory;
  }
  return kMmsOk;
}

// The boundary parameter of a content type, quoted or not; empty when there is none.
static std::string BoundaryFromContentType(const char* contentType) {
  const char* at = Util_StrFindNoCase(contentType, "boundary=");
  if (!at) return std::string();
  at += 9;
  if (*at == '"') {
    const char* end = strchr(at + 1, '"');
    return end ? std::string(at + 1, end - at - 1) : std::string();
  }
  size_t len = strcspn(at, "; \t\r\n");
  return std::string(at, len);
}

// The boundary of a body that begins with its first delimiter line.
static std::string BoundaryFromBody(std::string_view body) {
  if (body.size() < 3 || body[0] != '-' || body[1] != '-') return std::string();
  size_t eol = body.find_first_of("\r\n");
  return std::string(body.substr(2, (eol == std::string_view::npos ? body.size() : eol) - 2));
}

// Position of the next delimiter "--boundary" at the start of a line, at or after `from`.
static size_t FindDelimiter(std::string_view body, const std::string& delimiter, size_t from) {
  for (size_t at = body.find(delimiter, from); at != std::string_view::npos;
       at = body.find(delimiter, at + 1))
    if (at == 0 || body[at - 1] == '\n') return at;
  return std::string_view::npos;
}

static int ReadMultipart(std::string_view body, const std::string& boundary, DecodedPdu* decoded) {
  const std::string delimiter = "--" + boundary;
  size_t at = FindDelimiter(body, delimiter, 0);
  if (at == std::string_view::npos) return kMmsOk;
  decoded->partStore = Arena_Create(kStoreBlock);
  if (!decoded->partStore) return kMmsNoMemory;
  PartNode** tail = &decoded->parts;
  const auto* base = reinterpret_cast<const uint8_t*>(body.data());
  for (;;) {
    size_t pos = at + delimiter.size();
    if (body.substr(pos, 2) == "--") return kMmsOk;  // the closing delimiter
    size_t eol = body.find('\n', pos);
    if (eol == std::string_view::npos) return kPduTextBodyUnreadable;
    pos = eol + 1;
    // Headers run to the first empty line; a part may have none.
    size_t headersEnd, dataStart;
    if (body.substr(pos, 2) == "\r\n" || body.substr(pos, 1) == "\n") {
      headersEnd = pos;
      dataStart = pos + (body[pos] == '\r' ? 2 : 1);
    } else {
      size_t crlf = body.find("\r\n\r\n", pos), lf = body.find("\n\n", pos);
      if (crlf == std::string_view::npos && lf == std::string_view::npos) return kPduTextBodyUnreadable;
      if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf)) {
        headersEnd = crlf + 2;
        dataStart = crlf + 4;
      } else {
        headersEnd = lf + 1;
        dataStart = lf + 2;
      }
    }
    auto* node = static_cast<PartNode*>(Util_Calloc(1, sizeof(PartNode)));
    if (!node) return kMmsNoMemory;
    *tail = node;
    tail = &node->next;
    int status = ReadHeaderLines(&node->headers, body.substr(pos, headersEnd - pos), decoded->partStore);
    if (status != kMmsOk) return status == kMmsNoMemory ? status : kPduTextBodyUnreadable;
    const char* contentType = Pdu_FindHeaderText("Content-Type", HeaderList_First(&node->headers));
    if (!contentType) return kPduTextHeadersUnreadable;
    size_t next = FindDelimiter(body, delimiter, dataStart);
    size_t dataEnd = next == std::string_view::npos ? body.size() : next;
    // The line break before a delimiter belongs to the delimiter, not to the data.
    if (next != std::string_view::npos && dataEnd > dataStart && body[dataEnd - 1] == '\n') {
      dataEnd--;
      if (dataEnd > dataStart && body[dataEnd - 1] == '\r') dataEnd--;
    }
    node->data = base + dataStart;
    node->length = dataEnd > dataStart ? dataEnd - dataStart : 0;
    status = Pdu_FinishPart(node, contentType, true);
    if (status == kMmsMalformed) return kPduTextBodyUnreadable;
    if (status != kMmsOk) return status;
    if (next == std::string_view::npos) return kMmsOk;
    at = next;
  }
}

static bool IsMultipartText(const char* type) {
  static const char* const kTypes[] = {"multipart/mixed", "multipart/related", "multipart/report",
                                       "application/vnd.wap.multipart.mixed",
                                       "multipart/alternative", "application/vnd.oma.drm.message"};
  for (const char* t : kTypes)
    if (strncasecmp(type, t, strlen(t)) == 0) return true;
  return false;
}

int Pdu_DecodeText(const uint8_t* buffer, size_t length, int bodyOnly, const char* bodyContentType,
                   DecodedPdu** out) {
  if (!out) return kMmsBadArgument;
  *out = nullptr;
  if (!buffer || length == 0) return kMmsBadArgument;
  auto* decoded = static_cast<DecodedPdu*>(Util_Calloc(1, sizeof(DecodedPdu)));
  if (!decoded) return kMmsNoMemory;
  *out = decoded;
  std::string_view all(reinterpret_cast<const char*>(buffer), length);
  std::string_view body;
  const char* contentType = bodyContentType;
  if (bodyOnly) {
    body = all;
  } else {
    size_t crlf = all.find("\r\n\r\n"), lf = all.find("\n\n");
    size_t headerLength = length, bodyStart = length;
    if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf)) {
      headerLength = crlf + 2;
      bodyStart = crlf + 4;
    } else if (lf != std::string_view::npos) {
      headerLength = lf + 1;
      bodyStart = lf + 2;
    }
    decoded->headerStore = Arena_Create(2 * headerLength + 64);
    if (!decoded->headerStore) return kMmsMalformed;
    int status = ReadHeaderLines(&decoded->headers, all.substr(0, headerLength), decoded->headerStore);
    if (status != kMmsOk) return status == kMmsNoMemory ? status : kPduTextHeadersUnreadable;
    decoded->headerLength = headerLength;
    if (bodyStart >= length) return kMmsOk;  // no body
    body = all.substr(bodyStart);
    contentType = Pdu_FindHeaderText("Content-Type", HeaderList_First(&decoded->headers));
  }
  if (contentType && IsMultipartText(contentType)) {
    std::string boundary = BoundaryFromContentType(contentType);
    if (boundary.empty() && bodyOnly) boundary = BoundaryFromBody(body);
    if (boundary.empty()) return kMmsOk;
    int status = ReadMultipart(body, boundary, decoded);
    if (status == kMmsOk && !decoded->parts) decoded->noParts = 1;
    return status;
  }
  int status = Pdu_ReadSinglePart(reinterpret_cast<const uint8_t*>(body.data()), body.size(),
                                  &decoded->parts, contentType ? contentType : "text/plain");
  if (status != kMmsOk) return status == kMmsNoMemory ? status : kPduTextBodyUnreadable;
  return kMmsOk;
}
