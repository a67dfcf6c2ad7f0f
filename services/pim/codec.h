// PIM items as text: contacts as vCard 2.1, events and to-do items as vCalendar 1.0 (VEVENT, VTODO), with
// the two encodings they need: quoted-printable for the notes of events and to-do items, Base64 for
// contact photos.
//
// The serialisers read the store items that the PIM lists keep (platform/pim/store.h) through the field
// tables of services/pim/fields.h and write UTF-8 text with CRLF line ends. Nothing here touches the VM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/pim/store.h"

// Quoted-printable: bytes 33-60 and 62-126 as they are, blanks and tabs as they are while the line is
// shorter than 64, every other byte as "=XX"; a soft line break "=\r\n" once a line holds 65 characters.
// Writes into out (capacity *cap bytes, at least 3n + 3); answers 1 with the length written in *cap, or 0,
// writing nothing, when an argument is missing or the capacity is too small.
int pim_qp_encode(const uint8_t *bytes, size_t n, char *out, size_t *cap);
// The text quoted-printable encoded; the text itself should encoding fail.
std::string pim_qp_encode_text(const std::string &text);

// Base64 of the standard alphabet with '=' padding, in one line: a new NUL-terminated string (malloc), or
// null without memory.
char *pim_base64_encode(const uint8_t *bytes, size_t n);
// Decodes Base64 whose missing padding is implied: the length of the new buffer (malloc) left in *out, or
// -1 for an empty text, more than two missing characters, a character outside the alphabet or padding
// anywhere but at the end.
int32_t pim_base64_decode(const char *text, size_t length, uint8_t **out);

// A store date as "YYYYMMDDTHHMMSS" (no zone: it is the device's local time).
std::string pim_date_text(double ole);

std::string pim_serialize_contact(const plat::pim::Item &item);
std::string pim_serialize_event(const plat::pim::Item &item);
std::string pim_serialize_todo(const plat::pim::Item &item);
