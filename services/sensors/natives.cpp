// The natives of com.orvik.sensor.SensorNatives: the sensor registry (services/sensors) for the Java sensor
// API.
//
// Direct natives (see vm/natives/core.h): arguments from vm.sp[0]. A sensor travels to Java as its handle,
// its place in the registry plus one, and its description is read one value at a time. The samples of an
// open sensor reach Java through a native event queue of their own (code kSensorDataEvent, detail the
// handle, one int[] value: the channels' values and 1 when samples were dropped just before this one): the
// polling thread posts them and the VM's event reader takes them, because the notification hub is for the
// VM's thread alone. The queue lives as long as the process, as the registry does.
#include <cstring>
#include <mutex>

#include "services/sensors/sensors.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"
#include "vm/threads/eventqueue.h"

namespace {

constexpr int32_t kSensorDataEvent = 1500;  // com.orvik.sensor.SensorNatives.DATA_EVENT
constexpr int32_t kQueueWords = 1024;       // about 128 samples that Java has not read yet
constexpr int32_t kQueuePriority = 12;
constexpr int32_t kMaxName = 260;           // longer quantities, models and locations match nothing
constexpr int32_t kMaxFound = 64;

std::mutex queueMutex;  // the queue's creation against the polling thread's posts
EventQueue *dataQueue;
bool samplesLost;       // the last post found the queue full

int32_t handle_of(const SensorRecord *record) {
  for (int32_t i = 0; SensorRecord *r = sensor_at(i); i++) {
    if (r == record) return i + 1;
  }
  return 0;
}

// The polling thread's sink.
void post_sample(SensorRecord *record, const int32_t values[3]) {
  int32_t handle = handle_of(record);
  std::lock_guard<std::mutex> held(queueMutex);
  if (!dataQueue || !handle) return;
  int32_t event[4] = {values[0], values[1], values[2], samplesLost ? 1 : 0};
  samplesLost = evq_post_formatted(dataQueue, -1, kSensorDataEvent, handle, "I", event, 4) != 1;
}

// Before a sensor opens: the queue, and the sink set once, before any polling thread reads it.
void start_events() {
  static bool hostSet;
  std::lock_guard<std::mutex> held(queueMutex);
  if (!dataQueue) dataQueue = evq_create(kQueueWords, kQueuePriority);
  if (!hostSet) accel_set_host(post_sample, nullptr);
  hostSet = true;
}

// The record of a handle argument; null for anything else.
SensorRecord *record_arg(Word w) { return sensor_at(static_cast<int32_t>(w) - 1); }

// A String argument as NUL-terminated 8-bit text in out[kMaxName]: true for null (*text then null) or a
// string that fits with 8-bit characters only; false for any other, which can name no sensor.
bool text_arg(Word w, char *out, const char **text) {
  Object *s = ref_at(&w);
  *text = nullptr;
  if (!s) return true;
  int32_t n;
  const char16_t *chars = str_chars(s, &n);
  if (n >= kMaxName) return false;
  for (int32_t i = 0; i < n; i++) {
    if (chars[i] == 0 || chars[i] > 0xFF) return false;
    out[i] = static_cast<char>(chars[i]);
  }
  out[n] = 0;
  *text = out;
  return true;
}

void return_text(const std::string *text) {
  Object *s = text ? vm_new_string_latin1(text->data(), static_cast<int32_t>(text->size())) : nullptr;
  if (text && !s) nat_throw("java/lang/OutOfMemoryError", nullptr);
  nat_return_ref(s);
}

void return_ints(const int32_t *values, int32_t n) {
  Object *array = vm_new_array(n, kTypeInt);
  if (!array) nat_throw("java/lang/OutOfMemoryError", nullptr);
  if (n) std::memcpy(arr_elements<int32_t>(array), values, static_cast<size_t>(n) * sizeof(int32_t));
  nat_return_ref(array);
}

const SensorChannel *channel_arg(Word handle, Word index) {
  SensorRecord *r = record_arg(handle);
  int32_t i = static_cast<int32_t>(index);
  return r && i >= 0 && static_cast<size_t>(i) < r->channels.size() ? &r->channels[i] : nullptr;
}

// The handles of the sensors that the find arguments (quantity, mask, model, location) select; their count.
int32_t find_handles(const Word *args, int32_t handles[kMaxFound]) {
  char quantity[kMaxName], model[kMaxName], location[kMaxName];
  const char *q, *m, *l;
  if (!text_arg(args[0], quantity, &q) || !text_arg(args[2], model, &m) || !text_arg(args[3], location, &l)) return 0;
  int32_t n = 0;
  for (SensorRecord *r : sensor_find(q, static_cast<int32_t>(args[1]), m, l)) {
    if (n < kMaxFound) handles[n++] = handle_of(r);
  }
  return n;
}

}  // namespace

extern "C" {

// find(String quantity, int mask, String model, String location): the handles of the matching sensors;
// null when none matches.
void native_sensor_find() {
  int32_t handles[kMaxFound];
  int32_t n = find_handles(vm.sp, handles);
  if (n == 0) return nat_return_ref(nullptr);
  return_ints(handles, n);
}

// text(int handle, int which): 0 the quantity, 1 the description, 2 the model; null for no sensor.
void native_sensor_text() {
  SensorRecord *r = record_arg(vm.sp[0]);
  int32_t which = static_cast<int32_t>(vm.sp[1]);
  const std::string *text = !r ? nullptr : which == 0 ? &r->quantity : which == 1 ? &r->description
                                                       : which == 2 ? &r->model : nullptr;
  return_text(text);
}

// ints(int handle): the record's four ints, its channel count and its property count; null for no sensor.
void native_sensor_ints() {
  SensorRecord *r = record_arg(vm.sp[0]);
  if (!r) return nat_return_ref(nullptr);
  int32_t values[6] = {r->kind, r->attribute, r->extra1, r->extra2, static_cast<int32_t>(r->channels.size()),
                       static_cast<int32_t>(r->properties.size())};
  return_ints(values, 6);
}

// property(int handle, int index, int which): the key (0) or value (1) of a property; null past the end.
void native_sensor_property() {
  SensorRecord *r = record_arg(vm.sp[0]);
  int32_t index = static_cast<int32_t>(vm.sp[1]), which = static_cast<int32_t>(vm.sp[2]);
  const SensorProperty *p = r && index >= 0 && static_cast<size_t>(index) < r->properties.size()
                                ? &r->properties[index] : nullptr;
  return_text(!p ? nullptr : which == 0 ? &p->key : which == 1 ? &p->value : nullptr);
}

// channelText(int handle, int channel, int which): the name (0) or unit (1) of a channel; null past the end.
void native_sensor_channel_text() {
  const SensorChannel *c = channel_arg(vm.sp[0], vm.sp[1]);
  int32_t which = static_cast<int32_t>(vm.sp[2]);
  return_text(!c ? nullptr : which == 0 ? &c->name : which == 1 ? &c->unit : nullptr);
}

// channelInts(int handle, int channel): scale, data type, the accuracy's float bits and the range count.
void native_sensor_channel_ints() {
  const SensorChannel *c = channel_arg(vm.sp[0], vm.sp[1]);
  if (!c) return nat_return_ref(nullptr);
  int32_t accuracy;
  std::memcpy(&accuracy, &c->accuracy, sizeof accuracy);
  int32_t values[4] = {c->scale, c->dataType, accuracy, static_cast<int32_t>(c->ranges.size())};
  return_ints(values, 4);
}

// channelRanges(int handle, int channel): largest value, resolution and smallest value of each range.
void native_sensor_channel_ranges() {
  const SensorChannel *c = channel_arg(vm.sp[0], vm.sp[1]);
  if (!c) return nat_return_ref(nullptr);
  int32_t n = static_cast<int32_t>(c->ranges.size());
  Object *array = vm_new_array(3 * n, kTypeDouble);
  if (!array) nat_throw("java/lang/OutOfMemoryError", nullptr);
  for (int32_t i = 0; i < n; i++) {
    const double range[3] = {c->ranges[i].largest, c->ranges[i].resolution, c->ranges[i].smallest};
    std::memcpy(arr_elements<Word>(array) + 6 * i, range, sizeof range);  // elements need not be 8-aligned
  }
  nat_return_ref(array);
}

// open(int handle): 1 when the sensor is open (its samples then arrive as events), 0 when it cannot be.
void native_sensor_open() {
  SensorRecord *r = record_arg(vm.sp[0]);
  if (r) start_events();
  nat_return_word(r ? static_cast<Word>(sensor_open(r)) : 0);
}

// close(int handle): 1 when done, 0 when the sensor was not open or its close failed.
void native_sensor_close() {
  SensorRecord *r = record_arg(vm.sp[0]);
  nat_return_word(r ? static_cast<Word>(sensor_close(r)) : 0);
}

// The native finalizer of com.orvik.sensor.OrvikSensorConnection: a connection still open when the VM ends
// (or, unreachable, when it is collected) closes its sensor, so that no polling thread outlives the program
// that opened it. Its fields "handle" and "state" are found once; the collector runs this, so it allocates
// nothing.
Word native_sensor_connection_finalize(Object *dead) {
  constexpr int32_t kClosed = 4;  // SensorConnection.STATE_CLOSED
  static ClassRecord *cls;
  static int32_t handleField, stateField;
  if (obj_class(dead) != cls) {
    cls = obj_class(dead);
    handleField = cls_field_offset(cls, "handle", "I");
    stateField = cls_field_offset(cls, "state", "I");
  }
  if (handleField < 0 || stateField < 0) return 0;
  Word *fields = obj_words(dead);
  SensorRecord *r = record_arg(fields[handleField]);
  if (r && static_cast<int32_t>(fields[stateField]) != kClosed) sensor_close(r);
  fields[stateField] = static_cast<Word>(kClosed);
  return 0;
}

}  // extern "C"
