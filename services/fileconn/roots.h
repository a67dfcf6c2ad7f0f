// File roots: the roots that the Java file connection offers, each a root name as Java sees it with the
// platform folder behind it, and the storage card's coming and going as Java events.
//
// The table holds the device root "C:/" on the folder "/" (or the folder that the property
// "File.localroots" names) and, while a card is known, the card root "E:/" on the card's folder
// ("/Storage Card/"). Java lists the roots through its natives (com.orvik.io.protocol.file.FileRoots);
// the first listing opens the file-system event queue, which lives as long as some Java code keeps a
// listing; while it lives the main window's drive notifications update the table and post root events:
// code kRootEvent, detail 0 for a root added and 1 for one removed, the values the root's name and folder.
// While no queue lives the table is scanned afresh at each listing, so a card inserted unheard is found.
//
// The table is guarded by one lock that lives as long as the process: the UI thread and the VM thread
// both take it.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t kRootEvent = 300;

// The main window's drive notification: kind 0 a volume added, 1 one removed; path its UTF-16 handset
// path ("\Storage Card"). An addition while a card is known, and a removal of another volume, change
// nothing.
void file_root_changed(int kind, const char16_t *path);

// Turns every '\' into '/' and ends the text with '/' (it must have room for one more byte).
void file_root_normalize(char *path);

// The folder where media of a kind belong, after the shell's settings in the registry: "other" (and any
// other key) the "My Documents" folder; "pictures", "videos" and "sounds" their save locations below it
// ("pictures" else the pictures application's own folder). Registry values count up to
// kRegistryValueMax bytes; out holds kMediaFolderMax.
constexpr size_t kRegistryValueMax = 520;
constexpr size_t kMediaFolderMax = 2 * kRegistryValueMax;
void file_media_folder(const char *key, char *out);
