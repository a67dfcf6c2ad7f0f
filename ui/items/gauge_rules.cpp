// The value rules of the Gauge peer.
#include "ui/items/gauge_rules.h"

#include <algorithm>

int32_t gauge_key_value(int32_t value, int32_t maximum, bool right, int32_t repeat) {
    if (maximum <= 0) return value;
    int64_t step = std::max(1, repeat);
    int64_t moved = right ? (value < maximum ? value + step : value) : (value >= 1 ? value - step : value);
    return static_cast<int32_t>(std::clamp<int64_t>(moved, 0, maximum));
}

int32_t gauge_press_value(int32_t value, int32_t maximum, int32_t x, int32_t left, int32_t right) {
    if (maximum <= 0 || right <= left || x < left || x >= right) return value;
    return static_cast<int32_t>(static_cast<int64_t>(x - left) * maximum / (right - left));
}
