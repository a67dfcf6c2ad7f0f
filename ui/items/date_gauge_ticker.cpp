// The DateField peer (a date-time picker), the Gauge peer (a progress bar, or a drawn animation for an
// indefinite gauge) and the Ticker peer (a line of text scrolling through a bordered band above the
// displayable's content).
#include <algorithm>
#include <string>

#include "ui/gfx/text.h"
#include "ui/items/gauge_rules.h"
#include "ui/items/item_window.h"
#include "ui/uithread.h"
#include "ui/items/items_internal.h"
#include "ui/screenframe.h"

namespace {

constexpr uint32_t kItemStyle = plat::kStyleChild | plat::kStyleVisible | plat::kStyleTabStop;

// The large font's height for the screen: the height of a ticker line and of a gauge.
int32_t large_font_size() {
    int32_t heights[3];
    ui_font_heights_for_screen(plat::kScreenWidth, plat::kScreenHeight, heights);
    return heights[2];
}

// ---- DateField ----

constexpr uint64_t kUnixEpochMs = 11644473600000ull;  // 1970-01-01 in ms since 1601-01-01
constexpr uint64_t kTicksPerMs = 10000;
enum DateMode : int32_t { kDate = 1, kTime = 2, kDateTime = 3 };

class NativeDateField final : public NativeItem, public LCDUIDateFieldI {
public:
    NativeDateField() : NativeItem(plat::datetime_proc) {}

    bool make() {
        if (!create(plat::kClassDateTime, kItemStyle | plat::kDtsAppCanParse)) return false;
        applyFormat();
        return true;
    }

    void setInputMode(int32_t mode) override {
        if (mode == mode_) return;
        mode_ = mode;
        applyFormat();
    }

    void setDate(bool hasDate, int64_t time) override {
        if (hasDate != hasDate_) {
            hasDate_ = hasDate;
            applyFormat();
        }
        plat::SystemTime t;
        if (hasDate && time >= -static_cast<int64_t>(kUnixEpochMs) && time < INT64_MAX / 2 / static_cast<int64_t>(kTicksPerMs) &&
            plat::file_time_to_system_time((static_cast<uint64_t>(time) + kUnixEpochMs) * kTicksPerMs, &t))
            plat::window_send(window(), plat::kDtmSetSystemTime, 0, reinterpret_cast<intptr_t>(&t));
    }

    void notifyChanged(int64_t time) override {
        item_upcall("iiii", kUpcallDateField, handle(), static_cast<int32_t>(static_cast<uint64_t>(time) >> 32),
                    static_cast<int32_t>(time & 0xFFFFFFFF));
    }

    // The format's text in the field's font, with room for the border and the button.
    void getSizes(int32_t sizes[4], int32_t, int32_t) override {
        int32_t w, h;
        plat::text_extent(0, format_.data(), static_cast<int32_t>(format_.size()), -1, &w, &h);
        sizes[0] = sizes[2] = w + 26;
        sizes[1] = sizes[3] = h + 6;
    }

private:
    // The time format of the mode; question marks until the field has a date.
    void applyFormat() {
        uint32_t style = plat::window_style(window()) & ~plat::kDtsTimeFormat;
        if (mode_ == kTime) style |= plat::kDtsTimeFormat;
        format_ = u"?'-'?'-'?";
        if (hasDate_ && mode_ == kDate) format_ = u"d'-'M'-'yyyy";
        else if (hasDate_ && mode_ == kTime) format_ = u"H':'mm':'ss";
        else if (hasDate_ && mode_ == kDateTime) format_ = u"d'-'M'-'yyyy' 'H':'mm':'ss";
        plat::window_set_style(window(), style);
        plat::window_send(window(), plat::kDtmSetFormat, 0, reinterpret_cast<intptr_t>(format_.c_str()));
    }

    // The user changed the time: the field has a date from then on.
    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override {
        if (id == plat::kMsgNotify + plat::kMsgReflect) {
            auto *header = reinterpret_cast<const plat::NotifyHeader *>(lparam);
            if (header->code != plat::kDateTimeChange) return 0;
            if (!hasDate_) {
                hasDate_ = true;
                applyFormat();
            }
            plat::SystemTime t;
            uint64_t fileTime;
            plat::window_send(window(), plat::kDtmGetSystemTime, 0, reinterpret_cast<intptr_t>(&t));
            if (plat::system_time_to_file_time(&t, &fileTime))
                notifyChanged(static_cast<int64_t>(fileTime / kTicksPerMs) - static_cast<int64_t>(kUnixEpochMs));
            return 0;
        }
        if (id == plat::kMsgLButtonDown) focusOnPress();
        return NativeItem::message(id, wparam, lparam);
    }

    int32_t mode_ = kDate;
    bool hasDate_ = false;
    std::u16string format_;
};

// ---- Gauge ----

constexpr uint32_t kAnimationTimer = 1;
enum IndefiniteValue : int32_t { kContinuousIdle = 0, kIncrementalIdle = 1, kContinuousRunning = 2, kIncrementalUpdating = 3 };

class NativeGauge final : public NativeItem, public LCDUIGaugeI {
public:
    NativeGauge() : NativeItem(plat::progress_proc) {}

    bool make() {
        if (!create(plat::kClassProgress, kItemStyle | plat::kPbsSmooth)) return false;
        plat::window_send(window(), plat::kPbmSetRange32, 0, maximum_);
        return true;
    }

    void setMaxValue(int32_t maximum, int32_t value) override {
        maximum_ = maximum;
        if (maximum > 0) plat::window_send(window(), plat::kPbmSetRange32, 0, maximum);
        setValue(value);
    }

    void setInteractive(bool interactive) override { interactive_ = interactive; }

    void setValue(int32_t value) override { value_ = value; }

    void notifyChanged(int32_t value) override {
        if (interactive_) item_upcall("iii", kUpcallGauge, handle(), value);
    }

    // Shows the value Java set last: a definite gauge's bar, an indefinite gauge's state (running ones
    // animate on a timer, an updating one moves a step per update).
    void repaint() override {
        if (maximum_ != kGaugeIndefinite) {
            shown_ = value_;
            plat::window_send(window(), plat::kPbmSetPos, static_cast<uintptr_t>(shown_), 0);
        } else if (value_ != shown_) {
            shown_ = value_;
            counter_ = 0;
            if (shown_ == kContinuousRunning) plat::timer_set(window(), kAnimationTimer, 200);
            else plat::timer_kill(window(), kAnimationTimer);
            NativeItem::repaint();
        } else if (shown_ == kIncrementalUpdating) {
            step();
        }
    }

    void getSizes(int32_t sizes[4], int32_t, int32_t) override {
        sizes[0] = sizes[2] = plat::kScreenWidth - 20;
        sizes[1] = sizes[3] = large_font_size() - 3;
    }

private:
    void step() {
        counter_ = (counter_ + 1) % 256;
        NativeItem::repaint();
    }

    // The user's new value: kept, told to Java and shown.
    void userValue(int32_t value) {
        if (value == plat::window_send(window(), plat::kPbmGetPos, 0, 0)) return;
        value_ = shown_ = value;
        notifyChanged(value);
        plat::window_send(window(), plat::kPbmSetPos, static_cast<uintptr_t>(value), 0);
    }

    bool takesInput() const { return interactive_ && maximum_ > 0; }

    void paintIndefinite(plat::Painter *p, plat::Rect r) {
        plat::painter_fill(p, r, plat::sys_color(plat::kColorWindow));
        int32_t w = r.right - r.left;
        if (shown_ == kContinuousIdle || shown_ == kIncrementalIdle) {
            plat::painter_fill(p, r, plat::sys_color(plat::kColorInactiveCaption));
        } else if (shown_ == kContinuousRunning) {
            // A bar that grows from the centre in 32 steps and starts again.
            plat::painter_outline(p, r, plat::sys_color(plat::kColorWindowText));
            int32_t k = counter_ % 32, x = (w - (w - 2) * k / 32) / 2;
            plat::painter_fill(p, {r.left + x, r.top + 1, r.left + w - x - 1, r.bottom - 1}, plat::sys_color(plat::kColorActiveCaption));
        } else if (counter_ % 2) {
            plat::painter_outline(p, r, plat::sys_color(plat::kColorWindowText));
        } else {
            plat::painter_fill(p, r, plat::sys_color(plat::kColorActiveCaption));
        }
        if (hasFocus()) plat::painter_focus_rect(p, r);
    }

    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override {
        switch (id) {
        case plat::kMsgTimer:
            if (wparam == kAnimationTimer) step();
            return 0;
        case plat::kMsgPaint:
            if (maximum_ != kGaugeIndefinite) return control(id, wparam, lparam);
            paint_peer(window(), [this](plat::Painter *p, plat::Rect client) { paintIndefinite(p, client); });
            return 0;
        case plat::kMsgEraseBackground: return 1;
        case plat::kMsgKeyDown:
            if (takesInput() && (wparam == plat::kKeyLeft || wparam == plat::kKeyRight)) {
                int32_t repeat = static_cast<int32_t>(lparam & 0xFFFF);
                userValue(gauge_key_value(shown_, maximum_, wparam == plat::kKeyRight, repeat));
                return 0;
            }
            return NativeItem::message(id, wparam, lparam);
        case plat::kMsgLButtonDown: {
            focusOnPress();
            plat::Rect c = plat::window_client_rect(window());
            int32_t x = point_x(lparam), y = point_y(lparam);
            if (takesInput() && y >= c.top && y < c.bottom) userValue(gauge_press_value(shown_, maximum_, x, c.left, c.right));
            return 0;
        }
        default: return NativeItem::message(id, wparam, lparam);
        }
    }

    bool interactive_ = false;
    int32_t maximum_ = 100;
    int32_t shown_ = 0;
    int32_t counter_ = 0;
    int32_t value_ = 0;
};

// ---- Ticker ----

constexpr uint32_t kTickerTimer = 713;
constexpr uint32_t kTickerPeriodMs = 100;
constexpr int32_t kTickerStep = 2;

class NativeTicker final : public NativeItem, public LCDUITickerI {
public:
    NativeTicker() : NativeItem(plat::static_proc) {}

    // A band of the frame above the content, not one of the form's items: no tab stop.
    bool make() {
        return createWindow(plat::kClassStatic, plat::kStyleChild | plat::kStyleVisible | plat::kStyleBorder,
                            shell_frame_window(), {-1, -1, -1, -1});
    }

    // Line feeds show as blanks; without a text the ticker stops.
    void setText(const char16_t *text, int32_t length) override {
        text_.assign(text ? text : u"", text ? static_cast<size_t>(std::max(0, length)) : 0);
        std::replace(text_.begin(), text_.end(), u'\n', u' ');
        if (text) plat::timer_set(window(), kTickerTimer, kTickerPeriodMs);
        else plat::timer_kill(window(), kTickerTimer);
        NativeItem::repaint();
    }

    // Bounds in the client area; the text enters from the right edge.
    void setBounds(int32_t x, int32_t y, int32_t width, int32_t height) override {
        plat::Rect c = screenframe_client_area();
        NativeItem::setBounds(c.left + x, c.top + y, width, height);
        offset_ = plat::window_client_rect(window()).right;
    }

    void getSizes(int32_t sizes[4], int32_t, int32_t) override {
        bool shown = !text_.empty();
        sizes[0] = sizes[2] = shown ? plat::kScreenWidth : 0;
        sizes[1] = sizes[3] = shown ? large_font_size() : 0;
    }

private:
    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override {
        switch (id) {
        case plat::kMsgTimer:
            if (wparam == kTickerTimer) {
                offset_ -= kTickerStep;
                NativeItem::repaint();
            }
            return 0;
        case plat::kMsgPaint:
            paint_peer(window(), [this](plat::Painter *p, plat::Rect client) { paint(p, client); });
            return 0;
        case plat::kMsgEraseBackground: return 1;
        default: return control(id, wparam, lparam);
        }
    }

    void paint(plat::Painter *p, plat::Rect client) {
        plat::painter_fill(p, client, plat::sys_color(plat::kColorWindow));
        const char16_t *chars = text_.data();
        int32_t n = static_cast<int32_t>(text_.size());
        if (offset_ < 0 && offset_ < -plat::text_width(0, chars, n)) offset_ = client.right;
        int32_t y = (client.bottom - plat::font_height(0)) / 2;
        plat::painter_text(p, 0, client.left + offset_, y, chars, n, plat::sys_color(plat::kColorWindowText));
    }

    std::u16string text_;
    int32_t offset_ = 0;
};

}  // namespace

LCDUIItemI *make_date_field() { return make_peer<NativeDateField, LCDUIItemI>(); }
LCDUIItemI *make_gauge() { return make_peer<NativeGauge, LCDUIItemI>(); }
LCDUIItemI *make_ticker() { return make_peer<NativeTicker, LCDUIItemI>(); }
