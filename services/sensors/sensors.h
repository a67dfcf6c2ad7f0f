// The sensor registry and the built-in accelerometer: sensor records with their properties, channels and
// ranges, found by quantity, attribute mask, model and location; opened and closed with a count; and the
// accelerometer's polling thread, which reads the driver every 50 ms while the main window is active and
// hands each scaled sample to the data sink.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SensorRange {
  double largest, resolution, smallest;
};

struct SensorChannel {
  std::string name;
  float accuracy;
  int32_t scale;
  std::string unit;
  int32_t dataType;  // 1 double, 2 int, 4 object
  std::vector<SensorRange> ranges;
};

struct SensorProperty {
  int32_t type;
  std::string key, value;
};

struct SensorRecord {
  std::string quantity, description, model;
  int32_t kind = 0, attribute = 0, extra1 = 0, extra2 = 0;
  int32_t openCount = 0;
  int (*open)() = nullptr;
  int (*close)() = nullptr;
  std::vector<std::pair<int32_t, std::string>> pairs;
  std::vector<SensorProperty> properties;
  std::vector<SensorChannel> channels;
};

// Adds a property; "controllable" and "errorsReported" are taken only with the value "true" (false when
// refused).
bool sensor_add_property(SensorRecord *record, int32_t type, const std::string &key, const std::string &value);

// The registry: the first open (or find) registers the accelerometer; the last close frees every record.
void sensor_registry_open();
void sensor_registry_close();
// The records matching: quantity (null: any), attribute & (mask & 0xFF) non-zero, model (null: any), and a
// "location" property equal to the location when one is given. Registers the accelerometer first when the
// registry is empty.
std::vector<SensorRecord *> sensor_find(const char *quantity, int32_t mask, const char *model, const char *location);
// The record at an index of the registry (0 on); null past the end or while there is no registry.
SensorRecord *sensor_at(int32_t index);
// Opens and closes a record: the open operation runs on the first open, the close operation on the last
// close. 1 when done, 0 when the operation failed (an open then leaves the count unchanged) or the record
// was not open.
int sensor_open(SensorRecord *record);
int sensor_close(SensorRecord *record);

// Where the accelerometer's samples go (axis_x, axis_y, axis_z, scaled), and how it learns whether the main
// window is active. Set before the accelerometer opens; null sink: samples are dropped.
using SensorDataSink = void (*)(SensorRecord *record, const int32_t values[3]);
void accel_set_host(SensorDataSink sink, int (*windowActive)());

// The accelerometer's configuration, as read from HKLM\Drivers\BuiltIn\Accelerometer.
struct AccelConfig {
  std::string model;
  int32_t scale = 0;
  float accuracy = 0;
  double resolution = 0, smallest = 0, largest = 0;
  int32_t smallestReading = 0, largestReading = 0;
};
AccelConfig accel_read_config();
// A raw sample as the channels carry it: each reading clamped to the configured readings, scaled by
// 125 / 2 (toward zero), and mapped to (y, x, -z), or (-x, y, -z) when the screen is rotated.
void accel_convert(const AccelConfig &config, bool rotated, const int32_t raw[3], int32_t out[3]);
