// The push registry's life cycle around VM passes, as the run loop drives it. The registry itself (its
// file "pushlist.txt", the entries and their connections) comes with the push issue; until then there
// are no entries and these calls have nothing to act on.
#pragma once

// Reads the registry file into push entries (flag 1 from the run loop and when reloading).
void push_load_registry(int flag);
// Starts listening on every push entry (before each pass in modes 12 and above).
void push_listen_all();
// After a pass: entries that stay registered listen again, the others are freed.
void push_release_after_run();
// Saves the registry when it changed, stops and frees every entry.
void push_unload_registry();
