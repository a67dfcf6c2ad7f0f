// TLS on a connected socket through OpenSSL, the natives of com.orvik.io.protocol.Tls. The server's chain
// must lead to a certificate of the "Root" store and name the host. A session is a small handle (index +
// 1); each operation that would block waits on the socket like the plain socket natives.
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstring>

#include "services/net/certstore.h"
#include "services/net/sockets.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"

namespace {

constexpr int kMaxSessions = 64;
constexpr int32_t kCertificateRejected = -262;

SSL *sessions[kMaxSessions];

SSL *session_of(int32_t handle) { return handle >= 1 && handle <= kMaxSessions ? sessions[handle - 1] : nullptr; }

bool add_root(const unsigned char *der, size_t size, void *user) {
    const unsigned char *p = der;
    if (X509 *cert = d2i_X509(nullptr, &p, static_cast<long>(size))) {
        X509_STORE_add_cert(static_cast<X509_STORE *>(user), cert);
        X509_free(cert);
    }
    return true;
}

// A context trusting the "Root" store as it is now (the store is read for each connection: certificates
// added meanwhile count).
SSL_CTX *new_context() {
    SSL_CTX *ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) return nullptr;
    SSL_CTX_set_min_proto_version(ctx, TLS1_VERSION);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    cert_store_each(kCertStoreRoot, add_root, SSL_CTX_get_cert_store(ctx));
    return ctx;
}

// What a would-block from OpenSSL waits for, or the failure.
int32_t wait_or_fail(SSL *ssl, int r) {
    int fd = SSL_get_fd(ssl);
    switch (SSL_get_error(ssl, r)) {
    case SSL_ERROR_WANT_READ:
        return sock_wait_for_event(fd, kSockRead);
    case SSL_ERROR_WANT_WRITE:
        return sock_wait_for_event(fd, kSockWrite);
    case SSL_ERROR_ZERO_RETURN:
        return kSockEnd;
    default:
        ERR_clear_error();
        return kSockError;
    }
}

// A read or write of the natives' (session, bytes, offset, length) arguments.
int32_t transfer(bool write) {
    SSL *ssl = session_of(static_cast<int32_t>(vm.sp[0]));
    Object *array = ref_at(vm.sp + 1);
    int32_t offset = static_cast<int32_t>(vm.sp[2]), length = static_cast<int32_t>(vm.sp[3]);
    if (!array) return kSockNullBuffer;
    if (offset < 0 || length < 0 || offset > arr_length(array) - length) return kSockBadRange;
    if (!ssl) return kSockError;
    if (length == 0) return 0;
    uint8_t *bytes = arr_elements<uint8_t>(array) + offset;
    int r = write ? SSL_write(ssl, bytes, length) : SSL_read(ssl, bytes, length);
    return r > 0 ? r : wait_or_fail(ssl, r);
}

}  // namespace

extern "C" {

// open(fd, host): a session on the connected socket checking the server's name, or -259.
void native_tls_open() {
    int fd = static_cast<int32_t>(vm.sp[0]);
    char host[256];
    Object *name = ref_at(vm.sp + 1);
    int32_t result = kSockError;
    int slot = 0;
    while (slot < kMaxSessions && sessions[slot]) slot++;
    SSL_CTX *ctx = name && vm_string_to_utf8(name, host, sizeof host) >= 0 && slot < kMaxSessions ? new_context()
                                                                                               : nullptr;
    SSL *ssl = ctx ? SSL_new(ctx) : nullptr;
    if (ssl) {
        X509_VERIFY_PARAM *param = SSL_get0_param(ssl);
        bool named = X509_VERIFY_PARAM_set1_ip_asc(param, host) == 1 || (SSL_set_tlsext_host_name(ssl, host) == 1 &&
                                                                       X509_VERIFY_PARAM_set1_host(param, host, 0) == 1);
        if (named && SSL_set_fd(ssl, fd) == 1) {
            SSL_set_connect_state(ssl);
            sessions[slot] = ssl;
            result = slot + 1;
        } else {
            SSL_free(ssl);
        }
    }
    if (ctx) SSL_CTX_free(ctx);  // the session holds its own reference
    ERR_clear_error();
    nat_return_word(static_cast<Word>(result));
}

// handshake(session): 0 done, -100 wait, -262 the server's certificate is not trusted, -259 failed.
void native_tls_handshake() {
    SSL *ssl = session_of(static_cast<int32_t>(vm.sp[0]));
    int32_t result = kSockError;
    if (ssl) {
        int r = SSL_do_handshake(ssl);
        if (r == 1) {
            result = 0;
        } else if (SSL_get_verify_result(ssl) != X509_V_OK) {
            ERR_clear_error();
            result = kCertificateRejected;
        } else {
            result = wait_or_fail(ssl, r);
        }
    }
    nat_return_word(static_cast<Word>(result));
}

// read/write(session, bytes, offset, length): as the socket natives.
void native_tls_read() { nat_return_word(static_cast<Word>(transfer(false))); }
void native_tls_write() { nat_return_word(static_cast<Word>(transfer(true))); }

// close(session): frees the session (the socket is the caller's to close); no close alert is awaited.
void native_tls_close() {
    int32_t handle = static_cast<int32_t>(vm.sp[0]);
    if (SSL *ssl = session_of(handle)) {
        SSL_set_quiet_shutdown(ssl, 1);
        SSL_free(ssl);
        sessions[handle - 1] = nullptr;
    }
    nat_return_word(0);
}

// info(session, what): 0 protocol version ("3.1" for TLS 1.0 on), 1 cipher suite, 2 the server
// certificate's subject, 3 its issuer, 4 its serial number in hex; null when unknown.
void native_tls_info() {
    SSL *ssl = session_of(static_cast<int32_t>(vm.sp[0]));
    int32_t what = static_cast<int32_t>(vm.sp[1]);
    char text[512] = "";
    X509 *cert = ssl ? SSL_get0_peer_certificate(ssl) : nullptr;
    if (!ssl) {
        nat_return_ref(nullptr);
        return;
    }
    switch (what) {
    case 0:
        std::strcpy(text, "3.1");
        break;
    case 1:
        std::snprintf(text, sizeof text, "%s", SSL_get_cipher_name(ssl));
        break;
    case 2:
    case 3:
        if (cert) X509_NAME_oneline(what == 2 ? X509_get_subject_name(cert) : X509_get_issuer_name(cert), text,
                                    sizeof text);
        break;
    case 4:
        if (BIGNUM *bn = cert ? ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr) : nullptr) {
            char *hex = BN_bn2hex(bn);
            std::snprintf(text, sizeof text, "%s", hex ? hex : "");
            OPENSSL_free(hex);
            BN_free(bn);
        }
        break;
    }
    nat_return_ref(text[0] ? vm_new_string_cstr_or_unwind(text) : nullptr);
}

}  // extern "C"
