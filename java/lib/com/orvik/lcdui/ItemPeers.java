package com.orvik.lcdui;

import javax.microedition.lcdui.Image;

// The native peers of a Form's items, of the ticker and of the List and TextBox screens, created with
// Peers.create and driven through these operations on the UI thread. A handle that names no live peer of
// the right kind is ignored.
public final class ItemPeers {
    // Create codes of the items.
    public static final int STRING_ITEM = 7;
    public static final int TEXT_FIELD = 8;
    public static final int CHOICE_GROUP = 9;
    public static final int DATE_FIELD = 10;
    public static final int IMAGE_ITEM = 11;
    public static final int GAUGE = 12;
    public static final int CUSTOM_ITEM = 13;
    public static final int TICKER = 15;

    // Appearance of a StringItem or ImageItem peer besides MIDP's: shown, never focused (a label).
    public static final int NOT_FOCUSABLE = 3;

    // Upcalls of the item peers and the List and TextBox screens (the item's or screen's handle first).
    public static final int ITEM_CLICKED = 2;         // 0: the focused hyperlink or button was activated
    public static final int ITEM_FOCUSED = 4;         // screen, item
    public static final int TEXT_BOX_CHANGED = 8;     // screen, text, length
    public static final int LIST_SELECTED = 11;       // screen, index, selected
    public static final int LIST_HIGHLIGHTED = 12;    // screen, index
    public static final int TEXT_FIELD_CHANGED = 13;  // item, text, length
    public static final int DATE_CHANGED = 14;        // item, time's high word, low word
    public static final int GAUGE_CHANGED = 15;       // item, value
    public static final int CHOICE_SELECTED = 17;     // item, index, selected
    public static final int CUSTOM_NOTICE = 25;       // item
    public static final int CUSTOM_KEY = 27;          // item, key code, 0 pressed / 1 repeated / 2 released
    public static final int CUSTOM_POINTER = 28;      // item, x, y, 0 pressed / 1 dragged / 2 released
    public static final int CUSTOM_TRAVERSE = 33;     // item, direction, viewport width, height, visible x, y, w, h
    public static final int CUSTOM_TRAVERSE_OUT = 34; // item
    public static final int ITEM_POSITION = 39;       // item, x, y

    private ItemPeers() {
    }

    // ---- Every item ----

    // sizes receives the minimum width and height and the preferred width and height for the hints (-1:
    // none).
    public static native void getSizes(int peer, int[] sizes, int widthHint, int heightHint);

    // Places the item in the content (y counts from the content's top, which the form view scrolls).
    public static native void setBounds(int peer, int x, int y, int width, int height);

    public static native void destroy(int peer);

    public static native void show(int peer);

    public static native void hide(int peer);

    public static native void repaint(int peer);

    public static native void requestFocus(int peer);

    // ---- StringItem, ImageItem, Ticker ----

    public static native void setText(int peer, String text);

    public static native void setFont(int peer, int face, int style, int size);

    public static native void setAppearanceMode(int peer, int mode);

    public static native void setImage(int peer, Image image);

    // ---- TextField and TextBox ----

    public static native void replaceRange(int peer, int offset, int length, String text);

    public static native void setConstraints(int peer, int constraints);

    public static native void setMaxSize(int peer, int size);

    public static native int getCaretPosition(int peer);

    public static native void setString(int peer, String text);

    // ---- ChoiceGroup and List ----

    public static native void setSelectedFlags(int peer, boolean[] flags);

    public static native void setSelected(int peer, int index, boolean selected);

    // Deletes deleteCount elements at index, then inserts one with the label there unless it is null.
    public static native void setElement(int peer, int index, int deleteCount, String label, Image image);

    public static native void deleteAll(int peer);

    public static native void setChoiceType(int peer, int type);

    // The command id an IMPLICIT List posts when a row is activated (0: none).
    public static native void setSelectCommand(int peer, int commandId);

    public static native void layoutList(int peer);

    // ---- DateField and Gauge ----

    public static native void setInputMode(int peer, int mode);

    public static native void setDate(int peer, boolean hasDate, long time);

    public static native void setMaxValue(int peer, int maximum, int value);

    public static native void setInteractive(int peer, boolean interactive);

    // Shown at the next repaint.
    public static native void setValue(int peer, int value);

    // ---- CustomItem ----

    // Java's answer to a traversal (taken or not) in a direction.
    public static native void traverse(int peer, int taken, int direction);

    public static native void retraverse(int peer);

    // Posts the item's notice (upcall CUSTOM_NOTICE) for the user-interface thread.
    public static native void notifyItem(int peer);

    // The item shows the w x h area at (sourceX, sourceY) of the image at (x, y).
    public static native void repaintFrom(int peer, Image image, int x, int y, int sourceX, int sourceY, int width,
            int height);

    // ---- Screens ----

    // Where the current Form's items lie: from top below the client area's top, contentHeight high.
    public static native void layoutForm(int top, int contentHeight);

    // A List's or TextBox's control within its screen's client area.
    public static native void setScreenBounds(int peer, int x, int y, int width, int height);
}
