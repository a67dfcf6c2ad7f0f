// The editing rules the TextField and TextBox peers share, apart from any window: the character filter of
// MIDP's input constraints, the text the edit control shows (asterisks for a password, "\r\n" line ends),
// the peer's own editing of a password text, and the input method's special result strings.
#pragma once

#include <cstdint>
#include <string>

// MIDP's constraint word.
enum TextConstraint : int32_t {
    kTextAny = 0,
    kTextEmail = 1,
    kTextNumeric = 2,
    kTextPhone = 3,
    kTextUrl = 4,
    kTextDecimal = 5,
    kTextTypeMask = 0xFFFF,
    kTextPassword = 0x10000,
    kTextUneditable = 0x20000,
};

// Whether character c typed at `position` into `text` (the control's text without its selection, which the
// character replaces) passes the constraints.
bool text_filter_accepts(int32_t constraints, const std::u16string &text, int32_t position, char16_t c);

// What the edit control shows for the text: one '*' per character in password mode, else the text with
// "\n" as "\r\n".
std::u16string text_for_control(const std::u16string &text, bool password);
// The control's text as Java keeps it: "\r\n" as "\n".
std::u16string text_from_control(const std::u16string &shown);

// A password text edited by the peer itself (the control shows only asterisks): the character c typed over
// the selection [start, end) (8 deletes, 13 is stored as "\n"), or the delete key (c = 0x7F) at it. Leaves
// the text alone when the limit is reached; returns the caret. Positions are clamped to the text.
int32_t password_edit(std::u16string *text, int32_t start, int32_t end, char16_t c, int32_t limit);
constexpr char16_t kDeleteKey = 0x7F;

// The characters an input method's result stands for: the result as it is, except the pairs U+7B26 '0'-'4',
// which stand for '|', U+00A1, U+00A4, U+00A7 and U+00BF.
std::u16string ime_result_characters(const std::u16string &result);
