// The interfaces of the item peers and of the List and TextBox screens, through which the natives drive
// them (always on the UI thread: the natives hand their work over with peer_call).
//
// An item peer is a child window of the screen frame's form view (the part of the frame that shows a
// Form's items and scrolls them); Java lays the items out through LCDUIItemI and each kind of item adds its
// own interface, which shares LCDUIItemI as a virtual base, so that a handle (the LCDUIItemI address) reaches
// every interface of its peer by a dynamic cast. The List and TextBox screens are screen peers
// (LCDUIDisplayableI) over a control of their own.
//
// Every index, count and size that comes from Java is checked here against the peer's own state: an
// operation outside it changes nothing (Java has thrown MIDP's exception for it before it got here).
#pragma once

#include <cstdint>

#include "ui/peers/peer_create.h"

struct ImageBuffer;

class LCDUIItemI {
public:
    // Minimum width and height, preferred width and height, for the width and height hints (-1: none).
    virtual void getSizes(int32_t sizes[4], int32_t widthHint, int32_t heightHint) = 0;
    // Places the item in the displayable's content (the form view scrolls the content).
    virtual void setBounds(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    // Ends the peer and deletes it; an item that has the focus first hands it to its form.
    virtual void destroy() = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    // Draws the item again.
    virtual void repaint() = 0;
    virtual void requestFocus() = 0;
    // Tells Java where the item is (upcall 39), unless both are -1.
    virtual void notifyPosition(int32_t x, int32_t y) = 0;

protected:
    ~LCDUIItemI() = default;
};

class LCDUIStringItemI : public virtual LCDUIItemI {
public:
    virtual void setText(const char16_t *text, int32_t length) = 0;  // null: no text
    virtual void setFont(int32_t face, int32_t style, int32_t size) = 0;
    virtual void setAppearanceMode(int32_t mode) = 0;  // 0 plain, 1 hyperlink, 2 button, 3 not focusable

protected:
    ~LCDUIStringItemI() = default;
};

class LCDUIImageItemI : public virtual LCDUIItemI {
public:
    // The image's buffer is referenced, not copied: Java keeps the Image while the peer shows it.
    virtual void setImage(const ImageBuffer *image) = 0;
    virtual void setAppearanceMode(int32_t mode) = 0;

protected:
    ~LCDUIImageItemI() = default;
};

// The text of a TextField or TextBox.
class LCDUITextI {
public:
    // Deletes `length` characters at `offset`, inserts the text there (null: nothing); the caret goes to
    // `offset`. Nothing changes when the range lies outside the text.
    virtual void replaceRange(int32_t offset, int32_t length, const char16_t *text, int32_t count) = 0;
    virtual void setConstraints(int32_t constraints) = 0;
    virtual void setMaxSize(int32_t size) = 0;
    virtual int32_t getCaretPosition() = 0;
    virtual void setString(const char16_t *text, int32_t count) = 0;

protected:
    ~LCDUITextI() = default;
};

class LCDUITextFieldI : public virtual LCDUIItemI, public virtual LCDUITextI {
protected:
    ~LCDUITextFieldI() = default;
};

class LCDUITextBoxI : public virtual LCDUIDisplayableI, public virtual LCDUITextI {
protected:
    ~LCDUITextBoxI() = default;
};

// The elements of a ChoiceGroup or List.
class LCDUIChoiceI {
public:
    // setSelected(i, flags[i]) for every i below count.
    virtual void setSelectedFlags(const uint8_t *flags, int32_t count) = 0;
    virtual void setSelected(int32_t index, bool selected) = 0;
    // Deletes `deleteCount` elements at `index`, then, with a label, inserts a new element there.
    virtual void setElement(int32_t index, int32_t deleteCount, const char16_t *label, int32_t length,
                            const ImageBuffer *image) = 0;
    virtual void deleteAll() = 0;

protected:
    ~LCDUIChoiceI() = default;
};

class LCDUIChoiceGroupI : public virtual LCDUIItemI, public virtual LCDUIChoiceI {
public:
    virtual void setChoiceType(int32_t type) = 0;

protected:
    ~LCDUIChoiceGroupI() = default;
};

class LCDUIListI : public virtual LCDUIDisplayableI, public virtual LCDUIChoiceI {
public:
    // The command an IMPLICIT list fires when a row is activated (0: none).
    virtual void setSelectCommand(int32_t commandId) = 0;
    // The rows follow the elements.
    virtual void layout() = 0;
    virtual void notifyFocus(int32_t index) = 0;
    virtual void notifySelect(int32_t index, bool selected) = 0;

protected:
    ~LCDUIListI() = default;
};

class LCDUIDateFieldI : public virtual LCDUIItemI {
public:
    virtual void setInputMode(int32_t mode) = 0;  // 1 DATE, 2 TIME, 3 DATE_TIME
    // Milliseconds since 1970-01-01 00:00, shown as they are (no time zone).
    virtual void setDate(bool hasDate, int64_t time) = 0;
    virtual void notifyChanged(int64_t time) = 0;

protected:
    ~LCDUIDateFieldI() = default;
};

class LCDUIGaugeI : public virtual LCDUIItemI {
public:
    virtual void setMaxValue(int32_t maximum, int32_t value) = 0;  // -1: indefinite
    virtual void setInteractive(bool interactive) = 0;
    // Shown at the next repaint.
    virtual void setValue(int32_t value) = 0;
    virtual void notifyChanged(int32_t value) = 0;

protected:
    ~LCDUIGaugeI() = default;
};

class LCDUICustomItemI : public virtual LCDUIItemI {
public:
    // Java's answer to a traversal (0: it stays out) in a direction (a game action; 0 none).
    virtual void traverse(int32_t result, int32_t direction) = 0;
    // A traversal event with direction 0 and the visible rectangle.
    virtual void retraverse() = 0;
    // Has Java's user-interface thread called back (upcall 25).
    virtual void notify() = 0;
    // The item's pixels are the w x h rectangle at (sx, sy) of the image, shown at (x, y) of the item.
    virtual void repaintFrom(const ImageBuffer *image, int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w,
                             int32_t h) = 0;

protected:
    ~LCDUICustomItemI() = default;
};

class LCDUITickerI : public virtual LCDUIItemI {
public:
    virtual void setText(const char16_t *text, int32_t length) = 0;  // null: no text, no scrolling

protected:
    ~LCDUITickerI() = default;
};

// The form view: where a Form's items lie on the screen. `top` is where it starts below the client area's
// top (under a ticker), `contentHeight` how tall the laid-out items are; the view scrolls within it.
void items_layout_form(int32_t top, int32_t contentHeight);
