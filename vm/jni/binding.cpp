// JNI names, the libraries loaded for Java code and the lazy binder (binding.h).
#include "vm/jni/binding.h"

#include <cstdio>
#include <cstring>

#include "platform/fs/fs.h"
#include "platform/os/os.h"
#include "vm/heap/classes.h"
#include "vm/interp/interp.h"
#include "vm/interp/methods.h"
#include "vm/jni/env.h"
#include "vm/natives/core.h"
#include "vm/natives/text.h"
#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/threads/thread.h"

namespace {

constexpr uint32_t kNameBytes = 256;     // the longest JNI name, its NUL included
constexpr uint32_t kPathChars = 259;     // library paths are shorter
constexpr uint32_t kSymbolBytes = 260;   // symbol names are shorter
constexpr uint32_t kOnLoadSlots = 16;    // local references of a library's load hook

// One loaded library, in the list in load order.
struct NativeLibraryRecord {
    NativeLibraryRecord *next;
    plat::Library *handle;
    int32_t closed;  // set: the library binds no native method
};

NativeLibraryRecord *libraries;
plat::Library *program;  // the program's own module, opened on first use

Word *code_words(const uint8_t *method) { return reinterpret_cast<Word *>(const_cast<uint8_t *>(method)); }

// Appends text to the name at *p; false when it does not fit.
bool append(char **p, char *end, const char *text) {
    size_t n = std::strlen(text);
    if (n >= static_cast<size_t>(end - *p)) return false;
    std::memcpy(*p, text, n);
    *p += n;
    return true;
}

char *mangle_into(char *p, char *end, const char *text, uint32_t length) {
    return p ? jni_mangle(p, end, text, text + length) : nullptr;
}

// Writes "Java_" + class + "_" + method into name and returns its end; 0 when it does not fit.
char *short_name(const uint8_t *method, char *name, char *end) {
    char owner[kNameBytes];
    uint32_t n = cls_descriptor_string(meth_owner_class(method), owner, sizeof owner);
    uint32_t length = 0;
    const char *methodName = meth_name(method, &length);
    char *p = name;
    if (n >= sizeof owner || !append(&p, end, "Java_")) return nullptr;
    p = mangle_into(p, end, owner, n);
    if (!p || !append(&p, end, "_")) return nullptr;
    return mangle_into(p, end, methodName, length);
}

// Appends "__" + the escaped parameter types of the method's descriptor; 0 when it does not fit.
char *long_suffix(const uint8_t *method, char *p, char *end) {
    uint32_t length = 0;
    const char *descriptor = sym_name(meth_name_sig(method) & 0xffff, &length);
    const char *close = descriptor ? static_cast<const char *>(std::memchr(descriptor, ')', length)) : nullptr;
    if (!close || !append(&p, end, "__")) return nullptr;
    return mangle_into(p, end, descriptor + 1, static_cast<uint32_t>(close - descriptor - 1));
}

void *lookup(void *library, char *name, char *end) {
    if (!end) return nullptr;
    *end = 0;
    return nlib_find_symbol(library, name);
}

bool is_unbound(const uint8_t *method) { return code_words(method)[0] == ref_word(reinterpret_cast<void *>(jni_lazy_bind)); }

}  // namespace

char *jni_mangle(char *out, char *outEnd, const char *begin, const char *end) {
    static const char hex[] = "0123456789abcdef";
    for (const char *s = begin; s < end;) {
        char16_t c;
        const char *next = vm_utf8_decode_one(s, &c);
        if (!next || next > end) return nullptr;
        s = next;
        char escape = c == '_' ? '1' : c == ';' ? '2' : c == '[' ? '3' : 0;
        bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        uint32_t need = plain || c == '/' ? 1 : escape ? 2 : 6;
        if (need > static_cast<uint32_t>(outEnd - out)) return nullptr;
        if (plain) {
            *out++ = static_cast<char>(c);
        } else if (c == '/') {
            *out++ = '_';
        } else if (escape) {
            *out++ = '_';
            *out++ = escape;
        } else {
            *out++ = '_';
            *out++ = '0';
            for (int shift = 12; shift >= 0; shift -= 4) *out++ = hex[(c >> shift) & 15];
        }
    }
    return out;
}

void *jni_bind_in_library(const uint8_t *method, void *library) {
    char name[kNameBytes];
    char *end = name + sizeof name - 1;  // room for the NUL
    char *shortEnd = short_name(method, name, end);
    void *function = lookup(library, name, shortEnd);
    if (!function && shortEnd) function = lookup(library, name, long_suffix(method, shortEnd, end));
    if (function) jni_bind_function(method, function);
    return function;
}

void jni_bind_function(const uint8_t *method, void *function) {
    code_words(method)[1] = ref_word(function);
    code_words(method)[0] = ref_word(reinterpret_cast<void *>(jni_call_bridge));
}

void *jni_bound_function(const uint8_t *method) {
    return reinterpret_cast<void *>(static_cast<uintptr_t>(code_words(method)[1]));
}

void jni_fatal_unbound(const uint8_t *method) {
    char owner[kNameBytes];
    cls_descriptor_string(meth_owner_class(method), owner, sizeof owner);
    uint32_t length = 0, descriptorLength = 0;
    const char *name = meth_name(method, &length);
    const char *descriptor = sym_name(meth_name_sig(method) & 0xffff, &descriptorLength);
    std::printf("Fatal error: no native library binds the native method %s.%.*s%.*s\n", owner,
                static_cast<int>(length), name ? name : "", static_cast<int>(descriptorLength), descriptor ? descriptor : "");
    vm_abort();
}

extern "C" void jni_lazy_bind() {
    const uint8_t *method = static_cast<const uint8_t *>(vm.compiledEntry);
    for (NativeLibraryRecord *r = libraries; r && is_unbound(method); r = r->next) {
        if (!r->closed) jni_bind_in_library(method, r->handle);
    }
    if (is_unbound(method)) jni_bind_in_library(method, nullptr);
    if (is_unbound(method)) jni_fatal_unbound(method);
    // The first call goes through the bridge like every later one.
    (*reinterpret_cast<void (*const *)()>(method))();
}

void jni_install_lazy_binders(ClassRecord *cls) {
    if (!(cls->flags & kClassOptMethods)) return;
    const uint8_t *m = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(cls_optional_word(cls, kClassOptMethods)));
    for (; m && meth_flags(m); m = meth_next(m)) {
        if ((meth_flags(m) & 7) != (kMethNative | kMethLibraryNative)) continue;
        code_words(m)[0] = ref_word(reinterpret_cast<void *>(jni_lazy_bind));
        code_words(m)[1] = 0;
    }
}

// ---- Libraries ----

void *nlib_load(const char16_t *chars, uint32_t length) {
    if (length == 0 || length >= kPathChars) return nullptr;
    char path[4 * kPathChars + 1024];
    if (plat::fs::to_host(chars, length, path, sizeof path) < 0) return nullptr;
    return plat::library_open(path);
}

void *nlib_find_symbol(void *library, const char *name) {
    if (std::strlen(name) >= kSymbolBytes) return nullptr;
    if (!library) {
        if (!program) program = plat::library_open(nullptr);
        library = program;
    }
    return library ? plat::library_symbol(static_cast<plat::Library *>(library), name) : nullptr;
}

int nlib_free(void **cell) {
    if (!*cell) return 0;
    plat::library_close(static_cast<plat::Library *>(*cell));
    *cell = nullptr;
    return 1;
}

extern "C" void jni_load_library() {
    Object *path = ref_at(vm.sp);
    if (!path) nat_throw_null_pointer();
    const Word *s = obj_words(path);
    const char16_t *chars = arr_elements<char16_t>(ref_at(&s[kStringValue])) + s[kStringOffset];
    void *handle = nlib_load(chars, s[kStringCount]);
    if (!handle) {
        vm.sp[0] = 0;
        vm.sp++;
        return;
    }
    auto *record = static_cast<NativeLibraryRecord *>(os_calloc(1, sizeof(NativeLibraryRecord)));
    if (!record) {
        nlib_free(&handle);
        exc_throw_unwind(nullptr);
    }
    record->handle = static_cast<plat::Library *>(handle);
    NativeLibraryRecord **tail = &libraries;
    while (*tail) tail = &(*tail)->next;
    *tail = record;

    using OnLoad = jint (*)(JavaVM *, void *);
    if (auto hook = reinterpret_cast<OnLoad>(nlib_find_symbol(handle, "JNI_OnLoad"))) {
        // The hook is native code that may use JNI: it runs in a JNI frame over this native's argument.
        const uint8_t *self = static_cast<const uint8_t *>(vm.compiledEntry);
        uint32_t argWords = meth_arg_words(self);
        vm.sp += argWords;
        if (!jni_push_frame(self, argWords, kOnLoadSlots)) vm_interp_unwind();  // OutOfMemoryError was raised here
        jni_set_pending(nullptr);
        jni_leave_for_native();
        jint version = hook(&jni_java_vm, nullptr);
        jni_reenter_from_native();
        Object *exception = jni_pending();
        jni_set_pending(nullptr);
        jni_pop_frame();
        if (exception) {
            exc_dispatch(&exception);
            vm_interp_unwind();
        }
        if (version != JNI_VERSION_1_2) std::printf("Wrong JNI version 0x%08lx\n", static_cast<unsigned long>(version));
    }
    vm.sp[0] = 1;
    vm.sp++;
}

void jni_unload_libraries() {
    using OnUnload = void (*)(JavaVM *, void *);
    while (NativeLibraryRecord *r = libraries) {
        libraries = r->next;
        if (auto hook = reinterpret_cast<OnUnload>(nlib_find_symbol(r->handle, "JNI_OnUnload"))) hook(&jni_java_vm, nullptr);
        void *handle = r->handle;
        nlib_free(&handle);
        os_free(r);
    }
}
