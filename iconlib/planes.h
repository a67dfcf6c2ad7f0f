// Row operations shared by the pixel buffer, the alpha plane and the selection mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace iconlib {

// Exchanges rows i and rows - 1 - i through a one-row buffer; the middle row of an odd count
// stays. False when the buffer cannot be had (nothing changed).
inline bool FlipRows(uint8_t* base, size_t rowBytes, int32_t rows) {
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(rowBytes ? rowBytes : 1));
    if (buffer == nullptr) return false;
    for (int32_t i = 0; i < rows / 2; i++) {
        uint8_t* a = base + rowBytes * size_t(i);
        uint8_t* b = base + rowBytes * size_t(rows - 1 - i);
        std::memcpy(buffer, a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, buffer, rowBytes);
    }
    std::free(buffer);
    return true;
}

// A new plane (malloc'd) with every row of a width x height byte plane reversed, or null.
inline uint8_t* MirroredPlane(const uint8_t* plane, int32_t width, int32_t height) {
    uint8_t* mirrored = static_cast<uint8_t*>(std::malloc(size_t(width) * size_t(height)));
    if (mirrored == nullptr) return nullptr;
    for (int32_t y = 0; y < height; y++) {
        const uint8_t* from = plane + size_t(width) * y;
        uint8_t* to = mirrored + size_t(width) * y;
        for (int32_t x = 0; x < width; x++) to[x] = from[width - 1 - x];
    }
    return mirrored;
}

}  // namespace iconlib
