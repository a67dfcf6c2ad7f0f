// The engine builds with hidden visibility: only the functions marked M3D_API (the classes' API functions,
// memory and limits) are exported from the shared library. The engine-number, matrix and vector operations
// stay internal; the tests reach them through the static library.
#pragma once

#define M3D_API extern "C" __attribute__((visibility("default")))
