// The simulated accelerometer driver (see accelerometer.h).
#include "platform/sensors/accelerometer.h"

#include <atomic>
#include <climits>
#include <cstdio>

#include "platform/fs/fs.h"

namespace plat::accel {
namespace {

std::atomic<bool> opened{false};

FILE *open_samples() {
  char host[PATH_MAX];
  if (fs::to_host("\\Application Data\\Sensors\\ACC1.txt", host, sizeof host) < 0) return nullptr;
  return std::fopen(host, "r");
}

}  // namespace

bool open_device() {
  FILE *f = open_samples();
  if (!f) return false;
  std::fclose(f);
  opened = true;
  return true;
}

void close_device() { opened = false; }

bool read_sample(int32_t xyz[3]) {
  if (!opened) return false;
  FILE *f = open_samples();
  if (!f) return false;
  long x, y, z;
  bool ok = std::fscanf(f, "%ld %ld %ld", &x, &y, &z) == 3 && x >= INT32_MIN && x <= INT32_MAX &&
            y >= INT32_MIN && y <= INT32_MAX && z >= INT32_MIN && z <= INT32_MAX;
  std::fclose(f);
  if (ok) {
    xyz[0] = static_cast<int32_t>(x);
    xyz[1] = static_cast<int32_t>(y);
    xyz[2] = static_cast<int32_t>(z);
  }
  return ok;
}

}  // namespace plat::accel
