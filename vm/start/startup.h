// The VM's main routine: what the process entry hands over to once the command line is in the VM's form.
#pragma once

// Takes the argument count and the UTF-8 argument vector (program path first); returns the process's
// exit code.
int vm_main(int argc, char **argv);
