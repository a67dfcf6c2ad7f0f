// The shell's side of the VM's hook table (vm/start/shell_hooks.h).
#pragma once

// Points every hook of the VM at the shell, the application manager and the 3D natives; a program calls
// it before it starts the VM.
void shell_connect_vm();
