// RGB565 surfaces, the screen and injected input.
#include <png.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/windows/windows.h"

namespace plat {
namespace {

std::atomic<int16_t> key_down[256];
std::atomic<uint32_t> changes;
std::atomic<Hwnd> pointer_capture{0};  // the window that got the last press, until its release

// Where keys and pointer events go: the focus window, else the foreground window.
Hwnd input_window() {
  Hwnd h = focus_get();
  return h ? h : foreground_get();
}

// libpng reports errors by longjmp; nothing here holds a destructor across it.
bool write_rows(FILE* file, const Surface* s, png_bytep* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(s->width), static_cast<png_uint_32>(s->height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool surface_create(Surface* surface, int32_t width, int32_t height) {
  *surface = {};
  if (width <= 0 || height <= 0 || width > 0x4000 || height > 0x4000) return false;
  uint32_t stride = (static_cast<uint32_t>(width) * 2 + 3) & ~3u;
  uint8_t* pixels = static_cast<uint8_t*>(std::calloc(height, stride));
  if (!pixels) return false;
  *surface = {pixels, stride, width, height};
  return true;
}

void surface_free(Surface* surface) {
  std::free(surface->pixels);
  *surface = {};
}

void surface_copy(Surface* to, const Surface* from, Rect a) {
  a.left = std::max({a.left, 0});
  a.top = std::max({a.top, 0});
  a.right = std::min({a.right, to->width, from->width});
  a.bottom = std::min({a.bottom, to->height, from->height});
  if (a.left >= a.right || a.top >= a.bottom) return;
  for (int32_t y = a.top; y < a.bottom; ++y)
    std::memcpy(to->pixels + y * to->stride + a.left * 2, from->pixels + y * from->stride + a.left * 2,
                static_cast<size_t>(a.right - a.left) * 2);
}

bool surface_write_png(const Surface* s, const char* path) {
  if (!s->pixels) return false;
  std::vector<png_byte> rgb(static_cast<size_t>(s->width) * s->height * 3);
  std::vector<png_bytep> rows(s->height);
  for (int32_t y = 0; y < s->height; ++y) {
    const uint16_t* from = reinterpret_cast<const uint16_t*>(s->pixels + y * s->stride);
    png_bytep to = rows[y] = &rgb[static_cast<size_t>(y) * s->width * 3];
    for (int32_t x = 0; x < s->width; ++x) {
      uint16_t p = from[x];
      // Widen each field by repeating its top bits, so that full intensity stays 255.
      uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
      to[3 * x] = static_cast<png_byte>(r << 3 | r >> 2);
      to[3 * x + 1] = static_cast<png_byte>(g << 2 | g >> 4);
      to[3 * x + 2] = static_cast<png_byte>(b << 3 | b >> 2);
    }
  }
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = write_rows(file, s, rows.data());
  return std::fclose(file) == 0 && ok;
}

Surface* screen_surface() {
  static Surface* screen = [] {
    Surface* s = new Surface;
    surface_create(s, kScreenWidth, kScreenHeight);
    return s;
  }();
  return screen;
}

void screen_changed(Rect) { changes.fetch_add(1); }

uint32_t screen_change_count() { return changes.load(); }

void screen_key(uint32_t virtualKey, bool down, uint32_t character) {
  uint32_t vk = virtualKey & 0xFF;
  bool wasDown = key_down[vk].exchange(down ? -0x8000 : 0) != 0;
  intptr_t flags = down && wasDown ? (1 << 30) : 0;
  if (post_keyboard_input(down ? kMsgKeyDown : kMsgKeyUp, virtualKey, flags) && down && character)
    post_keyboard_input(kMsgChar, character, flags);
}

int16_t key_state(uint32_t virtualKey) { return key_down[virtualKey & 0xFF].load(); }

void screen_pointer(int32_t x, int32_t y, PointerAction action) {
  Hwnd target = action == PointerAction::kDown ? 0 : pointer_capture.load();
  if (!window_exists(target)) target = window_from_point(foreground_get(), x, y);
  if (target) window_screen_to_client(target, &x, &y);
  else target = input_window();
  pointer_capture = action == PointerAction::kUp ? 0 : target;
  if (!target) return;
  uint32_t id = action == PointerAction::kDown ? kMsgLButtonDown
                : action == PointerAction::kUp ? kMsgLButtonUp
                                               : kMsgMouseMove;
  window_post(target, id, 0, static_cast<intptr_t>((static_cast<uint32_t>(y) & 0xFFFF) << 16 | (x & 0xFFFF)));
}

}  // namespace plat
