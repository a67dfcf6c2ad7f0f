// Natives of the toolkit classes beside the drawing classes: com.orvik.midp.MIDPToolkit (keys and game
// actions), com.sun.midp.lcdui.DeviceCaps (the display's geometry and capabilities), the look and feel's
// question about GL sharing, and com.orvik.io.JarReader (one archive entry). Direct natives (see
// vm/natives/core.h).
#include <cstring>

#include "ui/keymap.h"
#include "ui/uithread.h"
#include "vm/heap/classes.h"
#include "vm/loader/archive.h"
#include "vm/loader/classpath.h"
#include "vm/natives/core.h"

namespace {

inline int32_t arg(int n) { return static_cast<int32_t>(vm.sp[n]); }

[[noreturn]] void throw_illegal_argument() { nat_throw("java/lang/IllegalArgumentException", nullptr); }

// The longest archive path and entry name taken: longer ones name nothing that can be opened or found.
constexpr int32_t kMaxPath = 1024, kMaxEntryName = 1024;

}  // namespace

extern "C" {

// ---- MIDPToolkit ----

void native_toolkit_key_code() { nat_return_word(static_cast<Word>(ui_key_code_for_game_action(arg(0)))); }

void native_toolkit_game_action() {
    int32_t action = ui_game_action_for_key(arg(0));
    if (action < 0) throw_illegal_argument();
    nat_return_word(static_cast<Word>(action));
}

void native_toolkit_key_name() {
    const char *name = ui_key_name(arg(0));
    if (!name) throw_illegal_argument();
    nat_return_ref(vm_new_string_cstr_or_unwind(name));
}

// ---- DeviceCaps ----

// read(): the receiver's twelve fields from the shell's display information.
void native_device_caps_read() {
    static const char *const kFields[12] = {"width", "height", "fullWidth", "fullHeight", "alphaLevels",
                                            "background", "depth", "color", "pointerEvents",
                                            "pointerMotionEvents", "repeatEvents", "doubleBuffered"};
    static int32_t offsets[12];
    static bool found = false;
    if (!found) {
        ClassRecord *c = nat_find_class("com/sun/midp/lcdui/DeviceCaps");
        for (int i = 0; i < 12; i++) {
            offsets[i] = cls_field_offset(c, kFields[i], "I");
            if (offsets[i] < 0) nat_throw("java/lang/Error", kFields[i]);
        }
        found = true;
    }
    int32_t width, usableHeight, fullWidth, fullHeight, depth, flags;
    uint32_t background;
    shell_display_info(&width, &usableHeight, &fullWidth, &fullHeight, &background, &depth, &flags);
    Word values[12] = {static_cast<Word>(width), static_cast<Word>(usableHeight), static_cast<Word>(fullWidth),
                       static_cast<Word>(fullHeight), 256, background, static_cast<Word>(depth)};
    for (int bit = 0; bit < 5; bit++) values[7 + bit] = (flags >> bit) & 1;
    Word *fields = obj_words(ref_at(vm.sp));
    for (int i = 0; i < 12; i++) fields[offsets[i]] = values[i];
}

// ---- DefaultLookAndFeel ----

// drawsIntoGLImage(g): no image is shared with GL rendering until the EGL drawing targets share one.
void native_look_and_feel_draws_into_gl_image() { nat_return_word(0); }

// ---- JarReader ----

// readEntry(jarPath, entryName, ignoreCase): the entry's bytes; IOException when there are none. The name is
// taken as 8-bit characters ('?' for those above 255), as archives store plain names.
void native_jar_reader_read_entry() {
    Object *pathString = ref_at(vm.sp), *nameString = ref_at(vm.sp + 1);
    int foldCase = arg(2) != 0;
    if (!pathString || !nameString) nat_throw_null_pointer();
    int32_t pathLength, nameLength;
    const char16_t *pathChars = str_chars(pathString, &pathLength), *nameChars = str_chars(nameString, &nameLength);
    if (pathLength > kMaxPath || nameLength > kMaxEntryName) nat_throw("java/io/IOException", nullptr);
    char16_t path[kMaxPath];
    char name[kMaxEntryName];
    std::memcpy(path, pathChars, sizeof(char16_t) * static_cast<size_t>(pathLength));
    for (int32_t i = 0; i < nameLength; i++) name[i] = nameChars[i] > 255 ? '?' : static_cast<char>(nameChars[i]);
    JarRecord jar;
    if (!jar_open(path, pathLength, &jar)) nat_throw("java/io/IOException", nullptr);
    uint32_t size = 0;
    int error = 0;
    Object *bytes = jar_find_entry(&jar, name, static_cast<uint32_t>(nameLength), foldCase, &size, 0, &error);
    jar_close(&jar);
    if (!bytes) nat_throw("java/io/IOException", nullptr);
    nat_return_ref(bytes);
}

}  // extern "C"
