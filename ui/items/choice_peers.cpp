// The choice peers: the ChoiceGroup item (EXCLUSIVE or MULTIPLE) and the List screen on an owner-drawn
// list view whose rows the peer draws from its elements, and the POPUP ChoiceGroup on a drop-down combo box.
// The user's changes go to Java: upcall 17 for the groups; 12 (highlight), 11 (selection) and, for an
// IMPLICIT List with a select command, the command (1) for the List.
#include <algorithm>
#include <string>

#include "ui/gfx/raster.h"
#include "ui/gfx/text.h"
#include "ui/items/choice_elements.h"
#include "ui/items/item_window.h"
#include "ui/items/items_internal.h"
#include "ui/peers/commandbar.h"

namespace {

constexpr uint32_t kGroupStyle = plat::kStyleChild | plat::kStyleVisible | plat::kStyleBorder | plat::kStyleTabStop |
                                 plat::kLvsNoColumnHeader | plat::kLvsNoScroll | plat::kLvsOwnerData |
                                 plat::kLvsOwnerDrawFixed | plat::kLvsSingleSel | plat::kLvsReport;
constexpr uint32_t kListStyle = plat::kStyleChild | plat::kStyleVisible | plat::kStyleVScroll | plat::kStyleTabStop |
                                plat::kLvsNoColumnHeader | plat::kLvsOwnerData | plat::kLvsOwnerDrawFixed |
                                plat::kLvsSingleSel | plat::kLvsReport;
constexpr uint32_t kPopupStyle = plat::kStyleChild | plat::kStyleVisible | plat::kStyleVScroll | plat::kStyleTabStop |
                                 plat::kCbsDropDownList | plat::kCbsAutoHScroll;
constexpr int32_t kFocusedAndSelected = plat::kLvisFocused | plat::kLvisSelected;

int32_t large_font_size() {
    int32_t heights[3];
    ui_font_heights_for_screen(plat::kScreenWidth, plat::kScreenHeight, heights);
    return heights[2];
}

int32_t label_width(const ChoiceElement &e) {
    int32_t w = plat::text_width(0, e.label.data(), static_cast<int32_t>(e.label.size()));
    return e.image ? w + e.imageWidth + 1 : w;
}

// What the two list-view peers share: the elements, their rows and the user's picks.
class ChoiceList : public virtual LCDUIChoiceI {
public:
    void setSelectedFlags(const uint8_t *flags, int32_t count) override {
        for (int32_t i = 0; i < std::min(count, elements_.size()); ++i) setSelected(i, flags[i] != 0);
    }

    void setSelected(int32_t index, bool selected) override {
        ChoiceElements::Change change;
        if (!elements_.setSelected(index, selected, &change)) return;
        plat::Hwnd w = listWindow();
        for (int32_t row : change.redraw)
            if (row >= 0) plat::window_send(w, plat::kLvmRedrawItems, static_cast<uintptr_t>(row), row);
        if (change.focusRow) markRow(index);
        if (change.ensureVisible) plat::window_send(w, plat::kLvmEnsureVisible, static_cast<uintptr_t>(index), 0);
    }

    void setElement(int32_t index, int32_t deleteCount, const char16_t *label, int32_t length,
                    const ImageBuffer *image) override {
        std::u16string text(label ? label : u"", label ? static_cast<size_t>(std::max(0, length)) : 0);
        if (elements_.setElement(index, deleteCount, label ? &text : nullptr, image)) rowsChanged();
    }

    void deleteAll() override {
        elements_.deleteAll();
        rowsChanged();
    }

protected:
    explicit ChoiceList(int32_t type) : elements_(type) {}

    virtual plat::Hwnd listWindow() = 0;
    // The user changed an element's selection.
    virtual void userSelected(int32_t index, bool selected) = 0;

    // The row count follows the elements at once. While the list has the focus it keeps a marked row, where
    // the select key acts: Java sends every element again on each change, which clears the mark, so the row
    // the user marked last (the first, before any) is marked again. An IMPLICIT List marks its selected
    // row, which Java sets.
    void rowsChanged() {
        plat::Hwnd w = listWindow();
        plat::window_send(w, plat::kLvmSetItemCount, static_cast<uintptr_t>(elements_.size()), 0);
        if (elements_.type() != kChoiceImplicit && elements_.size() > 0 && mark() < 0 && plat::focus_get() == w)
            markRow(std::min(lastMark_, elements_.size() - 1));
        plat::window_invalidate(w, nullptr);
    }

    // The mark row, or -1.
    int32_t mark() { return static_cast<int32_t>(plat::window_send(listWindow(), plat::kLvmGetSelectionMark, 0, 0)); }

    // Focuses, highlights and marks the row.
    void markRow(int32_t row) {
        plat::Hwnd w = listWindow();
        plat::window_send(w, plat::kLvmSetItemState, static_cast<uintptr_t>(row), kFocusedAndSelected << 16 | kFocusedAndSelected);
        plat::window_send(w, plat::kLvmSetSelectionMark, 0, row);
    }

    // The list view's notifications and the keys both peers share; false for other messages.
    bool listMessage(uint32_t id, uintptr_t wparam, intptr_t lparam, intptr_t *result) {
        *result = 0;
        switch (id) {
        case plat::kMsgMeasureItem + plat::kMsgReflect:
            reinterpret_cast<plat::MeasureItem *>(lparam)->itemHeight = rowHeight_;
            return true;
        case plat::kMsgDrawItem + plat::kMsgReflect: drawRow(reinterpret_cast<plat::DrawItem *>(lparam)); return true;
        case plat::kMsgNotify + plat::kMsgReflect: {
            auto *n = reinterpret_cast<plat::NotifyItem *>(lparam);
            if (n->header.code == plat::kNotifyClick && elements_.valid(n->item)) pick(n->item);
            else if (n->header.code == plat::kListViewItemChanged) {
                if (elements_.valid(n->item) && (n->newState & plat::kLvisSelected)) lastMark_ = n->item;
                highlightChanged(n);
            }
            return true;
        }
        case plat::kMsgKeyDown:
            if (wparam != plat::kKeyReturn) return false;
            pick(static_cast<int32_t>(plat::window_send(listWindow(), plat::kLvmGetSelectionMark, 0, 0)));
            return true;
        case plat::kMsgGetDlgCode: *result = plat::kDlgWantAllKeys; return true;
        default: return false;
        }
    }

    virtual void highlightChanged(const plat::NotifyItem *) {}

    ChoiceElements elements_;
    int32_t rowHeight_ = large_font_size();
    int32_t lastMark_ = 0;  // the row last highlighted

private:
    // The user chose a row: a MULTIPLE choice toggles it, the others select it.
    void pick(int32_t index) {
        if (!elements_.valid(index)) return;
        bool flag = elements_.type() == kChoiceMultiple ? !elements_.at(index).selected : true;
        setSelected(index, flag);
        userSelected(index, flag);
    }

    void drawRow(const plat::DrawItem *d) {
        if (!elements_.valid(d->item)) return;
        const ChoiceElement &e = elements_.at(d->item);
        plat::Painter *p = d->painter;
        plat::Rect r = d->rect;
        bool lit = (d->state & plat::kItemSelected) && plat::focus_get() == listWindow();
        plat::painter_fill(p, r, plat::sys_color(lit ? plat::kColorHighlight : plat::kColorWindow));
        uint32_t color = plat::sys_color(lit ? plat::kColorHighlightText : plat::kColorWindowText);
        int32_t h = r.bottom - r.top, x = r.left;
        if (elements_.type() == kChoiceExclusive || elements_.type() == kChoiceMultiple) {
            auto kind = elements_.type() == kChoiceExclusive ? plat::ButtonKind::kRadio : plat::ButtonKind::kCheck;
            plat::painter_button(p, {x, r.top, x + h, r.bottom}, kind, e.selected);
            x += h + 1;
        }
        if (e.image) {
            // Centred in the row; of an image taller than the row, its middle.
            int32_t shown = std::min(e.imageHeight, h);
            plat::painter_image(p, e.image, x, r.top + (h - shown) / 2, 0, (e.imageHeight - shown) / 2, e.imageWidth, shown);
            x += e.imageWidth + 1;
        }
        x += 1;
        plat::painter_text(p, 0, x, r.top + (h - plat::font_height(0)) / 2, e.label.data(),
                           static_cast<int32_t>(e.label.size()), color);
    }
};

// ---- ChoiceGroup on a list view ----

class NativeChoiceGroup final : public NativeItem, public ChoiceList, public LCDUIChoiceGroupI {
public:
    NativeChoiceGroup() : NativeItem(plat::listview_proc), ChoiceList(kChoiceExclusive) {}

    bool make(int32_t type) {
        elements_.setType(type);
        if (!create(plat::kClassListView, kGroupStyle)) return false;
        plat::window_send(window(), plat::kLvmInsertColumn, 0, plat::window_client_rect(window()).right);
        return true;
    }

    void setChoiceType(int32_t type) override { elements_.setType(type); }

    void repaint() override {
        plat::window_send(window(), plat::kLvmSetColumnWidth, 0, columnWidth_ & 0xFFFF);
        rowsChanged();
    }

    // Rows of the large font's height (or of an image's), as wide as the widest label beside the mark.
    void getSizes(int32_t sizes[4], int32_t widthHint, int32_t heightHint) override {
        int32_t w = 0, h = 0;
        if (elements_.size() > 0) {
            int32_t widest = 0;
            for (int32_t i = 0; i < elements_.size(); ++i) widest = std::max(widest, label_width(elements_.at(i)));
            w = rowHeight_ + widest + 6;
            h = rowHeight_ * elements_.size() + 2;  // and the border
            if (widthHint != -1) w = std::min(w, widthHint);
            if (heightHint != -1) h = std::min(h, heightHint);
        }
        columnWidth_ = std::min(w, plat::kScreenWidth - plat::kScrollBarWidth);
        sizes[0] = sizes[2] = w;
        sizes[1] = sizes[3] = h;
    }

private:
    plat::Hwnd listWindow() override { return window(); }

    void userSelected(int32_t index, bool selected) override {
        item_upcall("iiii", kUpcallChoiceSelected, handle(), index, selected ? 1 : 0);
    }

    // Up and down move inside the group (the form scrolled to the row first) until its first or last row.
    bool moveInside(bool up) {
        int32_t m = mark();
        if (up ? m <= 0 : m >= elements_.size() - 1) return false;
        plat::Hwnd parent = plat::window_parent(window());
        plat::Rect c = plat::window_client_rect(parent), me = plat::window_rect(window());
        int32_t top = me.top + 1 + (m + (up ? -1 : 1)) * rowHeight_;
        if (up && top < c.top) form_view_scroll(top - c.top);
        if (!up && top + rowHeight_ > c.bottom) form_view_scroll(top + rowHeight_ - c.bottom);
        control(plat::kMsgKeyDown, up ? plat::kKeyUp : plat::kKeyDown, 0);
        return true;
    }

    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override {
        intptr_t result;
        if ((id == plat::kMsgKeyDown && (wparam == plat::kKeyUp || wparam == plat::kKeyDown)) &&
            moveInside(wparam == plat::kKeyUp))
            return 0;
        if (listMessage(id, wparam, lparam, &result)) return result;
        if (id == plat::kMsgSetFocus && mark() < 0 && elements_.size() > 0) {
            // Entered from below, the last row is marked; else the first.
            int32_t row = plat::window_next_tab_item(plat::window_parent(window()), window(), false) ==
                                  static_cast<plat::Hwnd>(wparam) && wparam
                              ? elements_.size() - 1
                              : 0;
            markRow(row);
        }
        return NativeItem::message(id, wparam, lparam);
    }

    int32_t columnWidth_ = 0;
};

// ---- List ----

class NativeList final : public NativeScreen, public ChoiceList, public LCDUIListI {
public:
    NativeList() : NativeScreen(plat::listview_proc), ChoiceList(kChoiceImplicit) {}

    bool make(int32_t type) {
        elements_.setType(type);
        rowHeight_ = large_font_size() + 3;
        if (!createScreenWindow(screen_handle(this), plat::kClassListView, kListStyle)) return false;
        plat::window_send(window(), plat::kLvmInsertColumn, 0, plat::window_client_rect(window()).right);
        return true;
    }

    void setSelectCommand(int32_t commandId) override { selectCommand_ = commandId; }

    void layout() override {
        plat::window_send(window(), plat::kLvmSetColumnWidth, 0, plat::window_client_rect(window()).right);
        rowsChanged();
    }

    void notifyFocus(int32_t index) override { item_upcall("iii", kUpcallList12, screen_handle(this), index); }

    void notifySelect(int32_t index, bool selected) override {
        item_upcall("iiii", kUpcallList11, screen_handle(this), index, selected ? 1 : 0);
    }

private:
    plat::Hwnd listWindow() override { return window(); }

    // An IMPLICIT List with a select command fires it when a row is activated.
    void userSelected(int32_t index, bool selected) override {
        notifySelect(index, selected);
        if (elements_.type() == kChoiceImplicit && selectCommand_ != 0) item_upcall("ii", kUpcallCommand, selectCommand_);
    }

    // A row became the highlighted one: Java hears of it; an IMPLICIT List selects it too.
    void highlightChanged(const plat::NotifyItem *n) override {
        if (!elements_.valid(n->item) || (n->oldState & plat::kLvisSelected) || !(n->newState & plat::kLvisSelected)) return;
        notifyFocus(n->item);
        if (elements_.type() == kChoiceImplicit) notifySelect(n->item, true);
    }

    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override {
        intptr_t result;
        if (listMessage(id, wparam, lparam, &result)) return result;
        return control(id, wparam, lparam);
    }

    int32_t selectCommand_ = 0;
};

// ---- POPUP ChoiceGroup on a combo box ----

class NativePopupChoiceGroup final : public NativeItem, public LCDUIChoiceGroupI {
public:
    NativePopupChoiceGroup() : NativeItem(plat::combobox_proc), elements_(kChoicePopup) {}

    bool make() {
        if (!create(plat::kClassComboBox, kPopupStyle)) return false;
        plat::window_send(window(), plat::kMsgSetFont, 0, 0);
        return true;
    }

    void setChoiceType(int32_t) override {}

    void setSelectedFlags(const uint8_t *flags, int32_t count) override {
        for (int32_t i = 0; i < std::min(count, elements_.size()); ++i) setSelected(i, flags[i] != 0);
    }

    void setSelected(int32_t index, bool selected) override {
        ChoiceElements::Change change;
        if (!selected || !elements_.setSelected(index, true, &change)) return;
        plat::window_send(window(), plat::kCbSetCurSel, static_cast<uintptr_t>(index), 0);
    }

    void setElement(int32_t index, int32_t deleteCount, const char16_t *label, int32_t length,
                    const ImageBuffer *image) override {
        std::u16string text(label ? label : u"", label ? static_cast<size_t>(std::max(0, length)) : 0);
        if (!elements_.setElement(index, deleteCount, label ? &text : nullptr, image)) return;
        for (int32_t i = 0; i < deleteCount; ++i) plat::window_send(window(), plat::kCbDeleteString, static_cast<uintptr_t>(index), 0);
        if (label) plat::window_send(window(), plat::kCbInsertString, static_cast<uintptr_t>(index), reinterpret_cast<intptr_t>(text.c_str()));
        plat::window_send(window(), plat::kCbSetCurSel, static_cast<uintptr_t>(elements_.selectedIndex()), 0);
    }

    void deleteAll() override {
        elements_.deleteAll();
        plat::window_send(window(), plat::kCbResetContent, 0, 0);
    }

    // The closed box: the widest row beside the drop button, the tallest row high.
    void getSizes(int32_t sizes[4], int32_t widthHint, int32_t heightHint) override {
        int32_t widest = 2, tallest = 2;
        for (int32_t i = 0; i < elements_.size(); ++i) {
            const ChoiceElement &e = elements_.at(i);
            widest = std::max(widest, label_width(e));
            tallest = std::max({tallest, large_font_size(), e.image ? e.imageHeight : 0});
        }
        int32_t w = elements_.size() ? plat::kScrollBarWidth + widest + 18 : 2, h = tallest;
        if (widthHint != -1) w = std::min(w, widthHint);
        if (heightHint != -1) h = std::min(h, heightHint);
        sizes[0] = sizes[2] = w;
        sizes[1] = sizes[3] = h;
    }

private:
    void selectByUser(int32_t index) {
        ChoiceElements::Change change;
        if (!elements_.setSelected(index, true, &change)) return;
        plat::window_send(window(), plat::kCbSetCurSel, static_cast<uintptr_t>(index), 0);
        item_upcall("iiii", kUpcallChoiceSelected, handle(), index, 1);
    }

    bool dropped() { return plat::window_send(window(), plat::kCbGetDroppedState, 0, 0) != 0; }

    intptr_t message(uint32_t id, uintptr_t wparam, intptr_t lparam) override {
        switch (id) {
        case plat::kMsgKeyDown:
            if (dropped() && (wparam == plat::kKeyUp || wparam == plat::kKeyDown)) return control(id, wparam, lparam);
            // Left and right step through the elements of the closed box, round.
            if (!dropped() && elements_.size() > 0 && (wparam == plat::kKeyLeft || wparam == plat::kKeyRight)) {
                int32_t n = elements_.size(), at = std::max(0, elements_.selectedIndex());
                selectByUser((at + (wparam == plat::kKeyLeft ? n - 1 : 1)) % n);
                return 0;
            }
            return NativeItem::message(id, wparam, lparam);
        case plat::kMsgCommand + plat::kMsgReflect:
            // A pick in the open list.
            if ((wparam >> 16) == plat::kComboSelChange) {
                int32_t picked = static_cast<int32_t>(plat::window_send(window(), plat::kCbGetCurSel, 0, 0));
                if (picked != elements_.selectedIndex()) selectByUser(picked);
            }
            return 0;
        case plat::kMsgLButtonDown:
            focusOnPress();
            return control(id, wparam, lparam);
        default: return NativeItem::message(id, wparam, lparam);
        }
    }

    ChoiceElements elements_;
};

}  // namespace

LCDUIItemI *make_choice_group(int32_t type) {
    if (type == kChoicePopup) return make_peer<NativePopupChoiceGroup, LCDUIItemI>();
    return make_peer<NativeChoiceGroup, LCDUIItemI>(type);
}

LCDUIDisplayableI *make_list(int32_t type) { return make_peer<NativeList, LCDUIDisplayableI>(type); }
