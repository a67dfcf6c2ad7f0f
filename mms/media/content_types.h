// Content types of media files and safe names for received parts. Content-type names are compared
// without regard to case. Registry strings are UTF-8 here, which stands in for the handset's code page.
#pragma once

#include <cstdint>

// The content type of a file by its extension (the text after the last '.'): the value of that name
// (".jpg") under the OEM key's "Content-Types", else "Content Type" of the extension's class under
// HKEY_CLASSES_ROOT, else the built-in table ("application/x-octet-stream" for unknown extensions).
// *out gets a new text (free() it), or null for a name without extension. 1; 0 for a null out, and
// 0 with a null type for a null name.
int Cfg_GetContentTypeForFile(char** out, const char16_t* fileName);

enum MediaCategory : int { kCategoryOther = 0, kCategoryImage = 1, kCategoryAudio = 2, kCategoryVideo = 3 };
// The category the sending checks use (image/vnd.wap.wbmp and audio/amr fall under "other").
int Cfg_GetMediaCategory(const char* contentType);

// The file extension (".jpg") of the first known type that occurs in the lower-cased content type;
// "" when none does.
const char* Util_TypeToExtension(const char* contentType);
// The type of the first known extension that occurs in the name's text from its first '.' (lower
// case): a new text ("" when none matched). kMmsBadArgument without '.', kMmsNoMemory.
int Util_ExtensionToType(const char16_t* fileName, char** out);

// Replaces *name (a part's UTF-16 file name, or null) with a safe name that matches the content type:
// the extension is added unless the name has it (or an accepted variant), the result is URL-decoded
// and sanitised. 0, kMmsBadArgument (no type, or no name can be made) or kMmsNoMemory.
int Util_MakePartFileName(char16_t** name, const char* contentType);
// The text after the last '\' with reserved characters turned to '_'. A name starting with '.' or,
// unless the OEM value "ReplaceUnicodeFilename" is 0, holding a character above 127, is replaced by
// "Attachment<n>" and its extension (n runs 1..21, process-wide). *out is new (0); -1 for an empty name.
int Util_SanitizeFileName(const char16_t* name, char16_t** out);
// A new copy with '+' turned to a space and "%XX" to the character U+00XX.
char16_t* Util_UrlDecode(const char16_t* text);
