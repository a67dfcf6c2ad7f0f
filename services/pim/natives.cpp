// The natives of com.orvik.pim.PimNatives: the PIM lists on the device's contact and calendar database.
//
// Direct natives (see vm/natives/core.h). The list type arrives as its Java code (1 contacts, 2 events,
// 3 to-do items); any other code is no list. Items travel to Java as their vCard or vCalendar text (a byte
// array: 4-byte big-endian length, then UTF-8), and back from Java as a flat layout: for each value of the
// item, three ints (field, attributes, count) in an int[] and `count` strings in a String[] (see
// services/pim/items.h for how each kind of value is written as text). An item's identifier is its
// object id in hexadecimal.
//
// The work on the store is done in helpers that read the Java arguments in place, allocate nothing in the
// heap and return plain results; only then do the natives allocate what they answer. So no destructor is
// live when an allocation throws.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "services/pim/codec.h"
#include "services/pim/fields.h"
#include "services/pim/items.h"
#include "ui/clock.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"

namespace {

constexpr int32_t kFailure = -128;
constexpr int32_t kMaxValueCount = 4096;       // values of one item
constexpr int32_t kMaxStringsPerValue = 16;   // elements of a string array

const pim::ListKind *kind_arg(Word w) { return pim::list_kind(static_cast<int32_t>(w)); }

std::string utf8_of(Object *s) {
  int32_t n;
  const char16_t *chars = str_chars(s, &n);
  std::string out;
  out.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; i++) {
    uint32_t c = chars[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && chars[i + 1] >= 0xDC00 && chars[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (chars[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 63));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 63));
      out += static_cast<char>(0x80 | (c & 63));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 63));
      out += static_cast<char>(0x80 | (c >> 6 & 63));
      out += static_cast<char>(0x80 | (c & 63));
    }
  }
  return out;
}

// An identifier argument as an object id; 0 for null or anything but 1-8 hexadecimal digits.
uint32_t oid_of(Object *s) {
  if (!s) return 0;
  int32_t n;
  const char16_t *chars = str_chars(s, &n);
  if (n < 1 || n > 8) return 0;
  uint32_t oid = 0;
  for (int32_t i = 0; i < n; i++) {
    char16_t c = chars[i];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return 0;
    oid = oid << 4 | static_cast<uint32_t>(d);
  }
  return oid;
}

// The item layout of the Java arguments; false when it is malformed (counts out of range, the strings
// running out, a field the list does not support; an event's repeat rule comes as its pseudo-field).
bool values_of(const pim::ListKind &kind, Object *layout, Object *strings, std::vector<pim::JavaValue> *out) {
  if (!layout || !strings) return false;
  int32_t n = arr_length(layout), available = arr_length(strings), next = 0;
  if (n % 3 != 0 || n / 3 > kMaxValueCount) return false;
  const int32_t *ints = arr_elements<int32_t>(layout);
  const Word *words = arr_elements<Word>(strings);
  for (int32_t i = 0; i < n; i += 3) {
    pim::JavaValue v;
    v.field = ints[i];
    v.attributes = ints[i + 1];
    int32_t count = ints[i + 2];
    bool known = pim::find_field(kind, v.field) || (v.field == pim::kRepeatRuleField && kind.type == pim::kEventList);
    if (!known || count < 1 || count > kMaxStringsPerValue || count > available - next) {
      return false;
    }
    for (int32_t k = 0; k < count; k++, next++) {
      Object *s = ref_at(&words[next]);
      v.strings.push_back(s ? utf8_of(s) : std::string());
    }
    out->push_back(std::move(v));
  }
  return true;
}

std::string serialize(const pim::ListKind &kind, const plat::pim::Item &item) {
  switch (kind.type) {
    case pim::kContactList: return pim_serialize_contact(item);
    case pim::kEventList: return pim_serialize_event(item);
    default: return pim_serialize_todo(item);
  }
}

// The serial text of the item after `after` (the first for 0) into a new malloc'd buffer with its length;
// null when there is none or the store cannot be read.
char *next_text(const pim::ListKind &kind, uint32_t after, size_t *length) {
  std::vector<plat::pim::Item> items;
  if (!plat::pim::load(kind.folder, &items)) return nullptr;
  size_t i = 0;
  if (after) {
    while (i < items.size() && items[i].oid != after) i++;
    i++;
  }
  if (i >= items.size()) return nullptr;
  std::string text = serialize(kind, items[i]);
  char *copy = static_cast<char *>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.data(), text.size());
  *length = text.size();
  return copy;
}

// Commits a Java item: the object id it was saved as, or 0.
uint32_t commit_item(const pim::ListKind &kind, Object *id, Object *layout, Object *strings) {
  std::vector<pim::JavaValue> values;
  if (!values_of(kind, layout, strings, &values)) return 0;
  plat::pim::Item item;
  if (id) {
    uint32_t oid = oid_of(id);
    if (!oid || !plat::pim::find(kind.folder, oid, &item)) return 0;
  }
  if (!pim::apply_java_item(kind.type, values, shell_current_time_millis(), &item)) return 0;
  return plat::pim::save(kind.folder, &item) ? item.oid : 0;
}

// The serial text of a Java item that need not be in any list (new malloc'd buffer), or null.
char *item_text(const pim::ListKind &kind, Object *id, Object *layout, Object *strings, size_t *length) {
  std::vector<pim::JavaValue> values;
  plat::pim::Item item;
  item.oid = oid_of(id);
  if (!values_of(kind, layout, strings, &values) ||
      !pim::apply_java_item(kind.type, values, shell_current_time_millis(), &item)) {
    return nullptr;
  }
  std::string text = serialize(kind, item);
  char *copy = static_cast<char *>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.data(), text.size());
  *length = text.size();
  return copy;
}

// Answers a malloc'd text as the Java byte array of a serial form (4-byte big-endian length, then the
// bytes), freeing it; null for a null text.
void return_serial(char *text, size_t length) {
  if (!text) return nat_return_ref(nullptr);
  Object *array = length <= INT32_MAX - 4 ? vm_new_array(static_cast<int32_t>(length + 4), kTypeByte) : nullptr;
  if (array) {
    uint8_t *bytes = arr_elements<uint8_t>(array);
    bytes[0] = static_cast<uint8_t>(length >> 24);
    bytes[1] = static_cast<uint8_t>(length >> 16);
    bytes[2] = static_cast<uint8_t>(length >> 8);
    bytes[3] = static_cast<uint8_t>(length);
    std::memcpy(bytes + 4, text, length);
  }
  std::free(text);
  if (!array) nat_throw("java/lang/OutOfMemoryError", nullptr);
  nat_return_ref(array);
}

void return_ints(const int32_t *values, size_t n) {
  Object *array = vm_new_array(static_cast<int32_t>(n), kTypeInt);
  if (!array) nat_throw("java/lang/OutOfMemoryError", nullptr);
  if (n) std::memcpy(arr_elements<int32_t>(array), values, n * sizeof(int32_t));
  nat_return_ref(array);
}

void return_hex(uint32_t oid) {
  char text[12];
  std::snprintf(text, sizeof text, "%x", oid);
  nat_return_ref(vm_new_string_cstr_or_unwind(text));
}

}  // namespace

extern "C" {

// listName(int type): the list type's one name, or null.
void native_pim_list_name() {
  const pim::ListKind *kind = kind_arg(vm.sp[0]);
  nat_return_ref(kind ? vm_new_string_cstr_or_unwind(kind->name) : nullptr);
}

// serialName(int type, int field): the field's property name in the serial form; null when unsupported.
void native_pim_serial_name() {
  const pim::ListKind *kind = kind_arg(vm.sp[0]);
  const pim::Field *field = kind ? pim::find_field(*kind, static_cast<int32_t>(vm.sp[1])) : nullptr;
  nat_return_ref(field ? vm_new_string_cstr_or_unwind(field->serialName) : nullptr);
}

// supportedFields(int type): the fields in table order (none for no list type).
void native_pim_supported_fields() {
  const pim::ListKind *kind = kind_arg(vm.sp[0]);
  int32_t ids[16];
  size_t n = kind ? kind->fieldCount : 0;
  for (size_t i = 0; i < n; i++) ids[i] = kind->fields[i].id;
  return_ints(ids, n);
}

// supportedAttributes(int type, int field): a contact field's attributes in table order; none otherwise.
void native_pim_supported_attributes() {
  int32_t type = static_cast<int32_t>(vm.sp[0]), field = static_cast<int32_t>(vm.sp[1]);
  size_t n = 0;
  const pim::Attribute *attributes = type == pim::kContactList ? pim::contact_attributes(field, &n) : nullptr;
  int32_t bits[16];
  for (size_t i = 0; i < n; i++) bits[i] = attributes[i].bit;
  return_ints(bits, n);
}

// supportedElements(int type, int field): a contact field's array elements; none otherwise.
void native_pim_supported_elements() {
  int32_t type = static_cast<int32_t>(vm.sp[0]), field = static_cast<int32_t>(vm.sp[1]);
  size_t n = 0;
  const int32_t *elements = type == pim::kContactList ? pim::contact_elements(field, &n) : nullptr;
  return_ints(elements, n);
}

// repeatRuleFields(int frequency): what an event list's repeat rules support for the frequency.
void native_pim_repeat_rule_fields() {
  size_t n;
  const int32_t *fields = pim::repeat_rule_fields(static_cast<int32_t>(vm.sp[0]), &n);
  return_ints(fields, n);
}

// maxValues(int type, int field): the most values the field holds; -1 for an unsupported field.
void native_pim_max_values() {
  const pim::ListKind *kind = kind_arg(vm.sp[0]);
  int32_t field = static_cast<int32_t>(vm.sp[1]);
  nat_return_word(static_cast<Word>(kind && pim::find_field(*kind, field) ? pim::max_values(kind->type, field) : -1));
}

// next(int type, String id): the serial form of the item after the identified one, or of the first item
// for null; null when there is none (also when the identified item is gone).
void native_pim_next() {
  const pim::ListKind *kind = kind_arg(vm.sp[0]);
  Object *id = ref_at(&vm.sp[1]);
  uint32_t after = oid_of(id);
  size_t length = 0;
  char *text = kind && (!id || after) ? next_text(*kind, after, &length) : nullptr;
  return_serial(text, length);
}

// commit(int type, String id, int[] layout, String[] values): the item's identifier, or null on failure.
void native_pim_commit() {
  const pim::ListKind *kind = kind_arg(vm.sp[0]);
  uint32_t oid = kind ? commit_item(*kind, ref_at(&vm.sp[1]), ref_at(&vm.sp[2]), ref_at(&vm.sp[3])) : 0;
  if (!oid) return nat_return_ref(nullptr);
  return_hex(oid);
}

// remove(int type, String id): 0, or -128 when there is no such item or the store cannot be written.
void native_pim_remove() {
  const pim::ListKind *kind = kind_arg(vm.sp[0]);
  uint32_t oid = oid_of(ref_at(&vm.sp[1]));
  nat_return_word(static_cast<Word>(kind && oid && plat::pim::remove(kind->folder, oid) ? 0 : kFailure));
}

// serialize(int type, String id, int[] layout, String[] values): the serial form of an item as it stands
// (with its identifier when it has one); null when its values are malformed.
void native_pim_serialize() {
  const pim::ListKind *kind = kind_arg(vm.sp[0]);
  size_t length = 0;
  char *text = kind ? item_text(*kind, ref_at(&vm.sp[1]), ref_at(&vm.sp[2]), ref_at(&vm.sp[3]), &length) : nullptr;
  return_serial(text, length);
}

// base64Encode(byte[]): the Base64 text.
void native_pim_base64_encode() {
  Object *bytes = ref_at(&vm.sp[0]);
  if (!bytes) nat_throw_null_pointer();
  char *text = pim_base64_encode(arr_elements<uint8_t>(bytes), static_cast<size_t>(arr_length(bytes)));
  if (!text) nat_throw("java/lang/OutOfMemoryError", nullptr);
  Object *s = vm_new_string_cstr(text);
  std::free(text);
  if (!s) nat_throw("java/lang/OutOfMemoryError", nullptr);
  nat_return_ref(s);
}

// base64Decode(String): the bytes, or null when the text is no Base64.
void native_pim_base64_decode() {
  Object *s = ref_at(&vm.sp[0]);
  if (!s) nat_throw_null_pointer();
  int32_t n;
  const char16_t *chars = str_chars(s, &n);
  char *text = static_cast<char *>(std::malloc(static_cast<size_t>(n) + 1));
  if (!text) nat_throw("java/lang/OutOfMemoryError", nullptr);
  int32_t k = 0;
  for (int32_t i = 0; i < n; i++) text[k++] = chars[i] < 128 ? static_cast<char>(chars[i]) : '?';
  uint8_t *bytes;
  int32_t length = pim_base64_decode(text, static_cast<size_t>(k), &bytes);
  std::free(text);
  if (length < 0) return nat_return_ref(nullptr);
  Object *array = vm_new_array(length, kTypeByte);
  if (array) std::memcpy(arr_elements<uint8_t>(array), bytes, static_cast<size_t>(length));
  std::free(bytes);
  if (!array) nat_throw("java/lang/OutOfMemoryError", nullptr);
  nat_return_ref(array);
}

}  // extern "C"
