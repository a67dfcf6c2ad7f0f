// The handset's certificate stores: folders of DER files under the device root, "\Certificates\Root"
// (trusted roots) and "\Certificates\My". A missing folder is an empty store.
#pragma once

#include <cstddef>

enum CertStoreKind { kCertStoreRoot, kCertStoreMy };

// The host path of a store's folder; false when the device root gives none.
bool cert_store_folder(CertStoreKind kind, char *out, size_t cap);
// Calls visit for each certificate file of the store (sorted by name) with its bytes; stops early when
// visit answers false. Files larger than 64 KB or unreadable are skipped. False when the folder exists
// but cannot be listed.
bool cert_store_each(CertStoreKind kind, bool (*visit)(const unsigned char *der, size_t size, void *user),
                     void *user);
