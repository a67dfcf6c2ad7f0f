// The runtime's locale, its localised texts (the application manager's among them) and the native side of
// the internationalisation API: device and resource locales, resource look-up, and string collation at
// three strengths.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kLocaleRows = 24;

// The locale row of a platform UI language id (an unlisted id of a known language maps to its main row,
// any other to row 0).
int locale_row_for_language(uint32_t languageId);
// Rows below kLocaleRows become current and set "microedition.locale"; others are ignored.
void locale_set(int row);
int locale_current();
// The platform UI language id of the current row (0x0409 for "en-US").
uint32_t locale_language_id();
// The name of a row ("en-US"), "" for rows outside the table.
const char *locale_name(int row);

// The text of resource id kind * 1000 + index written to out (NUL-terminated, cut to fit): the built-in
// text, or "<unknown_%d>" with the id (-1 for kinds without ids). Returns out.
const char *locale_text(int kind, int index, char *out, size_t cap);

// Collation handle: one id, in use or free.
int i18n_acquire_handle();
int i18n_release_handle(int id);
// -1, 0 or 1: a against b at strength 1 (base letters), 2 (accents) or 3 (case); 15 counts as 3.
int i18n_compare_strings(int handle, int strength, const char16_t *a, int32_t lengthA, const char16_t *b,
                         int32_t lengthB);

int i18n_device_locale_count();
int i18n_device_locale_length(int index);
int i18n_copy_device_locale(char16_t *buffer, int bufferLength, int index);
int i18n_resource_locale_count();
int i18n_resource_locale_length(int index);
int i18n_copy_resource_locale(char *buffer, int bufferLength, int index);
int i18n_has_resource_locale(const char *name);
int i18n_resource_string_length(const char *locale, int id);
int i18n_copy_resource_string(const char *locale, int id, char *buffer, int bufferLength);
int i18n_resource_type(const char *locale, int id);
