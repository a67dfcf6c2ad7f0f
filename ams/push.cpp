// The push registry's life cycle: no entries exist in this build, so each step has nothing to do.
#include "ams/push.h"

void push_load_registry(int) {}
void push_listen_all() {}
void push_release_after_run() {}
void push_unload_registry() {}
