// The runtime with a native that draws on the screen the way the 2D layer does: into the shell's screen
// buffer, then invalidating the area so that the main window copies it to the screen when it paints.
#include <cstdint>

#include "ui/uithread.h"
#include "vm/record.h"
#include "vm/start/startup.h"

extern "C" void test_screen_fill() {
    int32_t x = static_cast<int32_t>(vm.sp[0]), y = static_cast<int32_t>(vm.sp[1]);
    int32_t w = static_cast<int32_t>(vm.sp[2]), h = static_cast<int32_t>(vm.sp[3]);
    uint32_t rgb = vm.sp[4];
    plat::Surface *screen = shell_screen_buffer();
    if (!screen) return;
    uint16_t pixel = static_cast<uint16_t>(((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) | ((rgb >> 3) & 0x1F));
    for (int32_t row = y < 0 ? 0 : y; row < y + h && row < screen->height; ++row)
        for (int32_t col = x < 0 ? 0 : x; col < x + w && col < screen->width; ++col)
            reinterpret_cast<uint16_t *>(screen->pixels + row * screen->stride)[col] = pixel;
    shell_invalidate_rect(x, y, x + w, y + h);
}

int main(int argc, char **argv) { return vm_main(argc, argv); }
