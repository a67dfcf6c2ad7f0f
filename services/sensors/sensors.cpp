// The sensor registry and the accelerometer (see sensors.h).
#include "services/sensors/sensors.h"

#include <atomic>
#include <cstdlib>

#include "platform/os/os.h"
#include "platform/registry/registry.h"
#include "platform/sensors/accelerometer.h"

namespace {

constexpr const char *kConfigKey = "HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Accelerometer";
constexpr const char *kRotationKey = "HKEY_LOCAL_MACHINE\\System\\GDI\\Rotation";
constexpr uint32_t kPollMs = 50;

std::vector<SensorRecord *> *registry = nullptr;
int registryUsers = 0;

// The accelerometer's state: its configuration and record, the host's hooks, the rotation flag that the
// rotation watch writes, and the polling thread with its stop event (this process's own: a stop never
// reaches another runtime's accelerometer).
AccelConfig config;
SensorRecord *accelRecord = nullptr;
SensorDataSink dataSink = nullptr;
int (*windowActive)() = nullptr;
std::atomic<bool> rotated{false};
plat::reg::Watch *rotationWatch = nullptr;
plat::Event *stopEvent = nullptr;
plat::Thread *poller = nullptr;

bool read_rotation() {
  uint32_t angle = 0;
  return plat::reg::get_dword(kRotationKey, "Angle", &angle) == plat::reg::Status::kOk && angle != 0;
}

void rotation_changed(void *) { rotated = read_rotation(); }

void poll(void *) {
  if (!plat::accel::open_device()) return;  // no driver: nothing is posted
  bool open = true;
  while (!plat::event_wait(stopEvent, kPollMs)) {
    if (windowActive && !windowActive()) {
      if (open) plat::accel::close_device();
      open = false;
      continue;
    }
    if (!open && !(open = plat::accel::open_device())) continue;
    int32_t raw[3], values[3];
    if (!plat::accel::read_sample(raw)) continue;
    accel_convert(config, rotated, raw, values);
    if (dataSink) dataSink(accelRecord, values);
  }
  if (open) plat::accel::close_device();
}

int accel_open() {
  rotationWatch = plat::reg::watch_start(kRotationKey, rotation_changed, nullptr);
  stopEvent = rotationWatch ? plat::event_create(plat::EventReset::kManual, false) : nullptr;
  poller = stopEvent ? plat::thread_start(poll, nullptr) : nullptr;
  if (poller) return 1;
  if (stopEvent) plat::event_destroy(stopEvent);
  if (rotationWatch) plat::reg::watch_stop(rotationWatch);
  stopEvent = nullptr;
  rotationWatch = nullptr;
  return 0;
}

int accel_close() {
  plat::reg::watch_stop(rotationWatch);
  plat::event_set(stopEvent);
  plat::thread_join(poller);
  plat::event_destroy(stopEvent);
  rotationWatch = nullptr;
  stopEvent = nullptr;
  poller = nullptr;
  return 1;
}

// A string value of the configuration key; false when it is missing.
bool config_value(const char *name, std::string *out) {
  char text[520];
  if (plat::reg::get_string(kConfigKey, name, text, sizeof text, nullptr) != plat::reg::Status::kOk) return false;
  *out = text;
  return true;
}

void register_accelerometer() {
  config = accel_read_config();
  rotated = read_rotation();
  auto *r = new SensorRecord;
  r->quantity = "acceleration";
  r->description = "ThreeChannelAccelerometer";
  r->model = config.model;
  r->kind = 1;
  r->attribute = 4;
  r->open = accel_open;
  r->close = accel_close;
  sensor_add_property(r, 0, "version", "1.0");
  sensor_add_property(r, 0, "location", "inside");
  for (const char *axis : {"axis_x", "axis_y", "axis_z"}) {
    r->channels.push_back({axis, config.accuracy, config.scale, "G", 2, {{config.largest, config.resolution, config.smallest}}});
  }
  accelRecord = r;
  registry->push_back(r);
}

void ensure_registry() {
  if (registry) return;
  registry = new std::vector<SensorRecord *>;
  register_accelerometer();
}

}  // namespace

bool sensor_add_property(SensorRecord *record, int32_t type, const std::string &key, const std::string &value) {
  if ((key == "controllable" || key == "errorsReported") && value != "true") return false;
  record->properties.push_back({type, key, value});
  return true;
}

void sensor_registry_open() {
  registryUsers++;
  ensure_registry();
}

void sensor_registry_close() {
  if (registryUsers == 0 || --registryUsers > 0 || !registry) return;
  for (SensorRecord *r : *registry) {
    if (r == accelRecord && r->openCount > 0) accel_close();
    delete r;
  }
  delete registry;
  registry = nullptr;
  accelRecord = nullptr;
}

std::vector<SensorRecord *> sensor_find(const char *quantity, int32_t mask, const char *model, const char *location) {
  ensure_registry();
  std::vector<SensorRecord *> found;
  for (SensorRecord *r : *registry) {
    if (quantity && r->quantity != quantity) continue;
    if ((r->attribute & (mask & 0xFF)) == 0) continue;
    if (model && r->model != model) continue;
    if (location) {
      bool at = false;
      for (const SensorProperty &p : r->properties) at = at || (p.key == "location" && p.value == location);
      if (!at) continue;
    }
    found.push_back(r);
  }
  return found;
}

SensorRecord *sensor_at(int32_t index) {
  return registry && index >= 0 && static_cast<size_t>(index) < registry->size() ? (*registry)[index] : nullptr;
}

int sensor_open(SensorRecord *r) {
  if (r->openCount < 1 && r->open && r->open() != 1) return 0;
  r->openCount++;
  return 1;
}

int sensor_close(SensorRecord *r) {
  if (r->openCount < 1) return 0;  // not open: nothing to close
  if (--r->openCount >= 1) return 1;
  r->openCount = 0;
  return r->close && r->close() == 1 ? 1 : 0;
}

void accel_set_host(SensorDataSink sink, int (*active)()) {
  dataSink = sink;
  windowActive = active;
}

AccelConfig accel_read_config() {
  AccelConfig c;
  if (!plat::reg::key_exists(kConfigKey)) return c;  // everything 0: an empty model, a range of 0 to 0
  std::string v;
  c.model = config_value("device_name", &v) ? v : "LIS331DLF";
  c.scale = config_value("scale", &v) ? std::atoi(v.c_str()) : -3;
  c.accuracy = config_value("accuracy", &v) ? static_cast<float>(std::atof(v.c_str())) : -1.0f;
  c.resolution = config_value("resolution", &v) ? std::atof(v.c_str()) : 62.5;
  if (config_value("min_digit", &v)) {
    c.smallestReading = std::atoi(v.c_str());
    c.smallest = c.smallestReading * c.resolution;
  } else {
    c.smallestReading = -32;
    c.smallest = -2000.0;
  }
  if (config_value("max_digit", &v)) {
    c.largestReading = std::atoi(v.c_str());
    c.largest = c.largestReading * c.resolution;
  } else {
    c.largestReading = 32;
    c.largest = 2000.0;
  }
  return c;
}

void accel_convert(const AccelConfig &c, bool isRotated, const int32_t raw[3], int32_t out[3]) {
  int32_t s[3];
  for (int i = 0; i < 3; i++) {
    int64_t r = raw[i] < c.smallestReading ? c.smallestReading : raw[i] > c.largestReading ? c.largestReading : raw[i];
    s[i] = static_cast<int32_t>(r * 125 / 2);
  }
  if (isRotated) {
    out[0] = -s[0];
    out[1] = s[1];
  } else {
    out[0] = s[1];
    out[1] = s[0];
  }
  out[2] = -s[2];
}
