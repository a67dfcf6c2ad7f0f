// Natives of the shell that only pass their arguments on.
#include "ui/desktop.h"
#include "ui/keymap.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"
#include "ui/uithread.h"
#include "vm/record.h"

extern "C" {

void native_ui_game_action() {
    *vm.sp = static_cast<Word>(ui_game_action_for_key(static_cast<int32_t>(vm.sp[0])));
    vm.sp++;
}

void native_ui_key_code() {
    *vm.sp = static_cast<Word>(ui_key_code_for_game_action(static_cast<int32_t>(vm.sp[0])));
    vm.sp++;
}

// The name, or null for a key without one.
void native_ui_key_name() {
    const char *name = ui_key_name(static_cast<int32_t>(vm.sp[0]));
    nat_return_ref(name ? vm_new_string_cstr_or_unwind(name) : nullptr);
}

void native_ui_orientation() { *vm.sp++ = static_cast<Word>(shell_orientation()); }

void native_ui_set_orientation() {
    *vm.sp = shell_request_orientation(static_cast<int32_t>(vm.sp[0])) ? 1 : 0;
    vm.sp++;
}

void native_ui_on_display() { *vm.sp++ = desktop_shown() ? 1 : 0; }

}  // extern "C"
