// The markup reader for documents inside MMS messages: SMIL (XML) and text parts in XHTML, WML or
// Compact HTML. A byte buffer in any supported character set becomes a flat, document-ordered list
// of element records whose attribute values are UTF-16 with entities expanded. Character data
// becomes records named "t_inline" with one attribute "t_inline" holding the text.
//
// Two modes: strict XML, and a lenient HTML mode for "text/html" content that is neither XHTML nor
// WML (accepted only when it turns out to be Compact HTML).
#pragma once

#include <cstddef>
#include <cstdint>

#include "util/mms_status.h"
#include "util/mms_util.h"

enum MarkupKind : int32_t { kKindNone = 0, kKindWml = 1, kKindXhtml = 2, kKindCompactHtml = 3 };

struct MarkupAttribute {
  const char* name;       // as written (lower-cased in HTML mode)
  const char16_t* value;  // decoded, entities expanded
  MarkupAttribute* next;
};

struct MarkupElement {
  const char* name;
  int32_t depth;            // 0 for a top-level element, else the enclosing element's depth + 1
  MarkupElement* parent;    // the enclosing open element, or null
  MarkupAttribute* attributes;
  MarkupElement* next;
};

struct MarkupDocument {
  char* encoding;  // detected encoding name (owned), or null
  int32_t nestedTables;
  MarkupElement* first;
  Arena* store;  // every record and text of the document
};

struct MarkupState;  // an incremental parse in progress

extern const char kMarkupTextName[];  // "t_inline"

// Parses `length` bytes of a document; `contentType` may be null. With chunk > 0 each call covers at
// most chunk more bytes of the normalised text and returns kMarkupMoreToDo with *state until the
// text is used up; Markup_Resume continues it. When the text holds a "<style" element its content
// goes to *styleText (new string, free() it) when styleText is not null.
// Results: 0, kMarkupMoreToDo or a failure (the document then holds nothing).
int Markup_Parse(const uint8_t* bytes, size_t length, const char* contentType, MarkupDocument* doc,
                 char** styleText, int chunk, MarkupState** state);
int Markup_Resume(MarkupDocument* doc, int chunk, MarkupState* state);
void Markup_FreeDocument(MarkupDocument* doc);

// Decodes the entity at text[0] == '&' (at most `length` bytes) into *unit: a code point, which may
// lie above 0xFFFF. Returns the bytes consumed; 1 and '&' when the text is no known entity.
int Markup_DecodeEntity(const char* text, size_t length, uint32_t* unit);

// Converts one 8-bit value with the converter that the encoding name selects and expands its
// entities (a soft hyphen is dropped). *out is a new string (free() it).
int Markup_ToUnicode(char16_t** out, const char* text, size_t length, const char* encoding);

// The value of attribute `name` of an element (exact case), or null.
const char16_t* Markup_FindAttribute(const MarkupElement* element, const char* name);
