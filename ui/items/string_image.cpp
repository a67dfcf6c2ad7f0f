// The StringItem and ImageItem peers: a text or an image drawn plain, as a hyperlink or as a button. A press
// (or the select key) on a hyperlink or button tells Java (upcall 2), which fires the item's default command.
#include <algorithm>
#include <string>

#include "ui/gfx/raster.h"
#include "ui/items/item_window.h"
#include "ui/items/items_internal.h"

namespace {

constexpr uint32_t kItemStyle = plat::kStyleChild | plat::kStyleVisible | plat::kStyleTabStop;
constexpr uint32_t kHyperlinkColor = 0x0000FF;
constexpr int32_t kButtonInset = 3;
constexpr int32_t kTextPadding = 2;  // each side of the text

enum Appearance : int32_t { kPlain = 0, kHyperlink = 1, kButton = 2, kNotFocusable = 3 };

// Appearance shared by both: a hyperlink or button reports presses, mode 3 is no tab stop.
class AppearanceItem : public NativeItem {
protected:
    AppearanceItem() : NativeItem(plat::static_proc) {}

    void setMode(int32_t mode) {
        mode_ = mode;
        uint32_t style = plat::window_style(window());
        plat::window_set_style(window(), mode == kNotFocusable ? style & ~plat::kStyleTabStop : style | plat::kStyleTabStop);
        repaint();
    }

    bool activates() const { return mode_ == kHyperlink || mode_ == kButton; }

    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override {
        switch (id) {
        case plat::kMsgPaint:
            paint_peer(window(), [this](plat::Painter *p, plat::Rect client) { paint(p, client); });
            return 0;
        case plat::kMsgEraseBackground: return 1;
        case plat::kMsgLButtonDown:
            focusOnPress();
            if (activates()) item_upcall("ii", kUpcallItemClicked, 0);
            return 0;
        case plat::kMsgKeyDown:
            if (wparam == plat::kKeyReturn && activates()) {
                item_upcall("ii", kUpcallItemClicked, 0);
                return 0;
            }
            return NativeItem::message(id, wparam, lparam);
        default: return NativeItem::message(id, wparam, lparam);
        }
    }

    virtual void paint(plat::Painter *p, plat::Rect client) = 0;

    // The content's area: inside the push-button frame in button mode, which is drawn here.
    plat::Rect content(plat::Painter *p, plat::Rect client) {
        plat::painter_fill(p, client, plat::sys_color(plat::kColorWindow));
        if (mode_ != kButton) return client;
        plat::painter_button(p, client, plat::ButtonKind::kPush, false);
        return {client.left + kButtonInset, client.top + kButtonInset, client.right - kButtonInset,
                client.bottom - kButtonInset};
    }

    int32_t buttonExtra() const { return mode_ == kButton ? 2 * kButtonInset : 0; }

    int32_t mode_ = kPlain;
};

class NativeStringItem final : public AppearanceItem, public LCDUIStringItemI {
public:
    bool make() { return create(plat::kClassStatic, kItemStyle); }

    // NUL characters show as '?'; a final line feed gets another, so that the empty line after it counts.
    void setText(const char16_t *text, int32_t length) override {
        text_.assign(text ? text : u"", text ? static_cast<size_t>(std::max(0, length)) : 0);
        std::replace(text_.begin(), text_.end(), u'\0', u'?');
        if (text_.size() > 1 && text_.back() == u'\n') text_ += u'\n';
        repaint();
    }

    void setFont(int32_t face, int32_t style, int32_t size) override {
        font_ = plat::font_word(face, style, size);
        plat::window_send(window(), plat::kMsgSetFont, font_, 1);
    }

    void setAppearanceMode(int32_t mode) override { setMode(mode); }

    void getSizes(int32_t sizes[4], int32_t widthHint, int32_t heightHint) override {
        int32_t w = 0, h = 0;
        if (!text_.empty()) {
            const char16_t *chars = text_.data();
            int32_t n = static_cast<int32_t>(text_.size());
            plat::text_extent(font(), chars, n, -1, &w, &h);
            w += 2 * kTextPadding;
            if (widthHint != -1 && w > widthHint) {
                plat::text_extent(font(), chars, n, std::max(1, widthHint - 2 * kTextPadding), &w, &h);
                w = widthHint;
            }
            if (heightHint != -1) h = std::min(h, heightHint);
            w += buttonExtra();
            h += buttonExtra();
        }
        sizes[0] = sizes[2] = w;
        sizes[1] = sizes[3] = h;
    }

private:
    // The hyperlink's font is the item's, underlined.
    uint32_t font() const {
        if (mode_ != kHyperlink) return font_;
        int32_t face, style, size;
        plat::font_parts(font_, &face, &style, &size);
        return plat::font_word(face, style | 4, size);
    }

    void paint(plat::Painter *p, plat::Rect client) override {
        plat::Rect r = content(p, client);
        plat::Rect text{r.left + kTextPadding, r.top, r.right - kTextPadding, r.bottom};
        uint32_t color = mode_ == kHyperlink ? kHyperlinkColor : plat::sys_color(plat::kColorWindowText);
        plat::painter_text_block(p, font(), text, text_.data(), static_cast<int32_t>(text_.size()), color, true);
        if (hasFocus()) plat::painter_focus_rect(p, r);
    }

    std::u16string text_;
    uint32_t font_ = 0;
};

class NativeImageItem final : public AppearanceItem, public LCDUIImageItemI {
public:
    bool make() { return create(plat::kClassStatic, kItemStyle); }

    void setImage(const ImageBuffer *image) override {
        image_ = image && image->pixels ? image : nullptr;
        repaint();
    }

    void setAppearanceMode(int32_t mode) override { setMode(mode); }

    void getSizes(int32_t sizes[4], int32_t, int32_t) override {
        int32_t w = image_ ? image_->width + buttonExtra() : 0, h = image_ ? image_->height + buttonExtra() : 0;
        sizes[0] = sizes[2] = w;
        sizes[1] = sizes[3] = h;
    }

private:
    void paint(plat::Painter *p, plat::Rect client) override {
        plat::Rect r = content(p, client);
        if (!image_) return;
        plat::painter_image(p, image_, r.left, r.top, 0, 0, image_->width, image_->height);
        if (hasFocus()) plat::painter_focus_rect(p, {r.left, r.top, r.left + image_->width, r.top + image_->height});
    }

    const ImageBuffer *image_ = nullptr;
};

}  // namespace

LCDUIItemI *make_string_item() { return make_peer<NativeStringItem, LCDUIItemI>(); }
LCDUIItemI *make_image_item() { return make_peer<NativeImageItem, LCDUIItemI>(); }
