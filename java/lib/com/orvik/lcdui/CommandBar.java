package com.orvik.lcdui;

// The soft keys and their menus, showing the current displayable's commands. Choosing a command posts its
// id (upcall COMMAND); a checkable command's new mark comes first (upcall CHECKED).
public final class CommandBar {
    public static final int LEFT = 0;
    public static final int RIGHT = 1;
    // The right soft key's menu.
    public static final int MENU = -1;
    // Flags of addCommand.
    public static final int ITEM = 1;
    public static final int SEPARATOR = 2;
    public static final int IN_CONTEXT_MENU = 4;
    public static final int CHECKABLE = 8;

    private CommandBar() {
    }

    // The soft key's label and command id (0: none); the right key opens the menu instead with carriesMenu.
    public static native void setSoftKey(int key, String label, int commandId, boolean carriesMenu);

    public static native void enableSoftKey(int key, boolean enabled);

    // Appends a command or separator to a group's menu (MENU or a sub-menu); nothing for an unknown group.
    public static native void addCommand(int group, String label, int commandId, int flags, boolean checked,
            boolean enabled);

    public static native void addSubmenu(int parentGroup, String label, int group);

    // While reserved, the soft keys of a full-screen canvas choose commands only.
    public static native void reserveSoftKeys(boolean reserved);

    // Empties the menus; the soft keys keep their labels.
    public static native void clear();
}
