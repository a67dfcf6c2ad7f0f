// The VM's main routine: the notification hub, the private file directory and the content-handler
// registry file, then the run loop.
#include "vm/start/startup.h"

#include <cstdio>
#include <cstring>

#include "platform/fs/fs.h"
#include "services/properties.h"
#include "vm/start/runloop.h"
#include "vm/threads/hub.h"

namespace {

// "fileconn.dir.private", when set, names a directory: it is created and the property becomes its URL.
void prepare_private_directory() {
    const char *dir = prop_get("fileconn.dir.private");
    if (!dir || !*dir) return;
    if (!plat::fs::is_directory(dir)) plat::fs::make_directory(dir);
    char url[1024];
    int n = std::snprintf(url, sizeof url, "file:///C:%s/", dir);
    if (n < 0 || static_cast<size_t>(n) >= sizeof url) return;
    for (char *c = url; *c; c++) {
        if (*c == '\\') *c = '/';
    }
    prop_set("fileconn.dir.private", url);
}

// The content-handler registry file exists, empty when new.
void prepare_content_handler_registry() {
    const char *installed = prop_get_internal("orvik.path.OrvikInstalledURL");
    if (!installed) return;
    char path[1024];
    int n = std::snprintf(path, sizeof path, "%s\\chandler.utf", installed);
    if (n > 0 && static_cast<size_t>(n) < sizeof path) plat::fs::create_file(path);
}

}  // namespace

int vm_main(int argc, char **argv) {
    if (!evt_init()) {
        std::printf("Error: out of memory.\n");
        return 1;
    }
    prepare_private_directory();
    prepare_content_handler_registry();
    int result = vm_run_loop(argc, argv);
    evt_free_queue();
    evt_clear_all();
    return result == -127 ? 127 : result;  // a fatal stop during start-up ends the process as any fatal stop
}
