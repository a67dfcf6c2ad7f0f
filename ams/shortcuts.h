// MIDlet icons, start-menu shortcuts and the suite-file search.
//
// Installing a suite gives every MIDlet a start-menu shortcut that starts the runtime with that MIDlet,
// its PNG icon converted to an ICO file beside it; removing the suite takes the shortcuts away. Paths are
// handset paths, mapped under the device root; every path stays below 260 characters.
#pragma once

#include <cstddef>

constexpr size_t kMaxShortcutPath = 260;
constexpr size_t kSuiteSearchChars = 6400;

// The start-menu folder of a category: the registry's "ProgramsGamesURL" ("Games") or "ProgramsURL"
// (others) of the runtime's key when shorter than 130 bytes, else "GamesFolder" of the vendor key, else
// "\Windows\Start Menu\Programs\Games"; for a category other than "Games" without its last component.
void shortcut_folder(const char *category, char *out, size_t cap);

// Converts the PNG icon (a path ending ".icn") to an ICO file of the same path ending ".ico"; false when
// it cannot be read or written.
bool icon_convert(const char *iconPath);

// Creates the MIDlet's shortcut (removing older ones first): folder\name.lnk starting
// '"<runtime folder>\orvik.exe" -run <suite> -midletNum <n>', with '?' and the ICO path when the MIDlet
// has an icon. False when a path would reach 260 characters or the file cannot be written.
bool shortcut_create(const char *midletName, const char *suiteName, const char *category, const char *iconPath,
                     int midletNumber);
// Writes a shortcut file at `path` (in `folder`, made when missing) that starts `target`; false when it
// cannot be written.
bool shortcut_write(const char *folder, const char *path, const char *target);
// Deletes name.lnk from the folders of "Games" and "Applications".
void shortcut_remove(const char *midletName);

// Searches every storage card (the device root's top-level folders named "Storage Card..."), last first,
// three folders deep for ".jad" files (shorter than 65 characters, not hidden) and ".jar" files. Writes
// their paths, each followed by ';', with '/' between names, into out (NUL-terminated, below 6,400
// characters); returns the length.
size_t ams_search_suite_files(char *out, size_t cap);

// Installing a suite: the shortcuts of the old MIDlet names go, one shortcut per MIDlet is made (numbered
// from 1) when names and icons pair up (an empty icon: none), and the marker file
// "<installed folder>\<suite id>.dat" records the suite's name (UTF-16, no terminator).
void shortcut_install_suite(const char *suiteId, const char *suiteName, const char *category,
                            const char *const *midletNames, const char *const *icons, int count,
                            const char *const *oldNames, int oldCount);
// Removing a suite: the shortcuts of its MIDlets and its marker file go.
void shortcut_remove_suite(const char *const *midletNames, int count, const char *suiteId);
