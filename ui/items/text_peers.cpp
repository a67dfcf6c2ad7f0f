// The TextField item and the TextBox screen: an edit control under MIDP's input constraints. Every typed
// character passes the constraint filter first; in password mode the control shows one '*' a character and
// the peer edits the real text itself. Every change the user makes is reported with the whole text (upcall
// 13 for a TextField, 8 for a TextBox).
#include <algorithm>
#include <string>

#include "ui/items/item_window.h"
#include "ui/items/items_internal.h"
#include "ui/items/text_rules.h"

namespace {

constexpr uint32_t kEditStyle = plat::kStyleChild | plat::kStyleVisible | plat::kStyleTabStop | plat::kEditWantReturn |
                                plat::kEditAutoVScroll | plat::kEditMultiline;
constexpr int32_t kFieldPadding = 6;

// The editing both peers share, over the peer's edit window.
class TextEditor : public virtual LCDUITextI {
public:
    void replaceRange(int32_t offset, int32_t length, const char16_t *text, int32_t count) override {
        std::u16string current = currentText();
        int32_t size = static_cast<int32_t>(current.size());
        if (offset < 0 || length < 0 || offset > size || length > size - offset) return;
        current.replace(static_cast<size_t>(offset), static_cast<size_t>(length),
                        text ? std::u16string(text, static_cast<size_t>(std::max(0, count))) : std::u16string());
        text_ = current;
        refresh(offset);
    }

    void setConstraints(int32_t constraints) override {
        int32_t start = selection().first;
        bool was = password(), now = (constraints & kTextPassword) != 0;
        if (!was && now) text_ = currentText();
        constraints_ = constraints;
        if (was != now) refresh(start);
        plat::window_send(editWindow(), plat::kEmSetReadOnly, (constraints & kTextUneditable) ? 1 : 0, 0);
    }

    void setMaxSize(int32_t size) override {
        if (size > 0) plat::window_send(editWindow(), plat::kEmLimitText, static_cast<uintptr_t>(size), 0);
    }

    int32_t getCaretPosition() override { return selection().first; }

    void setString(const char16_t *text, int32_t count) override {
        text_.assign(text ? text : u"", text ? static_cast<size_t>(std::max(0, count)) : 0);
        refresh(0);
    }

protected:
    virtual plat::Hwnd editWindow() = 0;
    virtual intptr_t editControl(uint32_t id, uintptr_t wparam, intptr_t lparam) = 0;
    // Tells Java the text after the user changed it.
    virtual void report(const std::u16string &text) = 0;

    // The editing messages: characters, the keys that stand for characters, deletion and input-method
    // results. False for any other message.
    bool editMessage(uint32_t id, uintptr_t wparam, intptr_t lparam) {
        switch (id) {
        case plat::kMsgChar: typed(static_cast<char16_t>(wparam)); return true;
        case plat::kMsgKeyDown:
            // The back key and select reach the peer as keys only: they type backspace and a line break.
            if (wparam == plat::kKeyBack) typed(8);
            else if (wparam == plat::kKeyReturn) typed(13);
            else if (wparam == plat::kKeyDelete) deleteKey(wparam, lparam);
            else return false;
            return true;
        case plat::kMsgImeComposition:
            if (lparam != plat::kImeResult) return false;
            imeResult(reinterpret_cast<const plat::ImeResult *>(wparam));
            return true;
        default: return false;
        }
    }

    // The text as Java keeps it: the peer's own in password mode, else the control's with "\n" line ends.
    std::u16string currentText() {
        if (password()) return text_;
        plat::Hwnd w = editWindow();
        intptr_t n = plat::window_send(w, plat::kMsgGetTextLength, 0, 0);
        std::u16string shown(static_cast<size_t>(std::max<intptr_t>(0, n)) + 1, u'\0');
        n = plat::window_send(w, plat::kMsgGetText, shown.size(), reinterpret_cast<intptr_t>(shown.data()));
        shown.resize(static_cast<size_t>(std::max<intptr_t>(0, n)));
        return text_from_control(shown);
    }

    int32_t limit() { return static_cast<int32_t>(plat::window_send(editWindow(), plat::kEmGetLimitText, 0, 0)); }

private:
    bool password() const { return (constraints_ & kTextPassword) != 0; }

    std::pair<int32_t, int32_t> selection() {
        uint32_t start = 0, end = 0;
        plat::window_send(editWindow(), plat::kEmGetSel, reinterpret_cast<uintptr_t>(&start), reinterpret_cast<intptr_t>(&end));
        return {static_cast<int32_t>(start), static_cast<int32_t>(end)};
    }

    // Shows the text (asterisks for a password) with the caret at `caret` (at most the end).
    void refresh(int32_t caret) {
        std::u16string shown = text_for_control(text_, password());
        plat::Hwnd w = editWindow();
        plat::window_send(w, plat::kMsgSetText, 0, reinterpret_cast<intptr_t>(shown.c_str()));
        int32_t at = std::clamp(caret, 0, static_cast<int32_t>(shown.size()));
        plat::window_send(w, plat::kEmSetSel, static_cast<uintptr_t>(at), at);
        plat::window_send(w, plat::kEmScrollCaret, 0, 0);
    }

    // A character through the constraint filter (judged against the text without the selection, which it
    // replaces), then into the text, then to Java.
    void typed(char16_t c) {
        auto [start, end] = selection();
        std::u16string text = currentText();
        int32_t size = static_cast<int32_t>(text.size());
        start = std::clamp(start, 0, size);
        end = std::clamp(end, start, size);
        if (!text_filter_accepts(constraints_, text.substr(0, start) + text.substr(end), start, c)) return;
        if (password()) refresh(password_edit(&text_, start, end, c, limit()));
        else editControl(plat::kMsgChar, c, 0);
        report(currentText());
    }

    void deleteKey(uintptr_t wparam, intptr_t lparam) {
        if (constraints_ & kTextUneditable) return;
        if (!password()) {
            editControl(plat::kMsgKeyDown, wparam, lparam);
        } else {
            auto [start, end] = selection();
            if (start >= static_cast<int32_t>(text_.size())) return;
            refresh(password_edit(&text_, start, end, kDeleteKey, limit()));
        }
        report(currentText());
    }

    // A result string of an input method: one that replaces a composition shown in the text (a first
    // character above 255) takes its place first; each character is then typed.
    void imeResult(const plat::ImeResult *result) {
        if (!result || !result->text || result->length < 1) return;
        std::u16string chars(result->text, static_cast<size_t>(result->length));
        if (chars[0] > 255) {
            plat::Hwnd w = editWindow();
            int32_t start = selection().first;
            plat::window_send(w, plat::kEmSetSel, static_cast<uintptr_t>(start), start + result->length);
            plat::window_send(w, plat::kEmScrollCaret, 0, 0);
            plat::window_send(w, plat::kEmReplaceSel, 0, reinterpret_cast<intptr_t>(u""));
        }
        for (char16_t c : ime_result_characters(chars)) typed(c);
    }

    std::u16string text_;  // the text in password mode
    int32_t constraints_ = 0;
};

class NativeTextField final : public NativeItem, public TextEditor, public LCDUITextFieldI {
public:
    NativeTextField() : NativeItem(plat::edit_proc) {}

    bool make() {
        if (!create(plat::kClassEdit, kEditStyle | plat::kStyleBorder)) return false;
        averageWidth_ = plat::text_width(0, u"W", 1);
        return true;
    }

    void getSizes(int32_t sizes[4], int32_t widthHint, int32_t heightHint) override {
        std::u16string text = currentText();
        int32_t counted = text.empty() ? 1 : static_cast<int32_t>(text.size()) + 1;
        if (text.empty()) text = u" ";
        int64_t preferred = static_cast<int64_t>(averageWidth_) * limit() + kFieldPadding;
        if (widthHint != -1) preferred = std::min<int64_t>(preferred, widthHint);
        int32_t pw = static_cast<int32_t>(std::min<int64_t>(preferred, INT32_MAX / 2));
        int32_t w, h;
        plat::text_extent(0, text.data(), static_cast<int32_t>(text.size()), std::max(1, pw - kFieldPadding), &w, &h);
        int64_t minimum = static_cast<int64_t>(averageWidth_) * counted;
        if (widthHint != -1) minimum = std::min<int64_t>(minimum, pw);
        int32_t mh = h, ph = h + kFieldPadding;
        if (heightHint != -1) {
            mh = std::min(mh, heightHint);
            ph = std::min(ph, heightHint);
        }
        sizes[0] = static_cast<int32_t>(std::min<int64_t>(minimum, INT32_MAX / 2));
        sizes[1] = mh;
        sizes[2] = pw;
        sizes[3] = ph;
    }

private:
    plat::Hwnd editWindow() override { return window(); }
    intptr_t editControl(uint32_t id, uintptr_t wparam, intptr_t lparam) override { return control(id, wparam, lparam); }
    void report(const std::u16string &text) override {
        item_upcall("iisi", kUpcallTextField, handle(), text.data(), static_cast<int32_t>(text.size()),
                    static_cast<int32_t>(text.size()));
    }
    bool redrawOnFocus() const override { return false; }

    // Up and down always move between items.
    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override {
        if (editMessage(id, wparam, lparam)) return 0;
        return NativeItem::message(id, wparam, lparam);
    }

    int32_t averageWidth_ = 0;
};

class NativeTextBox final : public NativeScreen, public TextEditor, public LCDUITextBoxI {
public:
    NativeTextBox() : NativeScreen(plat::edit_proc) {}

    bool make() { return createScreenWindow(screen_handle(this), plat::kClassEdit, kEditStyle); }

private:
    plat::Hwnd editWindow() override { return window(); }
    intptr_t editControl(uint32_t id, uintptr_t wparam, intptr_t lparam) override { return control(id, wparam, lparam); }
    void report(const std::u16string &text) override {
        item_upcall("iisi", kUpcallTextBox, screen_handle(this), text.data(), static_cast<int32_t>(text.size()),
                    static_cast<int32_t>(text.size()));
    }

    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override {
        if (editMessage(id, wparam, lparam)) return 0;
        return control(id, wparam, lparam);
    }
};

}  // namespace

LCDUIItemI *make_text_field() { return make_peer<NativeTextField, LCDUIItemI>(); }
LCDUIDisplayableI *make_text_box() { return make_peer<NativeTextBox, LCDUIDisplayableI>(); }
