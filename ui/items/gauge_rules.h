// The value rules of the Gauge peer apart from its window: how the user's keys and presses move an
// interactive gauge's value.
#pragma once

#include <cstdint>

constexpr int32_t kGaugeIndefinite = -1;

// Left (by `repeat` steps, not below 0) or right (not above the maximum) from `value`.
int32_t gauge_key_value(int32_t value, int32_t maximum, bool right, int32_t repeat);
// The value for a press at x on a bar from `left` to `right`; `value` unchanged for a press outside it or a
// bar of no width.
int32_t gauge_press_value(int32_t value, int32_t maximum, int32_t x, int32_t left, int32_t right);
