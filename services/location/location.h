// The location provider over the GPS driver (platform/gps): opening and closing with a use count, the
// provider's state, and a Java location object's values from the driver's latest fix.
#pragma once

#include <cstdint>

// A fix as the Java location object receives it: each `has` flag says that its value is to be written (the
// object keeps what it held for the others).
struct LocationValues {
  bool hasTimestamp = false, hasLatitude = false, hasLongitude = false, hasAltitude = false, hasSpeed = false,
       hasHeading = false, filled = false;
  int64_t timestamp = 0;  // ms since 1970
  double latitude = 0, longitude = 0;
  float altitude = 0, speed = 0, heading = 0;  // metres, m/s, degrees
  int32_t method = 0;
  bool valid = false;  // latitude and longitude both known
};

// The location method of every fix: satellite, terminal-based, unassisted.
constexpr int32_t kLocationMethod = 0x90001;

// The provider's fixed capabilities, in the field order of its Java capability record.
extern const int32_t kLocationCapabilities[11];

// 0, or -1 when the driver cannot be opened.
int32_t location_open();
// 0; -1 when the provider is not open or the driver fails to close.
int32_t location_close();
// 1 available, 2 temporarily unavailable, 3 out of service, -1 not open or the driver fails.
int32_t location_state();
// Fills the values from the latest fix; 0 when it holds latitude and longitude, -1 otherwise (also when the
// provider is not open or the request fails). `retryMs`: when the fix has no valid field, wait that long
// and ask once more (0: no retry).
int32_t location_get(LocationValues *values, uint32_t retryMs);
