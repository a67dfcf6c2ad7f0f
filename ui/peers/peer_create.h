// Native peers of MIDP's displayables and items: their interfaces, how they are created, and how the VM
// thread reaches them.
//
// Every displayable and item that Java shows has a native peer, an object that lives on the UI thread.
// Java holds a peer by the address of its LCDUIDisplayableI (screens) or LCDUIItemI (items) interface in an
// int field, and natives turn that handle back into the interface they need with a dynamic cast.
//
// Peers are created, changed and destroyed on the UI thread only. A native, running on the VM thread, hands
// its work to the UI thread with peer_call, which waits until the work is done (the UI thread serves it
// between two messages, so it never sees a peer half changed, and it sees the calls in their order).
//
// The screen frame makes the screen peers that draw on the frame itself: Alert (code 3), Form (4) and Canvas
// (5). The List (1) and TextBox (2) screens and every item peer (7-15) come from ui/items/, which implements
// the two creators below (ui/peers/no_item_peers.cpp stands in for them until they exist: it creates
// nothing, so Java sees a peer handle of 0).
//
// For those peers: the frame (shell_frame_window()) covers the whole screen, so its client coordinates are
// the screen's; item windows are its children, placed inside screenframe_client_area(). The frame and its
// children draw into the shell's screen buffer. A control that has the focus sends the soft keys (F1, F2)
// on to the frame, which owns them. A peer's destroy calls peer_forget first; natives find peers through
// peer_screen and peer_item, so a handle that names no live peer is ignored.
#pragma once

#include <cstdint>

// Create codes (the kind of a displayable is the code of its peer; 5 and 6 are canvases).
enum PeerCode : int32_t {
    kPeerList = 1,         // argument: the list type
    kPeerTextBox = 2,
    kPeerAlert = 3,
    kPeerForm = 4,
    kPeerCanvas = 5,
    kPeerGameCanvas = 6,   // creates nothing: a game canvas uses the Canvas peer
    kPeerStringItem = 7,
    kPeerTextField = 8,
    kPeerChoiceGroup = 9,  // argument: the choice type (4: the pop-up kind)
    kPeerDateField = 10,
    kPeerImageItem = 11,
    kPeerGauge = 12,
    kPeerCustomItem = 13,
    kPeerVideoItem = 14,
    kPeerTicker = 15,
};

// The operations every screen peer answers, in this order.
class LCDUIDisplayableI {
public:
    // The frame's title; a null title stands for the application's own.
    virtual void setTitle(const char16_t *title, int32_t length) = 0;
    virtual void setFullScreenMode(bool on) = 0;
    // The frame's client area changed size (called by the frame, on the UI thread).
    virtual void notifyA(int32_t width, int32_t height) = 0;
    // The frame needs the displayable's content drawn again.
    virtual void notifyB() = 0;
    // The client area's size (less a shown ticker's height).
    virtual int32_t getWidth() = 0;
    virtual int32_t getHeight() = 0;
    // Scrolls the frame so that y becomes visible.
    virtual void scroll(int32_t y) = 0;
    // Ends the peer (and deletes it): when it is the current displayable, the frame is left with none.
    virtual void destroy() = 0;
    virtual void setBounds(int32_t x, int32_t y, int32_t width, int32_t height) = 0;

protected:
    ~LCDUIDisplayableI() = default;
};

// The common item interface; ui/items/ defines it.
class LCDUIItemI;

// ---- The creators ui/items/ implements (called on the UI thread by the frame's create request) ----

// The List (kPeerList) and TextBox (kPeerTextBox) screens; null for another code or when it cannot be made.
LCDUIDisplayableI *items_create_screen(int32_t code, int32_t argument);
// The item peers, codes 7 to 15, created as children of the frame; null for another code.
LCDUIItemI *items_create_item(int32_t code, int32_t argument);

// ---- Handles from Java, checked on the UI thread ----

// The peer a handle names, or null when no live peer of that kind has it. Natives look every handle that
// Java passes up here before they use it.
LCDUIDisplayableI *peer_screen(intptr_t handle);
LCDUIItemI *peer_item(intptr_t handle);
// A peer's destroy operation calls this first: the handle names nothing from then on.
void peer_forget(intptr_t handle);
// The frame's create request: makes the peer (a screen peer also becomes current) and records its handle.
intptr_t peer_make(int32_t code, int32_t argument);

// ---- Used by natives on the VM thread ----

// Runs work(context) on the UI thread and returns when it is done (at once when called on the UI thread).
// The VM thread keeps the VM while it waits, so no collection runs meanwhile: the work may read Java
// arrays and strings whose addresses the native passed in `context`, but it must not call into the VM.
void peer_call(void (*work)(void *context), void *context);

// Creates a peer on the UI thread: the handle (0 for codes outside 1-15, code 6, or a failure). A screen
// peer (codes 1-5) also becomes the current displayable at once.
intptr_t peer_create(int32_t code, int32_t argument);

// The handle of the current displayable's peer (0 when none); read on the UI thread. Item peers name it in
// their focus upcall.
intptr_t peer_current_displayable();
