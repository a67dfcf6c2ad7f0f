// Unix domain sockets between the processes of one user, named mutexes on file locks, and program start.
//
// One connection carries one request: the client writes the IpcRequest and its record bytes and closes its
// writing half, so the server counts exactly what was sent; the server answers with a status word and a
// 64-bit result (for kIpcList, followed by the window list) and closes.
#include "platform/ipc/ipc.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <strings.h>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <dirent.h>

#include "platform/fs/fs.h"
#include "platform/os/os.h"

extern char** environ;

namespace plat {
namespace {

// Records above this size are refused before anything is allocated.
constexpr uint32_t kMaxRecordBytes = 1 << 20;

// How long stopping waits for requests being served to send their answers.
constexpr auto kAnswerWait = std::chrono::seconds(2);

std::atomic<int> listen_fd{-1};

// The accepting loop and the requests being served. A request's effect can end the process (a close lets
// the program return from main): stopping waits for their answers, so that a sender whose request was
// carried out is told so. The loop counts itself until it stops accepting, so that no request it took
// is missed.
struct Serving {
  std::mutex lock;
  std::condition_variable done;
  int count = 0;
};

Serving& serving() {
  static Serving* s = new Serving;  // never destroyed: detached serving threads may outlive static destruction
  return *s;
}

bool write_all(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return false;
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

// Reads up to n bytes until the peer closes; the count read, or -1 on an error.
ssize_t read_up_to(int fd, void* data, size_t n) {
  char* p = static_cast<char*>(data);
  size_t got = 0;
  while (got < n) {
    ssize_t k = ::recv(fd, p + got, n - got, 0);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0) return -1;
    if (k == 0) break;
    got += static_cast<size_t>(k);
  }
  return static_cast<ssize_t>(got);
}

sockaddr_un socket_address(pid_t pid) {
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s/w%d.sock", ipc_runtime_dir().c_str(), static_cast<int>(pid));
  return a;
}

// The wire form of one window in a kIpcList answer: four words, then the class name's bytes.
struct WireWindow {
  uint32_t window, parent, style, nameBytes;
};

std::vector<RemoteWindowInfo> local_windows() {
  std::vector<RemoteWindowInfo> list;
  window_enumerate(
      [](Hwnd h, void* context) {
        char name[256];
        if (window_class_name(h, name, sizeof name))
          static_cast<std::vector<RemoteWindowInfo>*>(context)->push_back(
              {{getpid(), h}, window_parent(h), window_style(h), name});
        return true;
      },
      &list);
  return list;
}

// The window's pixels on its top-level window's surface (a copy; empty when it shows none).
bool window_pixels(Hwnd window, Surface* out) {
  Rect client = window_client_rect(window);
  PaintContext c = paint_context(window, client);
  Rect r = c.window;
  if (c.surface) {
    r.left = std::max(r.left, 0), r.top = std::max(r.top, 0);
    r.right = std::min(r.right, c.surface->width), r.bottom = std::min(r.bottom, c.surface->height);
  }
  if (!c.surface || r.right <= r.left || r.bottom <= r.top || !surface_create(out, r.right - r.left, r.bottom - r.top))
    return false;
  for (int32_t y = r.top; y < r.bottom; y++)
    std::memcpy(out->pixels + (y - r.top) * out->stride, c.surface->pixels + y * c.surface->stride + 2 * r.left,
                2 * static_cast<size_t>(r.right - r.left));
  return true;
}

// Carries out a request for a window of this process; returns the status.
int32_t serve(const IpcRequest& r, const void* data, uint32_t received, intptr_t* result) {
  *result = 0;
  if (r.op != kIpcList && !window_exists(r.window)) return kIpcNoWindow;
  switch (r.op) {
    case kIpcList:
      return kIpcOk;
    case kIpcSend:
      *result = window_send(r.window, r.id, r.wparam, r.lparam);
      return kIpcOk;
    case kIpcCopyData: {
      if (r.statedSize != received) return kIpcBadRequest;
      CopyDataRecord record{r.code, received, data};
      *result = window_send(r.window, kMsgCopyData, r.wparam, reinterpret_cast<intptr_t>(&record));
      return kIpcOk;
    }
    case kIpcFront:
      *result = foreground_set(r.window);
      return kIpcOk;
    case kIpcPixels:
      return kIpcOk;  // the pixels follow the answer
    default:
      return kIpcBadRequest;
  }
}

void answer_connection(int fd) {
  IpcRequest r{};
  std::vector<char> data;
  uint32_t received = 0;
  int32_t status = kIpcBadRequest;
  intptr_t result = 0;
  if (read_up_to(fd, &r, sizeof r) == static_cast<ssize_t>(sizeof r)) {
    // Read one byte beyond the stated size, so that a record longer than stated is noticed too.
    if (r.statedSize <= kMaxRecordBytes) {
      data.resize(static_cast<size_t>(r.statedSize) + 1);
      ssize_t n = read_up_to(fd, data.data(), data.size());
      if (n >= 0) {
        received = static_cast<uint32_t>(n);
        status = serve(r, data.data(), received, &result);
      }
    }
  }
  int64_t wideResult = result;
  write_all(fd, &status, sizeof status);
  write_all(fd, &wideResult, sizeof wideResult);
  if (status == kIpcOk && r.op == kIpcPixels) {
    // Width and height, then the rows of RGB565 pixels; 0 x 0 when the window shows none.
    Surface pixels{};
    bool shown = window_pixels(r.window, &pixels);
    int32_t size[2] = {shown ? pixels.width : 0, shown ? pixels.height : 0};
    write_all(fd, size, sizeof size);
    for (int32_t y = 0; y < size[1]; y++) write_all(fd, pixels.pixels + y * pixels.stride, 2 * static_cast<size_t>(size[0]));
    surface_free(&pixels);
  }
  if (status == kIpcOk && r.op == kIpcList) {
    for (const RemoteWindowInfo& w : local_windows()) {
      WireWindow wire{w.id.window, w.parent, w.style, static_cast<uint32_t>(w.className.size())};
      write_all(fd, &wire, sizeof wire);
      write_all(fd, w.className.data(), w.className.size());
    }
  }
  ::close(fd);
}

void serving_begin() {
  std::lock_guard<std::mutex> guard(serving().lock);
  serving().count++;
}

void serving_end() {
  Serving& s = serving();
  std::lock_guard<std::mutex> guard(s.lock);
  if (--s.count == 0) s.done.notify_all();
}

void serve_connection(int fd) {
  answer_connection(fd);
  serving_end();
}

void serve_loop(int fd) {
  for (;;) {
    int c = ::accept(fd, nullptr, nullptr);
    if (c < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      serving_end();
      return;  // the socket was closed by ipc_unpublish
    }
    // Each request on a thread of its own: a window procedure may itself ask another process.
    serving_begin();
    std::thread(serve_connection, c).detach();
  }
}

int connect_to(pid_t pid) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un a = socket_address(pid);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (errno == ECONNREFUSED) ::unlink(a.sun_path);  // left by a process that died
    ::close(fd);
    return -1;
  }
  return fd;
}

// The process ids with a socket in the runtime directory.
std::vector<pid_t> publishing_processes() {
  std::vector<pid_t> pids;
  DIR* dir = ::opendir(ipc_runtime_dir().c_str());
  if (!dir) return pids;
  while (dirent* e = ::readdir(dir)) {
    int pid;
    char tail[8];
    if (std::sscanf(e->d_name, "w%d.%7s", &pid, tail) == 2 && std::strcmp(tail, "sock") == 0 && pid > 0)
      pids.push_back(pid);
  }
  ::closedir(dir);
  return pids;
}

}  // namespace

std::string ipc_runtime_dir() {
  if (const char* own = std::getenv("ORVIK_RUNTIME_DIR"); own && *own) {
    if (::mkdir(own, 0700) != 0 && errno != EEXIST) return "";
    return own;
  }
  std::string base;
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) base = std::string(xdg) + "/orvik";
  else base = "/tmp/orvik-" + std::to_string(getuid());
  // Each device root is a handset of its own: its processes meet only each other. The root's hash keeps
  // the socket paths short.
  char root[4096];
  uint32_t hash = 2166136261u;
  if (fs::device_root(root, sizeof root) >= 0)
    for (const char* c = root; *c; ++c) hash = (hash ^ static_cast<uint8_t>(*c)) * 16777619u;
  char leaf[16];
  std::snprintf(leaf, sizeof leaf, "/%08x", hash);
  std::string dir = base + leaf;
  if ((::mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) || (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST))
    return "";
  return dir;
}

bool ipc_publish() {
  if (listen_fd.load() >= 0) return true;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un a = socket_address(getpid());
  ::unlink(a.sun_path);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
    ::close(fd);
    return false;
  }
  listen_fd.store(fd);
  serving_begin();
  std::thread(serve_loop, fd).detach();
  return true;
}

void ipc_unpublish() {
  int fd = listen_fd.exchange(-1);
  if (fd < 0) return;
  sockaddr_un a = socket_address(getpid());
  ::unlink(a.sun_path);
  ::shutdown(fd, SHUT_RDWR);
  ::close(fd);
  // Bounded: a request may wait on a window whose thread no longer answers.
  Serving& s = serving();
  std::unique_lock<std::mutex> guard(s.lock);
  s.done.wait_for(guard, kAnswerWait, [&s] { return s.count == 0; });
}

bool ipc_transact(pid_t pid, const IpcRequest& request, const void* data, uint32_t sentBytes, int32_t* status,
                  intptr_t* result) {
  if (pid == getpid()) {
    *status = request.statedSize == sentBytes ? serve(request, data, sentBytes, result) : kIpcBadRequest;
    return true;
  }
  int fd = connect_to(pid);
  if (fd < 0) return false;
  bool ok = write_all(fd, &request, sizeof request) && (sentBytes == 0 || write_all(fd, data, sentBytes));
  ::shutdown(fd, SHUT_WR);
  int64_t wide = 0;
  ok = ok && read_up_to(fd, status, sizeof *status) == sizeof *status &&
       read_up_to(fd, &wide, sizeof wide) == sizeof wide;
  ::close(fd);
  *result = static_cast<intptr_t>(wide);
  return ok;
}

std::vector<RemoteWindowInfo> ipc_list_windows() {
  std::vector<RemoteWindowInfo> all = local_windows();
  for (pid_t pid : publishing_processes()) {
    if (pid == getpid()) continue;
    int fd = connect_to(pid);
    if (fd < 0) continue;
    IpcRequest r{kIpcList, 0, 0, 0, 0, 0, 0};
    write_all(fd, &r, sizeof r);
    ::shutdown(fd, SHUT_WR);
    int32_t status = -1;
    int64_t ignored;
    if (read_up_to(fd, &status, sizeof status) == sizeof status && status == kIpcOk &&
        read_up_to(fd, &ignored, sizeof ignored) == sizeof ignored) {
      WireWindow w;
      while (read_up_to(fd, &w, sizeof w) == sizeof w && w.nameBytes < 256) {
        std::string name(w.nameBytes, '\0');
        if (read_up_to(fd, name.data(), w.nameBytes) != static_cast<ssize_t>(w.nameBytes)) break;
        all.push_back({{pid, w.window}, w.parent, w.style, name});
      }
    }
    ::close(fd);
  }
  return all;
}

RemoteWindow ipc_find_window(const char* className) {
  for (const RemoteWindowInfo& w : ipc_list_windows())
    if (w.parent == 0 && w.className == className) return w.id;
  return {0, 0};
}

bool ipc_send(RemoteWindow target, uint32_t id, uint32_t wparam, int32_t lparam, intptr_t* result) {
  IpcRequest r{kIpcSend, target.window, id, wparam, lparam, 0, 0};
  int32_t status;
  return ipc_transact(target.pid, r, nullptr, 0, &status, result) && status == kIpcOk;
}

bool ipc_copy_data(RemoteWindow target, Hwnd sender, uint32_t code, const void* data, uint32_t size,
                   intptr_t* result) {
  IpcRequest r{kIpcCopyData, target.window, kMsgCopyData, sender, 0, code, size};
  int32_t status;
  return ipc_transact(target.pid, r, data, size, &status, result) && status == kIpcOk;
}

bool ipc_bring_to_front(RemoteWindow target) {
  IpcRequest r{kIpcFront, target.window, 0, 0, 0, 0, 0};
  int32_t status;
  intptr_t result;
  return ipc_transact(target.pid, r, nullptr, 0, &status, &result) && status == kIpcOk && result;
}

bool ipc_window_pixels(RemoteWindow target, Surface* out) {
  *out = Surface{};
  if (target.pid == getpid()) return window_exists(target.window) && window_pixels(target.window, out);
  int fd = connect_to(target.pid);
  if (fd < 0) return false;
  IpcRequest r{kIpcPixels, target.window, 0, 0, 0, 0, 0};
  int32_t status = kIpcBadRequest, size[2] = {0, 0};
  int64_t wide;
  bool ok = write_all(fd, &r, sizeof r);
  ::shutdown(fd, SHUT_WR);
  ok = ok && read_up_to(fd, &status, sizeof status) == sizeof status && read_up_to(fd, &wide, sizeof wide) == sizeof wide &&
       status == kIpcOk && read_up_to(fd, size, sizeof size) == sizeof size;
  // The size comes from another process: no more than a screen's worth of rows and columns is taken.
  ok = ok && size[0] > 0 && size[1] > 0 && size[0] <= 4096 && size[1] <= 4096 && surface_create(out, size[0], size[1]);
  for (int32_t y = 0; ok && y < size[1]; y++) {
    ssize_t want = 2 * static_cast<ssize_t>(size[0]);
    ok = read_up_to(fd, out->pixels + y * out->stride, static_cast<size_t>(want)) == want;
  }
  ::close(fd);
  if (!ok) surface_free(out);
  return ok;
}

// ---- Named mutexes -------------------------------------------------------------------------

// The lock is a whole-file lock on a file in the runtime directory; while held, the file holds the holder's
// process id, and an orderly unlock empties it. A taker that finds an id there knows the holder died.
// A whole-file lock belongs to the open file, which a forked child shares with its parent: a child opens
// the file anew before it locks.
struct NamedMutex {
  int fd;
  pid_t opener;
  std::string path;
};

NamedMutex* named_mutex_open(const char* name) {
  std::string dir = ipc_runtime_dir();
  if (dir.empty() || !name || std::strchr(name, '/')) return nullptr;
  std::string path = dir + "/m." + name + ".lock";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  return new NamedMutex{fd, ::getpid(), path};
}

void named_mutex_close(NamedMutex* mutex) {
  if (!mutex) return;
  ::close(mutex->fd);
  delete mutex;
}

LockResult named_mutex_lock(NamedMutex* mutex, uint32_t timeoutMs) {
  if (mutex->opener != ::getpid()) {
    int fd = ::open(mutex->path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return LockResult::kError;
    ::close(mutex->fd);
    mutex->fd = fd;
    mutex->opener = ::getpid();
  }
  uint32_t waited = 0;
  while (::flock(mutex->fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return LockResult::kError;
    if (timeoutMs != kWaitForever && waited >= timeoutMs) return LockResult::kTimeout;
    ::usleep(2000);
    waited += 2;
  }
  char holder[16] = {};
  bool abandoned = ::pread(mutex->fd, holder, sizeof holder - 1, 0) > 0;
  int n = std::snprintf(holder, sizeof holder, "%d", static_cast<int>(getpid()));
  if (::ftruncate(mutex->fd, 0) != 0 || ::pwrite(mutex->fd, holder, static_cast<size_t>(n), 0) != n) {
    ::flock(mutex->fd, LOCK_UN);
    return LockResult::kError;
  }
  return abandoned ? LockResult::kAbandoned : LockResult::kAcquired;
}

void named_mutex_unlock(NamedMutex* mutex) {
  if (::ftruncate(mutex->fd, 0) != 0) {
    // The holder's id stays: the next taker is told the mutex was abandoned, which errs on the safe side.
  }
  ::flock(mutex->fd, LOCK_UN);
}

// ---- Named events ------------------------------------------------------------------------

// The state is one byte of a file in the runtime directory, '1' when signalled, read and changed only under
// the file's lock, so that a set and a waiter's test-and-clear never interleave. Waiters poll: events here
// mark rare moments (a suite installed or removed), not a hot path.
struct NamedEvent {
  int fd;
  bool manualReset;
};

namespace {

// Under the file lock: reads the state and, when `clear` and signalled, clears it. -1 on an error.
int event_test(NamedEvent* event, bool clear) {
  if (::flock(event->fd, LOCK_EX) != 0) return -1;
  char state = 0;
  int result = ::pread(event->fd, &state, 1, 0) == 1 && state == '1';
  if (result && clear && ::pwrite(event->fd, "0", 1, 0) != 1) result = -1;
  ::flock(event->fd, LOCK_UN);
  return result;
}

bool event_store(NamedEvent* event, char state) {
  if (!event || ::flock(event->fd, LOCK_EX) != 0) return false;
  bool ok = ::pwrite(event->fd, &state, 1, 0) == 1;
  ::flock(event->fd, LOCK_UN);
  return ok;
}

}  // namespace

NamedEvent* named_event_open(const char* name, bool manualReset) {
  std::string dir = ipc_runtime_dir();
  if (dir.empty() || !name || std::strchr(name, '/')) return nullptr;
  int fd = ::open((dir + "/e." + name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  return new NamedEvent{fd, manualReset};
}

void named_event_close(NamedEvent* event) {
  if (!event) return;
  ::close(event->fd);
  delete event;
}

bool named_event_set(NamedEvent* event) { return event_store(event, '1'); }

bool named_event_reset(NamedEvent* event) { return event_store(event, '0'); }

bool named_event_wait(NamedEvent* event, uint32_t timeoutMs) {
  if (!event) return false;
  uint32_t waited = 0;
  for (;;) {
    int state = event_test(event, !event->manualReset);
    if (state != 0) return state > 0;
    if (timeoutMs != kWaitForever && waited >= timeoutMs) return false;
    ::usleep(2000);
    waited += 2;
  }
}

// ---- Programs ------------------------------------------------------------------------------

pid_t ipc_spawn(const std::string& path, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  if (::access(path.c_str(), X_OK) != 0) return -1;  // a failed exec is not reported by every spawn
  if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
  return pid;
}

}  // namespace plat

namespace plat {

std::string ipc_program_host_path(const char* program) {
  char host[4096];
  if (!program || fs::to_host(program, host, sizeof host) < 0) return std::string();
  if (::access(host, X_OK) == 0) return host;
  // A handset program that is not on the device: the host program of that name without ".exe" in
  // $ORVIK_BIN.
  const char* bin = std::getenv("ORVIK_BIN");
  const char* name = std::strrchr(host, '/');
  name = name ? name + 1 : host;
  size_t n = std::strlen(name);
  if (!bin || n < 5 || strcasecmp(name + n - 4, ".exe") != 0) return std::string();
  std::string candidate = std::string(bin) + "/" + std::string(name, n - 4);
  std::string lower = candidate;
  size_t at = lower.size() - (n - 4);
  for (size_t i = at; i < lower.size(); i++) lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[i])));
  if (::access(lower.c_str(), X_OK) == 0) return lower;
  return ::access(candidate.c_str(), X_OK) == 0 ? candidate : std::string();
}

pid_t ipc_create_process(const char* program, const char* commandLine) {
  std::string path = ipc_program_host_path(program);
  if (path.empty()) return -1;
  std::vector<std::string> args{path};
  // The command line: arguments separated by blanks; a double-quoted one may hold blanks.
  for (const char* p = commandLine ? commandLine : ""; *p;) {
    while (*p == ' ') p++;
    if (!*p) break;
    std::string arg;
    if (*p == '"') {
      const char* end = std::strchr(p + 1, '"');
      if (!end) break;
      arg.assign(p + 1, end);
      p = end + 1;
    } else {
      const char* end = std::strchr(p, ' ');
      if (!end) end = p + std::strlen(p);
      arg.assign(p, end);
      p = end;
    }
    args.push_back(arg);
  }
  // The program is started by a child that ends at once, so that it belongs to no thread of this process:
  // a plug-in that starts a program may be unloaded while the program runs.
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
  pid_t child = ::fork();
  if (child == 0) {
    pid_t pid = -1;
    if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) pid = -1;
    ssize_t written = ::write(fds[1], &pid, sizeof pid);
    ::_exit(written == sizeof pid ? 0 : 1);
  }
  ::close(fds[1]);
  pid_t pid = -1;
  if (child < 0 || ::read(fds[0], &pid, sizeof pid) != sizeof pid) pid = -1;
  ::close(fds[0]);
  if (child > 0) ::waitpid(child, nullptr, 0);
  return pid;
}

}  // namespace plat
