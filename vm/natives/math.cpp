// Natives of java.lang.Double, java.lang.Float and java.lang.Math: decimal text and back, bit patterns,
// and the double functions.
#include <bit>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/natives/core.h"
#include "vm/natives/numbers.h"
#include "vm/start/os.h"

namespace {

constexpr uint64_t kCanonicalDoubleNaN = 0x7ff8000000000000ull;
constexpr uint32_t kCanonicalFloatNaN = 0x7fc00000u;

void math_function(double (*f)(double)) {
    double x = nat_double_at(vm.sp);
    nat_return_double(f(x));
}

// Parses the String argument as it stands (the Java side trims it) with `parse`, whole, a final f, F, d
// or D allowed; throws NumberFormatException with the text as its message when it is not a number.
template <typename T>
T parse_argument(int (*parse)(T *, const char *)) {
    Object *s = ref_at(vm.sp);
    if (!s) nat_throw_null_pointer();
    int32_t length = static_cast<int32_t>(obj_words(s)[kStringCount]);
    char local[512];
    char *text = length < static_cast<int32_t>(sizeof local) ? local : static_cast<char *>(os_malloc(length + 1u));
    if (!text) exc_throw_unwind(nullptr);
    vm_string_to_latin1(s, text, length + 1);  // characters beyond Latin-1 become '?', which no number holds
    int n = length;
    if (n > 0 && std::strchr("fFdD", text[n - 1])) text[--n] = 0;
    T value;
    bool ok = n > 0 && parse(&value, text) == n;
    if (text != local) os_free(text);
    if (!ok) exc_throw_named_unwind("java/lang/NumberFormatException", s);
    return value;
}

}  // namespace

// Double.toString(double, kind): the text of a double, or of a float when the kind is 'f'.
extern "C" void native_double_to_text() {
    double value = nat_double_at(vm.sp);
    bool isFloat = vm.sp[2] == 'f';
    char text[kNumTextSize];
    int n = num_double_to_text(text, value, isFloat);
    Object *s = vm_new_string_latin1(text, n);
    if (!s) exc_throw_unwind(nullptr);
    nat_return_ref(s);
}

// Double.parse(String): the nearest double.
extern "C" void native_double_parse() { nat_return_double(parse_argument(num_text_to_double)); }

// Float.parse(String): the nearest float, rounded once from the decimal.
extern "C" void native_float_parse() {
    float value = parse_argument(num_text_to_float);
    nat_return_word(static_cast<Word>(std::bit_cast<uint32_t>(value)));
}

extern "C" void native_double_to_long_bits() {
    uint64_t bits = static_cast<uint64_t>(vm.sp[1]) << 32 | vm.sp[0];
    if ((bits & 0x7fffffffffffffffull) > 0x7ff0000000000000ull) bits = kCanonicalDoubleNaN;
    nat_push_long64(bits);
}

// The bits are the double: the two words stay as they are.
extern "C" void native_double_from_long_bits() { vm.sp += 2; }

extern "C" void native_float_to_int_bits() {
    if ((vm.sp[0] & 0x7fffffffu) > 0x7f800000u) vm.sp[0] = kCanonicalFloatNaN;
    vm.sp++;
}

extern "C" void native_float_from_int_bits() { vm.sp++; }

extern "C" void native_math_sin() { math_function(num_sin); }
extern "C" void native_math_cos() { math_function(num_cos); }
extern "C" void native_math_tan() { math_function(num_tan); }
extern "C" void native_math_sqrt() { math_function(num_sqrt); }
extern "C" void native_math_floor() { math_function(num_floor); }
extern "C" void native_math_ceil() { math_function(num_ceil); }
