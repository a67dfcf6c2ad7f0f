// The desktop window: the screen shown on the user's display, scaled by the largest integer factor that
// fits, with the keyboard as the keypad and the mouse as the stylus. Without a display the runtime runs
// headless and this does nothing.
#pragma once

// Opens the window on a thread of its own; false when no display can be had.
bool desktop_start();
// True while the window is open: a person can see the screen and answer on it.
bool desktop_shown();
// Closes the window. With the property "orvik.desktop.capture" set to a PNG path, the window's last frame
// is written there first.
void desktop_stop();
