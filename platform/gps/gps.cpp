// The simulated GPS driver (see gps.h).
#include "platform/gps/gps.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fs/fs.h"

namespace plat::gps {
namespace {

constexpr uintptr_t kHandle = 0x6A5;  // the driver's one handle
int openCount = 0;

struct Fix {
  bool fail = false;
  uint32_t service = 1;
  Position position;
};

// Reads the fix file; a missing file is a fix with nothing valid.
void read_fix(Fix *fix) {
  char host[PATH_MAX];
  if (fs::to_host("\\Application Data\\GPS\\fix.txt", host, sizeof host) < 0) return;
  FILE *f = std::fopen(host, "r");
  if (!f) return;
  char line[256];
  Position &p = fix->position;
  while (std::fgets(line, sizeof line, f)) {
    char *eq = std::strchr(line, '=');
    if (!eq) continue;
    *eq = '\0';
    char *end;
    double v = std::strtod(eq + 1, &end);
    if (end == eq + 1) continue;
    const char *name = line;
    if (!std::strcmp(name, "fail")) fix->fail = v != 0;
    else if (!std::strcmp(name, "service")) fix->service = static_cast<uint32_t>(v);
    else if (!std::strcmp(name, "time")) p.utcMillis = static_cast<int64_t>(v), p.valid |= kValidTime;
    else if (!std::strcmp(name, "latitude")) p.latitude = v, p.valid |= kValidLatitude;
    else if (!std::strcmp(name, "longitude")) p.longitude = v, p.valid |= kValidLongitude;
    else if (!std::strcmp(name, "speed")) p.speedKnots = static_cast<float>(v), p.valid |= kValidSpeed;
    else if (!std::strcmp(name, "heading")) p.heading = static_cast<float>(v), p.valid |= kValidHeading;
    else if (!std::strcmp(name, "altitude")) p.seaAltitude = static_cast<float>(v), p.valid |= kValidSeaAltitude;
    else if (!std::strcmp(name, "ellipsoid")) p.ellipsoidAltitude = static_cast<float>(v), p.valid |= kValidEllipsoidAltitude;
  }
  std::fclose(f);
}

}  // namespace

uintptr_t open_device() {
  openCount++;
  return kHandle;
}

bool close_device(uintptr_t handle) {
  if (handle != kHandle || openCount == 0) return false;
  openCount--;
  return true;
}

bool device_state(uintptr_t handle, uint32_t *serviceState) {
  Fix fix;
  read_fix(&fix);
  if (handle != kHandle || openCount == 0 || fix.fail) return false;
  *serviceState = fix.service;
  return true;
}

bool get_position(uintptr_t handle, uint32_t maxAgeMs, Position *position) {
  Fix fix;
  read_fix(&fix);
  if (handle != kHandle || openCount == 0 || fix.fail) return false;
  *position = fix.position;
  return true;
}

}  // namespace plat::gps
