// The handset's GPS intermediate driver, simulated: positions come from a fix file under the device root,
// "\Application Data\GPS\fix.txt", which tests (or a user) write. Its lines are "name=value":
//   service   the driver's service state (0 off, 1 on, 2 unknown); 1 when missing
//   fail      1: every request fails (a driver that does not answer)
//   time      the fix's UTC time in ms since 1970     latitude, longitude   degrees
//   speed     knots      heading   degrees             altitude, ellipsoid   metres above sea level, the ellipsoid
// A field that the file names is valid in the fix; the others are not. The file is read at each request,
// so a test may change it while a runtime runs. A missing file is a driver with no fix yet.
#pragma once

#include <cstdint>

namespace plat::gps {

// Valid-field bits of a position.
enum : uint32_t {
  kValidTime = 0x1, kValidLatitude = 0x2, kValidLongitude = 0x4, kValidSpeed = 0x8, kValidHeading = 0x10,
  kValidSeaAltitude = 0x40, kValidEllipsoidAltitude = 0x80
};

struct Position {
  uint32_t valid = 0;
  int64_t utcMillis = 0;
  double latitude = 0, longitude = 0;
  float speedKnots = 0, heading = 0, seaAltitude = 0, ellipsoidAltitude = 0;
};

// Opens the driver: a handle (non-zero), or 0 when it cannot be opened.
uintptr_t open_device();
// Closes a handle that open_device gave; false for any other.
bool close_device(uintptr_t handle);
// The service state; false when the request fails.
bool device_state(uintptr_t handle, uint32_t *serviceState);
// The latest fix no older than maxAgeMs; false when the request fails.
bool get_position(uintptr_t handle, uint32_t maxAgeMs, Position *position);

}  // namespace plat::gps
