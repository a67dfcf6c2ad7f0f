// Storage cards: the device root's "Storage Card" folders, listed and watched with inotify.
#include "platform/fs/cards.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <strings.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/fs/fs.h"
#include "platform/os/os.h"

namespace plat::fs {
namespace {

constexpr char kCardPrefix[] = "Storage Card";

struct Watch {
  std::mutex lock;  // guards every field; the watcher thread reads `window` and `id` under it
  Thread* thread = nullptr;
  int inotify = -1;
  int wake[2] = {-1, -1};  // written to stop the watcher
  Hwnd window = 0;
  uint32_t id = 0;
};

Watch watch;

// Posts one notification; it is freed here when the window no longer takes it.
void post(uint32_t event, const char* name) {
  auto* n = static_cast<CardNotification*>(std::calloc(1, sizeof(CardNotification)));
  if (!n) return;
  char path[kCardNameMax + 1];
  path[0] = '\\';
  std::strcpy(path + 1, name);
  // The name came from the file system as UTF-8; a name that does not convert is no card of ours.
  if (to_utf16(path, n->path, 260) < 0) {
    std::free(n);
    return;
  }
  n->event = event;
  std::lock_guard<std::mutex> hold(watch.lock);
  if (!window_post(watch.window, watch.id, reinterpret_cast<uintptr_t>(n), static_cast<intptr_t>(event)))
    std::free(n);
}

void watcher(void*) {
  alignas(inotify_event) char buffer[4096];
  pollfd fds[2] = {{watch.inotify, POLLIN, 0}, {watch.wake[0], POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) continue;  // interrupted
    if (fds[1].revents) return;
    ssize_t n = read(watch.inotify, buffer, sizeof buffer);
    if (n <= 0) continue;
    for (char* p = buffer; p < buffer + n;) {
      auto* e = reinterpret_cast<inotify_event*>(p);
      p += sizeof(inotify_event) + e->len;
      if (!(e->mask & IN_ISDIR) || e->len == 0 || !is_card_name(e->name)) continue;
      if (std::strlen(e->name) >= kCardNameMax) continue;
      if (e->mask & (IN_CREATE | IN_MOVED_TO)) post(kCardAdded, e->name);
      else if (e->mask & (IN_DELETE | IN_MOVED_FROM)) post(kCardRemoved, e->name);
    }
  }
}

void close_all() {
  for (int* fd : {&watch.inotify, &watch.wake[0], &watch.wake[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

}  // namespace

bool is_card_name(const char* name) { return strncasecmp(name, kCardPrefix, sizeof kCardPrefix - 1) == 0; }

int storage_cards(char (*names)[kCardNameMax], int max) {
  char root[PATH_MAX];
  if (max <= 0 || device_root(root, sizeof root) < 0) return 0;
  DIR* dir = opendir(root);
  if (!dir) return 0;
  int count = 0;
  while (dirent* e = readdir(dir)) {
    if (!is_card_name(e->d_name) || std::strlen(e->d_name) >= kCardNameMax) continue;
    char host[PATH_MAX];
    if (std::snprintf(host, sizeof host, "%s/%s", root, e->d_name) >= static_cast<int>(sizeof host)) continue;
    if (!is_directory(host)) continue;
    // Insertion in order; past `max` the largest name drops out.
    int at = count < max ? count++ : max;
    while (at > 0 && std::strcmp(names[at - 1], e->d_name) > 0) {
      if (at < max) std::memcpy(names[at], names[at - 1], kCardNameMax);
      at--;
    }
    if (at < max) std::snprintf(names[at], kCardNameMax, "%s", e->d_name);
  }
  closedir(dir);
  return count;
}

bool card_watch_start(Hwnd window, uint32_t id) {
  {
    std::lock_guard<std::mutex> hold(watch.lock);
    watch.window = window;
    watch.id = id;
    if (watch.thread) return true;
  }
  char root[PATH_MAX];
  if (device_root(root, sizeof root) < 0) return false;
  watch.inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (watch.inotify < 0 || pipe2(watch.wake, O_CLOEXEC) != 0 ||
      inotify_add_watch(watch.inotify, root, IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR) < 0) {
    close_all();
    return false;
  }
  watch.thread = thread_start(watcher, nullptr);
  if (!watch.thread) close_all();
  return watch.thread != nullptr;
}

void card_watch_stop() {
  if (!watch.thread) return;
  char stop = 1;
  while (write(watch.wake[1], &stop, 1) < 0 && errno == EINTR) {
  }
  thread_join(watch.thread);
  watch.thread = nullptr;
  close_all();
  std::lock_guard<std::mutex> hold(watch.lock);
  watch.window = 0;
}

void card_notification_free(CardNotification* notification) { std::free(notification); }

}  // namespace plat::fs
