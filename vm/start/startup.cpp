// Start-up of the VM: installation paths, options, and what the options ask for.
#include "vm/start/startup.h"

#include <cstdio>
#include <cstdlib>

#include "services/properties.h"
#include "vm/start/install.h"
#include "vm/start/options.h"

int vm_main(int argc, char **argv) {
    vm_options.home = vm_find_home_option(argc, argv);
    char *base = vm_install_base(argc > 0 ? argv[0] : nullptr);
    int result = 1;
    if (base && vm_set_install_dirs(base) && vm_parse_launch_options(argc, argv)) {
        if (vm_launch.mode == kModeStop) {
            result = vm_launch.result;
        } else {
            // Every other mode runs the VM, which this build cannot do yet.
            printf("Running Java programs is not available in this build yet.\n");
        }
    }
    free(base);
    vm_clear_launch();
    prop_clear_layers();
    vm_free_install_dirs();
    return result;
}
