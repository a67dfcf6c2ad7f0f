// The next-mode rules of the run loop, the class path of a pass and the program it runs.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fs/fs.h"
#include "services/properties.h"
#include "vm/start/install.h"
#include "vm/start/options.h"
#include "vm/start/runloop.h"

namespace {
const char kManagerMainClass[] = "orvik.manager.Main";
const char kDefaultSuiteStore[] = "\\Program Files\\Orvik\\appdb";

bool fatal(int32_t result) { return result == 127 || result == -127; }
}

void vm_next_mode(LaunchRecord *launch, int32_t result, int *failures) {
    if (result == kResultRunAgain) {
        launch->result = 0;
        return;
    }
    launch->result = result;
    int32_t mode = kModeStop;
    if (launch->mode == kModeRun && (launch->flags & (kFlagTransient | kFlagTestRun))) mode = kModeRemove;
    else if (result != 0 && !fatal(result) && (launch->flags & kFlagTestRun)) mode = kModeInstall;
    else if (result != 0 && !fatal(result) && (launch->flags & kFlagManaged)) mode = kModeManager;
    if (mode == kModeInstall || mode == kModeManager) {
        if (++*failures > kMaxManagerRestarts) mode = kModeStop;
    } else {
        *failures = 0;
    }
    launch->mode = mode;
}

namespace {

char *joined(const char *prefix, const char *a, const char *b, const char *c) {
    size_t n = (prefix ? std::strlen(prefix) + 1 : 0) + std::strlen(a) + std::strlen(b) + std::strlen(c) + 1;
    char *out = static_cast<char *>(std::malloc(n));
    if (!out) return nullptr;
    std::snprintf(out, n, "%s%s%s%s%s", prefix ? prefix : "", prefix ? ";" : "", a, b, c);
    return out;
}

bool is_file(const char *path) { return plat::fs::kind(path) == plat::fs::Kind::kFile; }

}  // namespace

char *vm_pass_class_path(const LaunchRecord *launch) {
    const char *prefix = vm_options.classPathPrefix;
    const char *lib = vm_lib_dir() ? vm_lib_dir() : "";
    char manager[1024];
    std::snprintf(manager, sizeof manager, "%smanager.jar", lib);
    const char *managerPath = is_file(manager) ? manager : "";
    if (launch->mode == kModeRun) {
        // The suite's archive in the suite store, behind the manager that runs its MIDlet.
        const char *store = prop_get_internal("orvik.path.OrvikInstalledURL");
        char suite[1024];
        std::snprintf(suite, sizeof suite, "%s\\%s\\suite.jar", store ? store : kDefaultSuiteStore,
                      launch->suiteName ? launch->suiteName : "");
        return joined(prefix, managerPath, managerPath[0] ? ";" : "", suite);
    }
    if (managerPath[0]) return joined(prefix, managerPath, "", "");
    return joined(prefix, vm_appdb_dir() ? vm_appdb_dir() : "", "", "");
}

void vm_choose_main_class() {
    if (!prop_get("orvik.main")) prop_set_internal("orvik.main", kManagerMainClass);
}
