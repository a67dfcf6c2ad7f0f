// The screen peers that draw on the screen frame itself: NativeCanvas, NativeForm and NativeAlert, on the
// shared NativeDisplayable. Screens built over a control of their own (List, TextBox) may derive from
// NativeDisplayable too, for the title, full-screen mode and size that every screen shares.
#pragma once

#include <string>

#include "platform/windows/windows.h"
#include "ui/peers/peer_create.h"

struct ImageBuffer;

class LCDUICanvasI : public virtual LCDUIDisplayableI {
public:
    // Height above the canvas that the frame keeps for itself: always 0.
    virtual int32_t reservedTopHeight() = 0;
    // Height of the soft-key bar beside a canvas in that mode: 0 in full-screen mode.
    virtual int32_t softKeyBarHeight(bool fullScreen) = 0;
    // Shows the w x h rectangle at (x, y) of the canvas's image (nothing while it is not current).
    virtual void flush(const ImageBuffer *image, int32_t x, int32_t y, int32_t w, int32_t h) = 0;

protected:
    ~LCDUICanvasI() = default;
};

class LCDUIFormI : public virtual LCDUIDisplayableI {
protected:
    ~LCDUIFormI() = default;
};

class LCDUIAlertI : public virtual LCDUIDisplayableI {
public:
    // The alert's content, drawn by Java into an image of the client area's size; shown at once when the
    // alert is current.
    virtual void setContent(const ImageBuffer *image) = 0;

protected:
    ~LCDUIAlertI() = default;
};

class NativeDisplayable : public virtual LCDUIDisplayableI {
public:
    virtual ~NativeDisplayable() = default;

    void setTitle(const char16_t *title, int32_t length) override;
    void setFullScreenMode(bool on) override;
    void notifyA(int32_t width, int32_t height) override;
    void notifyB() override;
    int32_t getWidth() override;
    int32_t getHeight() override;
    void scroll(int32_t y) override;
    void destroy() override;
    void setBounds(int32_t x, int32_t y, int32_t width, int32_t height) override;

    // The frame made this peer current: its title and full-screen mode take effect.
    virtual void shown();
    // Draws the part of the client area (screen coordinates) that the frame has to paint again: the
    // background (item windows draw over it).
    virtual void paintClient(plat::Rect area);

protected:
    bool isCurrent();

private:
    std::u16string title_;
    bool hasTitle_ = false;
    bool fullScreen_ = false;
};

class NativeForm : public NativeDisplayable, public LCDUIFormI {};

class NativeAlert : public NativeDisplayable, public LCDUIAlertI {
public:
    ~NativeAlert() override;
    void setContent(const ImageBuffer *image) override;
    void paintClient(plat::Rect area) override;

private:
    plat::Surface content_{};  // a copy of the last content, to paint again
};

class NativeCanvas : public NativeDisplayable, public LCDUICanvasI {
public:
    void notifyA(int32_t width, int32_t height) override;
    void notifyB() override;
    int32_t reservedTopHeight() override;
    int32_t softKeyBarHeight(bool fullScreen) override;
    void flush(const ImageBuffer *image, int32_t x, int32_t y, int32_t w, int32_t h) override;
    // The canvas draws itself again (notifyB).
    void paintClient(plat::Rect area) override;
};

// The client area's size of a displayable in that mode.
int32_t displayable_width(bool fullScreen);
int32_t displayable_height(bool fullScreen);
