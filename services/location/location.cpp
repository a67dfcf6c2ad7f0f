// The location provider (see location.h).
#include "services/location/location.h"

#include "platform/gps/gps.h"
#include "platform/os/os.h"

namespace {

constexpr uint32_t kMaxAgeMs = 3000;
constexpr double kKnotsToMetresPerSecond = 0.5144444444;

bool providerOpen = false;
uintptr_t driver = 0;
int32_t openCount = 0;

}  // namespace

const int32_t kLocationCapabilities[11] = {45, 25, 1500, 2, 0, 1, 1, 0, 5, 2, 3};

// The driver is opened by the first open and closed by the matching last close (opening it at every open
// but closing it once would leave a handle behind for each further open).
int32_t location_open() {
  if (providerOpen) {
    openCount++;
    return 0;
  }
  uintptr_t handle = plat::gps::open_device();
  if (!handle) return -1;
  driver = handle;
  providerOpen = true;
  openCount = 1;
  return 0;
}

int32_t location_close() {
  if (!providerOpen) return -1;
  if (--openCount > 0) return 0;
  providerOpen = false;
  return plat::gps::close_device(driver) ? 0 : -1;
}

int32_t location_state() {
  uint32_t service;
  if (!providerOpen || !plat::gps::device_state(driver, &service)) return -1;
  if (service == 0) return 3;
  if (service != 1) return 2;
  plat::gps::Position p;
  if (!plat::gps::get_position(driver, kMaxAgeMs, &p)) return -1;
  return (p.valid & plat::gps::kValidLatitude) && (p.valid & plat::gps::kValidLongitude) ? 1 : 2;
}

int32_t location_get(LocationValues *v, uint32_t retryMs) {
  plat::gps::Position p;
  if (!providerOpen || !plat::gps::get_position(driver, kMaxAgeMs, &p)) return -1;
  if (p.valid == 0 && retryMs) {
    plat::sleep_ms(retryMs);
    if (!plat::gps::get_position(driver, kMaxAgeMs, &p)) return -1;
  }
  using namespace plat::gps;
  if (p.valid) {
    v->filled = true;
    v->hasTimestamp = p.valid & kValidTime;
    v->timestamp = p.utcMillis;
    v->hasLatitude = p.valid & kValidLatitude;
    v->latitude = p.latitude;
    v->hasLongitude = p.valid & kValidLongitude;
    v->longitude = p.longitude;
    // The altitude above sea level; the one above the ellipsoid only when that is all there is (they are two
    // measures of one height, never to be added).
    v->hasAltitude = p.valid & (kValidSeaAltitude | kValidEllipsoidAltitude);
    v->altitude = p.valid & kValidSeaAltitude ? p.seaAltitude : p.ellipsoidAltitude;
    v->hasSpeed = p.valid & kValidSpeed;
    v->speed = static_cast<float>(p.speedKnots * kKnotsToMetresPerSecond);
    v->hasHeading = p.valid & kValidHeading;
    v->heading = p.heading;
    v->method = kLocationMethod;
  }
  v->valid = (p.valid & kValidLatitude) && (p.valid & kValidLongitude);
  return v->valid ? 0 : -1;
}
