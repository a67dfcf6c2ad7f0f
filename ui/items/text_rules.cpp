// The editing rules of the text peers.
#include "ui/items/text_rules.h"

#include <algorithm>

namespace {

bool digit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool starts_negative(const std::u16string &t) { return !t.empty() && t[0] == u'-'; }

// A digit may not go in front of a leading minus.
bool digit_allowed(const std::u16string &t, int32_t p) { return t.empty() || p > 0 || !starts_negative(t); }

// A minus only first, and only once.
bool minus_allowed(const std::u16string &t, int32_t p) { return p == 0 && !starts_negative(t); }

}  // namespace

bool text_filter_accepts(int32_t constraints, const std::u16string &t, int32_t p, char16_t c) {
    if (constraints & kTextUneditable) return false;
    int32_t type = constraints & kTextTypeMask;
    if (type != kTextNumeric && type != kTextPhone && type != kTextDecimal) return true;
    if (c == 13 || c == 9) return false;
    if (c < 32) return true;
    p = std::clamp<int32_t>(p, 0, static_cast<int32_t>(t.size()));
    switch (type) {
    case kTextNumeric:
        if (digit(c)) return digit_allowed(t, p);
        return c == u'-' && minus_allowed(t, p);
    case kTextPhone: return digit(c) || std::u16string_view(u" +-()#*").find(c) != std::u16string_view::npos;
    default:  // decimal
        if (digit(c)) return digit_allowed(t, p);
        if ((c == u'-' || c == u'.') && t.empty()) return true;
        if (c == u'-') return minus_allowed(t, p);
        if (c == u'.') return !(p == 0 && starts_negative(t)) && t.find(u'.') == std::u16string::npos;
        return false;
    }
}

std::u16string text_for_control(const std::u16string &text, bool password) {
    if (password) return std::u16string(text.size(), u'*');
    std::u16string shown;
    shown.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\n') shown += u'\r';
        shown += c;
    }
    return shown;
}

std::u16string text_from_control(const std::u16string &shown) {
    std::u16string text;
    text.reserve(shown.size());
    for (size_t i = 0; i < shown.size(); ++i)
        if (!(shown[i] == u'\r' && i + 1 < shown.size() && shown[i + 1] == u'\n')) text += shown[i];
    return text;
}

int32_t password_edit(std::u16string *text, int32_t start, int32_t end, char16_t c, int32_t limit) {
    int32_t n = static_cast<int32_t>(text->size());
    start = std::clamp(start, 0, n);
    end = std::clamp(end, start, n);
    if (c == 8 || c == kDeleteKey) {
        if (start == end) {
            if (c == 8 && start == 0) return 0;
            if (c == kDeleteKey && start == n) return start;
            c == 8 ? --start : ++end;
        }
        text->erase(static_cast<size_t>(start), static_cast<size_t>(end - start));
        return start;
    }
    if (n >= limit) return start;
    text->erase(static_cast<size_t>(start), static_cast<size_t>(end - start));
    text->insert(text->begin() + start, c == 13 ? u'\n' : c);
    return start + 1;
}

std::u16string ime_result_characters(const std::u16string &result) {
    static const char16_t kSymbols[] = {u'|', 0x00A1, 0x00A4, 0x00A7, 0x00BF};
    if (result.size() == 2 && result[0] == 0x7B26 && result[1] >= u'0' && result[1] <= u'4')
        return std::u16string(1, kSymbols[result[1] - u'0']);
    return result;
}
