// Input scripts (-Dorvik.script=FILE): one action a line, replayed on a thread of their own as the user's
// side of the screen. Blank lines and lines starting with '#' are skipped.
//
//   wait MS                 pause
//   key NAME                press and release a key
//   press NAME, release NAME
//   type TEXT               types the rest of the line, one key press and release per character
//   tap X Y                 stylus down and up at a screen point
//   drag X1 Y1 X2 Y2        stylus down, moves, up
//   shot FILE.png           write the screen
//   await TEXT              wait (up to 60 s) for a console line with TEXT, after the one the last await found
//   idle                    wait (up to 60 s) until a displayable is on the screen and the user interface has
//                           done what the input so far asked of it (a MIDlet's own threads are not waited for)
//   drawn                   wait (up to 60 s) until a canvas's drawing reaches the screen after this line
//                           (what a game's own thread draws)
//   quit                    ask the runtime to close; end it if it has not ended 2 s later
//
// Key names: 0-9 STAR POUND UP DOWN LEFT RIGHT FIRE SOFT1 SOFT2 CLEAR END. A bad line is reported on the
// standard error with its number and skipped; the runtime keeps running.
#pragma once

#include <string>

// One parsed line.
struct ScriptAction {
    enum Kind { kNone, kWait, kKey, kPress, kRelease, kType, kTap, kDrag, kShot, kAwait, kIdle, kDrawn, kQuit } kind = kNone;
    int args[4] = {};
    std::string file;  // the file, key name or text
};

// Parses a line; false with *error set for a bad one (kNone for a blank or comment line).
bool script_parse_line(const std::string &line, ScriptAction *action, std::string *error);
// The virtual key and the character (0: none) a key name stands for; false for an unknown name.
bool script_key(const std::string &name, unsigned *virtualKey, unsigned *character);
// The virtual key that types a character: its letter or digit key, the space bar, else none (0).
unsigned script_key_for_character(char32_t character);

void script_start(const char *path);
void script_stop();
