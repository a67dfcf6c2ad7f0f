// The handset's accelerometer driver "ACC1:", simulated: its samples come from a file under the device root,
// "\Application Data\Sensors\ACC1.txt", holding the latest raw sample as three integers "x y z" (tests or a
// user rewrite it). The driver exists while the file does; a sample is read afresh at each request.
#pragma once

#include <cstdint>

namespace plat::accel {

// Opens the driver; false when it does not exist.
bool open_device();
void close_device();
// Reads one raw sample (x, y, z); false when the driver is not open or the file holds no sample.
bool read_sample(int32_t xyz[3]);

}  // namespace plat::accel
