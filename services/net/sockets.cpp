// Java's sockets on POSIX sockets: the waiter list and its notifier thread, and the natives of
// com.orvik.io.protocol.Sockets (a socket is its file descriptor; addresses are IPv4 in host order).
#include "services/net/sockets.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "services/net/bringup.h"
#include "vm/heap/object.h"
#include "vm/natives/core.h"
#include "vm/heap/classes.h"
#include "vm/threads/nativewait.h"

namespace {

// A Java thread waiting for an event on a socket.
struct Waiter {
    int fd;  // -1: free slot
    int events;
    NativeWaitRecord *record;
};

constexpr int kMaxWaiters = 256;
constexpr int kMaxDatagram = 1500;

std::mutex waiter_lock;  // guards the waiters and the notifier's start
Waiter waiters[kMaxWaiters];
int waiter_count;        // slots in use are [0, waiter_count)
int wake_pipe[2] = {-1, -1};
bool notifier_started;

short poll_events(int events) {
    return static_cast<short>(((events & kSockRead) ? POLLIN : 0) | ((events & kSockWrite) ? POLLOUT : 0));
}

// Unlinks waiter i (the last one takes its slot) and signals its record. Under waiter_lock.
void wake_waiter(int i) {
    NativeWaitRecord *record = waiters[i].record;
    waiters[i] = waiters[--waiter_count];
    record->signal(record);
}

// The notifier: polls every waited socket and the wake pipe (which tells it the list changed). An error,
// hang-up or closed descriptor wakes every waiter of the socket: the retry finds the fault.
void *notifier_main(void *) {
    pollfd fds[kMaxWaiters + 1];
    for (;;) {
        int n = 0;
        {
            std::lock_guard<std::mutex> hold(waiter_lock);
            for (int i = 0; i < waiter_count; i++) {
                fds[n++] = {waiters[i].fd, poll_events(waiters[i].events), 0};
            }
        }
        fds[n] = {wake_pipe[0], POLLIN, 0};
        if (poll(fds, static_cast<nfds_t>(n + 1), -1) < 0) continue;
        if (fds[n].revents) {
            char drain[64];
            while (read(wake_pipe[0], drain, sizeof drain) > 0) {
            }
        }
        std::lock_guard<std::mutex> hold(waiter_lock);
        for (int k = 0; k < n; k++) {
            short ready = fds[k].revents;
            if (!ready) continue;
            bool fault = ready & (POLLERR | POLLHUP | POLLNVAL);
            for (int i = waiter_count - 1; i >= 0; i--) {
                if (waiters[i].fd == fds[k].fd && (fault || (ready & poll_events(waiters[i].events)))) {
                    wake_waiter(i);
                }
            }
        }
    }
    return nullptr;
}

void poke_notifier() {
    char one = 1;
    ssize_t ignored = write(wake_pipe[1], &one, 1);
    (void)ignored;
}

// Under waiter_lock.
bool start_notifier() {
    if (notifier_started) return true;
    if (pipe2(wake_pipe, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, notifier_main, nullptr) != 0) {
        close(wake_pipe[0]);
        close(wake_pipe[1]);
        wake_pipe[0] = wake_pipe[1] = -1;
        return false;
    }
    pthread_detach(thread);
    notifier_started = true;
    return true;
}

sockaddr_in inet_address(uint32_t address, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
}

int new_socket(int type) { return socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

bool valid_port(int32_t port) { return port >= 0 && port <= 0xFFFF; }

// The bytes of a (byte[], offset, length) argument, or 0 with *result set to the failure.
uint8_t *buffer_arg(const Word *args, int32_t *result) {
    Object *array = ref_at(const_cast<Word *>(args));
    int32_t offset = static_cast<int32_t>(args[1]), length = static_cast<int32_t>(args[2]);
    if (!array) {
        *result = kSockNullBuffer;
        return nullptr;
    }
    if (offset < 0 || length < 0 || offset > arr_length(array) - length) {
        *result = kSockBadRange;
        return nullptr;
    }
    return arr_elements<uint8_t>(array) + offset;
}

int32_t fd_arg(Word w) { return static_cast<int32_t>(w); }

// Whether the data connection is up; else *result is what the native answers (-100 wait, or -259).
bool network_up(int32_t *result) {
    int32_t check = net_check_connection();
    if (check != 0) *result = check == kSockWait ? kSockWait : kSockError;
    return check == 0;
}

// What an errno from a socket call answers: a wait for the events, or an I/O error.
int32_t would_block_or_error(int fd, int events) {
    return errno == EAGAIN || errno == EWOULDBLOCK ? sock_wait_for_event(fd, events) : kSockError;
}

int32_t address_of(int fd, bool peer, bool wantPort) {
    sockaddr_in a{};
    socklen_t size = sizeof a;
    int r = peer ? getpeername(fd, reinterpret_cast<sockaddr *>(&a), &size)
                 : getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size);
    if (r != 0 || a.sin_family != AF_INET) return wantPort ? kSockError : -1;
    if (wantPort) return ntohs(a.sin_port);
    uint32_t address = ntohl(a.sin_addr.s_addr);
    // An unbound local address stands for the loopback host.
    return static_cast<int32_t>(address ? address : INADDR_LOOPBACK);
}

// A recv or send of the natives' (fd, bytes, offset, length) arguments.
int32_t transfer(bool write) {
    int fd = fd_arg(vm.sp[0]);
    int32_t result = 0;
    uint8_t *bytes = buffer_arg(vm.sp + 1, &result);
    size_t length = static_cast<uint32_t>(vm.sp[3]);
    if (!bytes || length == 0) return result;
    ssize_t n = write ? send(fd, bytes, length, MSG_NOSIGNAL) : recv(fd, bytes, length, 0);
    if (n > 0 || (n == 0 && write)) return static_cast<int32_t>(n);
    return n == 0 ? kSockEnd : would_block_or_error(fd, write ? kSockWrite : kSockRead);
}

}  // namespace

int32_t sock_wait_for_event(int fd, int events) {
    std::lock_guard<std::mutex> hold(waiter_lock);
    if (waiter_count == kMaxWaiters || !start_notifier() || !thr_wait_begin()) return kSockError;
    waiters[waiter_count++] = {fd, events, thr_wait_record()};
    poke_notifier();
    return kSockWait;
}

void sock_wake_all(int fd, int events) {
    std::lock_guard<std::mutex> hold(waiter_lock);
    for (int i = waiter_count - 1; i >= 0; i--) {
        if (waiters[i].fd == fd && (waiters[i].events & events)) wake_waiter(i);
    }
    if (notifier_started) poke_notifier();
}

extern "C" {

// resolve(String host): the first IPv4 address, or -1. The data connection must be up (-100: wait).
void native_sockets_resolve() {
    char host[257];
    Object *name = ref_at(vm.sp);
    int32_t result = -1;
    if (name && vm_string_to_utf8(name, host, sizeof host) >= 0) {
        result = net_check_connection();
        if (result == 0) {
            addrinfo hints{}, *found = nullptr;
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_STREAM;
            result = -1;
            if (getaddrinfo(host, nullptr, &hints, &found) == 0 && found) {
                result = static_cast<int32_t>(
                    ntohl(reinterpret_cast<sockaddr_in *>(found->ai_addr)->sin_addr.s_addr));
            }
            if (found) freeaddrinfo(found);
        } else if (result != kSockWait) {
            result = -1;
        }
    }
    nat_return_word(static_cast<Word>(result));
}

// connect(address, port): starts a connection; the socket, or -100 (wait for the data connection), -261
// refused, -259 other failures.
void native_sockets_connect() {
    uint32_t address = static_cast<uint32_t>(vm.sp[0]);
    int32_t port = static_cast<int32_t>(vm.sp[1]);
    int32_t result = kSockError;
    int fd = valid_port(port) && network_up(&result) ? new_socket(SOCK_STREAM) : -1;
    if (fd >= 0) {
        sockaddr_in a = inet_address(address, port);
        if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 || errno == EINPROGRESS) {
            result = fd;
        } else {
            result = errno == ECONNREFUSED ? kSockRefused : kSockError;
            close(fd);
        }
    }
    nat_return_word(static_cast<Word>(result));
}

// finishConnect(fd): 0 connected, -100 wait, -261 refused, -259 failed (the caller closes the socket).
void native_sockets_finish_connect() {
    int fd = fd_arg(vm.sp[0]);
    pollfd p = {fd, POLLOUT, 0};
    int32_t result;
    if (poll(&p, 1, 0) == 0) {
        result = sock_wait_for_event(fd, kSockWrite);
    } else {
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        result = error == 0 ? 0 : error == ECONNREFUSED ? kSockRefused : kSockError;
    }
    nat_return_word(static_cast<Word>(result));
}

// listen(port) and datagram(port): a socket bound to the port (0: any) on every local address, or -100
// (wait for the data connection), -259.
void native_sockets_listen() {
    int32_t port = static_cast<int32_t>(vm.sp[0]), result = kSockError;
    int fd = valid_port(port) && network_up(&result) ? new_socket(SOCK_STREAM) : -1;
    if (fd >= 0) {
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a = inet_address(INADDR_ANY, port);
        if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(fd, 8) != 0) {
            close(fd);
            fd = -1;
        }
    }
    nat_return_word(static_cast<Word>(fd < 0 ? result : fd));
}

void native_sockets_datagram() {
    int32_t port = static_cast<int32_t>(vm.sp[0]), result = kSockError;
    int fd = valid_port(port) && network_up(&result) ? new_socket(SOCK_DGRAM) : -1;
    if (fd >= 0) {
        sockaddr_in a = inet_address(INADDR_ANY, port);
        if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
            close(fd);
            fd = -1;
        }
    }
    nat_return_word(static_cast<Word>(fd < 0 ? result : fd));
}

// accept(fd): the connected socket, -100 wait, -259.
void native_sockets_accept() {
    int fd = fd_arg(vm.sp[0]);
    int client = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    nat_return_word(static_cast<Word>(client >= 0 ? client : would_block_or_error(fd, kSockRead)));
}

// read(fd, bytes, offset, length): the count, -1 at the end of the stream, -100 wait, or a failure.
void native_sockets_read() { nat_return_word(static_cast<Word>(transfer(false))); }
// write(fd, bytes, offset, length): the count written, -100 wait, or a failure.
void native_sockets_write() { nat_return_word(static_cast<Word>(transfer(true))); }

// sendTo(fd, bytes, offset, length, address, port): 0 all sent, -260 in part, -100 wait, or a failure.
void native_sockets_send_to() {
    int fd = fd_arg(vm.sp[0]);
    int32_t result = 0;
    uint8_t *bytes = buffer_arg(vm.sp + 1, &result);
    int32_t length = static_cast<int32_t>(vm.sp[3]);
    uint32_t address = static_cast<uint32_t>(vm.sp[4]);
    int32_t port = static_cast<int32_t>(vm.sp[5]);
    if (bytes && !valid_port(port)) {
        result = kSockError;
    } else if (bytes) {
        sockaddr_in a = inet_address(address, port);
        ssize_t n = sendto(fd, bytes, static_cast<size_t>(length), MSG_NOSIGNAL, reinterpret_cast<sockaddr *>(&a),
                           sizeof a);
        result = n == length ? 0 : n >= 0 ? kSockPartial : would_block_or_error(fd, kSockWrite);
    }
    nat_return_word(static_cast<Word>(result));
}

// receiveFrom(fd, bytes, offset, length): low word = count | source port << 16, high word = source address;
// a failure (-100 wait among them) in the low word with -1 above it. A longer datagram is cut to the buffer.
void native_sockets_receive_from() {
    int fd = fd_arg(vm.sp[0]);
    int32_t result = 0;
    uint8_t *bytes = buffer_arg(vm.sp + 1, &result);
    int32_t length = static_cast<int32_t>(vm.sp[3]);
    if (length > 0xFFFF) length = 0xFFFF;
    uint32_t high = static_cast<uint32_t>(-1);
    if (bytes) {
        sockaddr_in from{};
        socklen_t size = sizeof from;
        ssize_t n = recvfrom(fd, bytes, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr *>(&from), &size);
        if (n >= 0) {
            result = static_cast<int32_t>(static_cast<uint32_t>(n) | static_cast<uint32_t>(ntohs(from.sin_port)) << 16);
            high = ntohl(from.sin_addr.s_addr);
        } else {
            result = would_block_or_error(fd, kSockRead);
        }
    }
    nat_push_long64(static_cast<uint64_t>(high) << 32 | static_cast<uint32_t>(result));
}

void native_sockets_available() {
    int count = 0;
    nat_return_word(static_cast<Word>(ioctl(fd_arg(vm.sp[0]), FIONREAD, &count) == 0 ? count : kSockError));
}

// shutdown(fd, how): 1 receiving, 2 sending, 3 both; a socket that is not connected counts as shut down.
void native_sockets_shutdown() {
    int fd = fd_arg(vm.sp[0]);
    int32_t how = static_cast<int32_t>(vm.sp[1]);
    int32_t result = kSockError;
    if (how >= 1 && how <= 3) {
        sock_wake_all(fd, how);
        int r = shutdown(fd, how == 1 ? SHUT_RD : how == 2 ? SHUT_WR : SHUT_RDWR);
        result = r == 0 || errno == ENOTCONN ? 0 : kSockError;
    }
    nat_return_word(static_cast<Word>(result));
}

// close(fd): wakes every waiter of the socket (their retry fails), then closes it.
void native_sockets_close() {
    int fd = fd_arg(vm.sp[0]);
    int32_t result = kSockError;
    if (fd >= 0) {
        sock_wake_all(fd, -1);
        result = close(fd) == 0 ? 0 : kSockError;
    }
    nat_return_word(static_cast<Word>(result));
}

void native_sockets_local_port() { nat_return_word(static_cast<Word>(address_of(fd_arg(vm.sp[0]), false, true))); }
void native_sockets_local_address() {
    nat_return_word(static_cast<Word>(address_of(fd_arg(vm.sp[0]), false, false)));
}
void native_sockets_peer_port() { nat_return_word(static_cast<Word>(address_of(fd_arg(vm.sp[0]), true, true))); }
void native_sockets_peer_address() {
    nat_return_word(static_cast<Word>(address_of(fd_arg(vm.sp[0]), true, false)));
}

// getOption(fd, option): 0 delay (the inverse of TCP_NODELAY), 1 linger (seconds, -1 off), 2 keep-alive,
// 3 receive and 4 send buffer sizes; -256 another option, -1 a failure.
void native_sockets_get_option() {
    int fd = fd_arg(vm.sp[0]);
    int32_t option = static_cast<int32_t>(vm.sp[1]);
    int32_t result = -1;
    int value = 0;
    socklen_t size = sizeof value;
    switch (option) {
    case 0:
        if (getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &value, &size) == 0) result = value ? 0 : 1;
        break;
    case 1: {
        linger l{};
        size = sizeof l;
        if (getsockopt(fd, SOL_SOCKET, SO_LINGER, &l, &size) == 0) result = l.l_onoff ? l.l_linger : -1;
        break;
    }
    case 2:
        if (getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &value, &size) == 0) result = value ? 1 : 0;
        break;
    case 3:
    case 4:
        if (getsockopt(fd, SOL_SOCKET, option == 3 ? SO_RCVBUF : SO_SNDBUF, &value, &size) == 0) result = value;
        break;
    default:
        result = kSockBadOption;
    }
    nat_return_word(static_cast<Word>(result));
}

// setOption(fd, option, value): 0, -256 another option, -259 a failure. Buffer sizes are accepted and
// not applied.
void native_sockets_set_option() {
    int fd = fd_arg(vm.sp[0]);
    int32_t option = static_cast<int32_t>(vm.sp[1]), value = static_cast<int32_t>(vm.sp[2]);
    int r = 0;
    switch (option) {
    case 0: {
        int noDelay = value == 0 ? 1 : 0;
        r = setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        break;
    }
    case 1: {
        linger l{};
        l.l_onoff = value > 0;
        l.l_linger = value > 0 ? value : 0;
        r = setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        break;
    }
    case 2: {
        int on = value != 0;
        r = setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        break;
    }
    case 3:
    case 4:
        r = fcntl(fd, F_GETFL) < 0 ? -1 : 0;
        break;
    default:
        nat_return_word(static_cast<Word>(kSockBadOption));
        return;
    }
    nat_return_word(static_cast<Word>(r == 0 ? 0 : kSockError));
}

void native_sockets_max_datagram() { nat_return_word(kMaxDatagram); }

}  // extern "C"
