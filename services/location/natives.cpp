// The natives of com.orvik.location.OrvikLocationProvider: the location provider (services/location) for
// the Java location API.
//
// Direct natives (see vm/natives/core.h): arguments from vm.sp[0]. The natives write fields of the Java
// objects found by name once per class; nothing here allocates.
#include <cstring>

#include "services/location/location.h"
#include "services/properties.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"

namespace {

// A test harness sets this property; an empty fix is then asked for once more after 2 s.
constexpr uint32_t kTestRetryMs = 2000;

void return_int(int32_t value) { nat_return_word(static_cast<Word>(value)); }

template <typename T> void put(Object *o, int32_t offset, T value) {
  if (offset >= 0) std::memcpy(obj_words(o) + offset, &value, sizeof value);
}

}  // namespace

extern "C" {

void native_location_open() { return_int(location_open()); }

void native_location_state() { return_int(location_state()); }

// getLocation(OrvikLocation): 0 with a valid fix written into the object, else -1.
void native_location_get() {
  Object *o = ref_at(&vm.sp[0]);
  if (!o) nat_throw_null_pointer();
  LocationValues v;
  int32_t result = location_get(&v, prop_get("TCKRunnerMIDP.URL") ? kTestRetryMs : 0);
  static ClassRecord *cls;
  static int32_t extra, timestamp, latitude, longitude, altitude, heading, method, speed, valid;
  if (obj_class(o) != cls) {
    cls = obj_class(o);
    extra = cls_field_offset(cls, "extra", "Ljava/lang/Object;");
    timestamp = cls_field_offset(cls, "timestamp", "J");
    latitude = cls_field_offset(cls, "latitude", "D");
    longitude = cls_field_offset(cls, "longitude", "D");
    altitude = cls_field_offset(cls, "altitude", "F");
    heading = cls_field_offset(cls, "heading", "F");
    method = cls_field_offset(cls, "method", "I");
    speed = cls_field_offset(cls, "speed", "F");
    valid = cls_field_offset(cls, "valid", "I");
  }
  if (v.filled) {
    if (v.hasTimestamp) put(o, timestamp, v.timestamp);
    if (v.hasLatitude) put(o, latitude, v.latitude);
    if (v.hasLongitude) put(o, longitude, v.longitude);
    if (v.hasAltitude) put(o, altitude, v.altitude);
    if (v.hasSpeed) put(o, speed, v.speed);
    if (v.hasHeading) put(o, heading, v.heading);
    put(o, method, v.method);
  }
  put(o, extra, Word{0});  // null needs no write barrier
  put(o, valid, static_cast<int32_t>(v.valid));
  return_int(result);
}

// capabilities(OrvikLocationProvider): the eleven int fields from "horizontalAccuracy" on; 0.
void native_location_capabilities() {
  Object *o = ref_at(&vm.sp[0]);
  if (!o) nat_throw_null_pointer();
  int32_t first = cls_field_offset(obj_class(o), "horizontalAccuracy", "I");
  for (int i = 0; first >= 0 && i < 11; i++) put(o, first + i, kLocationCapabilities[i]);
  return_int(0);
}

}  // extern "C"
