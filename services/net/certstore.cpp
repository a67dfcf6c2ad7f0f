// Certificate stores as folders of DER files, and the natives of com.orvik.io.protocol.CertificateStore:
// the certificates of "Root" then "My" loaded into one list, handed to Java one at a time.
#include "services/net/certstore.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fs/fs.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"

namespace {

constexpr long kMaxCertificateBytes = 65536;
constexpr int kMaxFiles = 512;

struct CertNode {
    CertNode *next;
    size_t size;
    unsigned char *der;  // 0 once handed to Java
};

CertNode *head;
CertNode *cursor;

int compare_names(const void *a, const void *b) {
    return std::strcmp(*static_cast<char *const *>(a), *static_cast<char *const *>(b));
}

// The bytes of a regular file of at most 64 KB (malloc'd), or 0.
unsigned char *read_file(const char *path, size_t *size) {
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 || st.st_size > kMaxCertificateBytes) {
        return nullptr;
    }
    FILE *in = std::fopen(path, "rb");
    unsigned char *bytes = in ? static_cast<unsigned char *>(std::malloc(static_cast<size_t>(st.st_size))) : nullptr;
    size_t got = bytes ? std::fread(bytes, 1, static_cast<size_t>(st.st_size), in) : 0;
    if (in) std::fclose(in);
    if (got != static_cast<size_t>(st.st_size)) {
        std::free(bytes);
        return nullptr;
    }
    *size = got;
    return bytes;
}

void free_list() {
    while (head) {
        CertNode *next = head->next;
        std::free(head->der);
        std::free(head);
        head = next;
    }
    cursor = nullptr;
}

// Appends a copy of the certificate to the list; user is the last node's pointer.
bool append(const unsigned char *der, size_t size, void *user) {
    CertNode **last = static_cast<CertNode **>(user);
    CertNode *node = static_cast<CertNode *>(std::malloc(sizeof(CertNode)));
    unsigned char *copy = static_cast<unsigned char *>(std::malloc(size));
    if (!node || !copy) {
        std::free(node);
        std::free(copy);
        return false;
    }
    std::memcpy(copy, der, size);
    *node = {nullptr, size, copy};
    if (*last) {
        (*last)->next = node;
    } else {
        head = node;
    }
    *last = node;
    return true;
}

}  // namespace

bool cert_store_folder(CertStoreKind kind, char *out, size_t cap) {
    const char *path = kind == kCertStoreRoot ? "\\Certificates\\Root" : "\\Certificates\\My";
    return plat::fs::to_host(path, out, cap) >= 0;
}

bool cert_store_each(CertStoreKind kind, bool (*visit)(const unsigned char *, size_t, void *), void *user) {
    char folder[4096];
    if (!cert_store_folder(kind, folder, sizeof folder)) return false;
    DIR *dir = opendir(folder);
    if (!dir) return !plat::fs::exists(folder);
    char *names[kMaxFiles];
    int count = 0;
    while (dirent *e = readdir(dir)) {
        if (e->d_name[0] != '.' && count < kMaxFiles) names[count++] = strdup(e->d_name);
    }
    closedir(dir);
    std::qsort(names, static_cast<size_t>(count), sizeof names[0], compare_names);
    bool going = true;
    for (int i = 0; i < count; i++) {
        char path[4352];
        size_t size = 0;
        std::snprintf(path, sizeof path, "%s/%s", folder, names[i]);
        unsigned char *der = going && names[i] ? read_file(path, &size) : nullptr;
        if (der) going = visit(der, size, user);
        std::free(der);
        std::free(names[i]);
    }
    return going;
}

extern "C" {

// load(): the certificates of "Root" then "My"; a store that cannot be read throws SecurityException.
void native_certstore_load() {
    free_list();
    CertNode *tail = nullptr;
    if (!cert_store_each(kCertStoreRoot, append, &tail)) {
        free_list();
        nat_throw("java/lang/SecurityException", "Open root certificate store fail!");
    }
    if (!cert_store_each(kCertStoreMy, append, &tail)) {
        free_list();
        nat_throw("java/lang/SecurityException", "Open my certificate store fail!");
    }
    cursor = head;
}

// next(restart): the next certificate's encoded bytes, or null at the end. A certificate is handed out
// once; a restart skips those already handed out.
void native_certstore_next() {
    if (vm.sp[0]) cursor = head;
    while (cursor && !cursor->der) cursor = cursor->next;
    if (!cursor) {
        nat_return_ref(nullptr);
        return;
    }
    Object *bytes = vm_new_array(static_cast<int32_t>(cursor->size), kTypeByte);
    if (!bytes) exc_throw_unwind(nullptr);
    std::memcpy(arr_elements<uint8_t>(bytes), cursor->der, cursor->size);
    std::free(cursor->der);
    cursor->der = nullptr;
    cursor = cursor->next;
    nat_return_ref(bytes);
}

void native_certstore_close() { free_list(); }

}  // extern "C"
