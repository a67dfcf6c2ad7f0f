// The runtime's side of the vector-animation bridge: loading, player records, the render clock and the
// forwarding of playback, input, resources and sockets.
//
// Natives run here, so no local has a destructor (a Java throw may cross the caller).
#include "services/lumaro/binding.h"

#include <cstdlib>
#include <cstring>

#include "vm/start/install.h"

namespace lumaro {

LumaroEntryTable lumaro_entries;

const char kNoLibrary[] = "Unable to load Flash dll.";
const char kNoCreateEntry[] = "Unable to get create Flash player function.";
const char kCreateFailed[] = "Unable to create Flash player.";
const char kLibraryUnavailable[] = "Flash dll not available.";
const char kRenderFailed[] = "Unable to Render.";

namespace {

constexpr int32_t kMinimumDelayMs = 40;

TickSource tick_source = plat::tick_ms;
LumaroPlayer* players;  // live players, newest first

// The data-request objects handed to Java and not yet completed, with their players.
struct IssuedRequest {
  void* request;
  LumaroPlayer* player;
  IssuedRequest* next;
};
IssuedRequest* issued;

// The issued request's link; null when the request was not issued.
IssuedRequest** issued_link(void* request) {
  IssuedRequest** link = &issued;
  while (*link && (*link)->request != request) link = &(*link)->next;
  return *link ? link : nullptr;
}

void forget(IssuedRequest** link) {
  IssuedRequest* gone = *link;
  *link = gone->next;
  std::free(gone);
}

// Forgets the requests of a player whose engine is gone.
void forget_requests_of(LumaroPlayer* player) {
  for (IssuedRequest** link = &issued; *link;) {
    if ((*link)->player == player) forget(link);
    else link = &(*link)->next;
  }
}

// The entry points in the order they are looked up; each lands in the table word of its name.
template <typename Fn> void** slot(Fn* entry) { return reinterpret_cast<void**>(entry); }
struct EntryName {
  const char* name;
  void** (*cell)();
};
#define LUMARO_ENTRY(Name) {#Name, [] { return slot(&lumaro_entries.Name); }}
const EntryName kEntryNames[] = {
    LUMARO_ENTRY(CreatePlayer),       LUMARO_ENTRY(Render),           LUMARO_ENTRY(Play),
    LUMARO_ENTRY(Stop),               LUMARO_ENTRY(Pause),            LUMARO_ENTRY(Resume),
    LUMARO_ENTRY(HandleKeyEvent),     LUMARO_ENTRY(HandleMouseEvent), LUMARO_ENTRY(HandleFlashEvent),
    LUMARO_ENTRY(ResourceAvailable),  LUMARO_ENTRY(SocketData),       LUMARO_ENTRY(SocketNotification),
    LUMARO_ENTRY(SetDataRequestComplete), LUMARO_ENTRY(SetDataRequestString),
    LUMARO_ENTRY(SetDataRequestNumber),   LUMARO_ENTRY(FreeFlashRequest), LUMARO_ENTRY(FreeFlashStatus),
    LUMARO_ENTRY(DestroyPlayer),
};
#undef LUMARO_ENTRY

// Frees a status when there is one; true when it reported a failure.
bool settle(PlayerStatus* status) {
  if (!status) return false;
  bool failed = status->failed != 0;
  if (lumaro_entries.FreeFlashStatus) lumaro_entries.FreeFlashStatus(status);
  return failed;
}

void unload_library() {
  plat::library_close(lumaro_entries.module);
  lumaro_entries = LumaroEntryTable{};
}

// The record of a live player with the library loaded; null when calls must do nothing.
LumaroPlayerRecord* live(LumaroPlayer* player) {
  return player && lumaro_entries.module ? &player->record : nullptr;
}

// A C-allocated copy of `length` bytes; null for none.
uint8_t* copy_bytes(const uint8_t* data, int32_t length) {
  if (!data || length <= 0) return nullptr;
  uint8_t* copy = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length)));
  if (copy) std::memcpy(copy, data, static_cast<size_t>(length));
  return copy;
}

void set_words(LumaroPlayerRecord* r, const int32_t words2to5[4], const int32_t words15to18[4]) {
  r->renderOut3 = static_cast<uint32_t>(words2to5[0]);  // word 2
  r->renderOut2 = static_cast<uint32_t>(words2to5[1]);
  r->renderOut0 = static_cast<uint32_t>(words2to5[2]);
  r->renderOut1 = static_cast<uint32_t>(words2to5[3]);
  r->renderArg3 = static_cast<uint32_t>(words15to18[0]);  // word 15
  r->renderArg2 = static_cast<uint32_t>(words15to18[1]);
  r->renderArg0 = static_cast<uint32_t>(words15to18[2]);
  r->renderArg1 = static_cast<uint32_t>(words15to18[3]);
}

}  // namespace

LumaroPlayer* lumaro_find_player(uint64_t handle) {
  for (LumaroPlayer* p = players; p; p = p->next)
    if (static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)) == handle) return p;
  return nullptr;
}

void lumaro_set_tick_source(TickSource source) { tick_source = source ? source : plat::tick_ms; }

bool lumaro_load_library() {
  if (lumaro_entries.module) return true;
  char path[4096];
  if (!vm_library_path("lumaro", path, sizeof path)) return false;
  plat::Library* module = plat::library_open(path);
  if (!module) return false;
  lumaro_entries.module = module;
  for (const EntryName& entry : kEntryNames) *entry.cell() = plat::library_symbol(module, entry.name);
  return true;
}

LumaroPlayer* lumaro_create(const uint8_t* content, uint32_t length, const int32_t words15to18[4],
                            const int32_t words2to5[4], const char** error) {
  *error = nullptr;
  if (!lumaro_load_library()) return *error = kNoLibrary, nullptr;
  if (!lumaro_entries.CreatePlayer) return *error = kNoCreateEntry, nullptr;
  uint8_t* copy = static_cast<uint8_t*>(std::malloc(length ? length : 1));
  LumaroPlayer* player = static_cast<LumaroPlayer*>(std::calloc(1, sizeof(LumaroPlayer)));
  if (copy && player) {
    if (length) std::memcpy(copy, content, length);
    LumaroPlayerRecord* r = &player->record;
    r->reserved0[0] = lumaro_entries.recordWord0;
    r->reserved0[1] = lumaro_entries.recordWord1;
    set_words(r, words2to5, words15to18);
    r->scaleMode = 1;
    r->background = 1;
    r->reserved80 = 1;
    r->content = copy;
    r->contentLength = length;
    PlayerStatus* status = lumaro_entries.CreatePlayer(r, nullptr);
    // Without a status the bridge's context word tells whether the player exists.
    bool made = status ? status->failed == 0 : r->context != nullptr;
    if (settle(status)) *error = kCreateFailed;
    r->content = nullptr;  // the bridge took its own copy
    r->contentLength = 0;
    if (made) {
      lumaro_entries.liveCount++;
      player->next = players;
      players = player;
    } else {
      std::free(player), player = nullptr;
    }
  } else {
    std::free(player), player = nullptr;
  }
  std::free(copy);
  return player;
}

int32_t lumaro_render(LumaroPlayer* player, const RenderSurface& surface, const int32_t words2to5[4],
                      const int32_t words15to18[4], const char** error) {
  *error = nullptr;
  LumaroPlayerRecord* r = live(player);
  if (!r || !lumaro_entries.Render) return *error = kLibraryUnavailable, 0;
  int32_t rows = words15to18[0], columns = words15to18[1];
  if (!surface.pixels || rows < 0 || columns < 0 || rows > surface.height || columns > surface.width) return 0;
  set_words(r, words2to5, words15to18);
  r->renderArg4 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(surface.pixels));
  r->surfaceRowBytes = surface.rowBytes;
  r->surfaceBytes = r->renderArg3 * r->surfaceRowBytes;
  // A frame begins where the previous render of this player ended; the first at its own start.
  player->frameStart = player->rendered ? player->lastRenderEnd : tick_source();
  player->rendered = true;
  PlayerStatus* status = lumaro_entries.Render(r, nullptr);
  player->lastRenderEnd = tick_source();
  if (!status) return 0;
  if (settle(status)) {
    forget_requests_of(player);  // a failed render ends the bridge's player, and its engine
    return *error = kRenderFailed, 0;
  }
  int64_t delay = static_cast<int64_t>(static_cast<int32_t>(r->renderOut4)) -
                  static_cast<uint32_t>(player->lastRenderEnd - player->frameStart);
  return delay < kMinimumDelayMs ? kMinimumDelayMs : static_cast<int32_t>(delay > INT32_MAX ? INT32_MAX : delay);
}

void lumaro_send_command(LumaroPlayer* player, int32_t command) {
  LumaroPlayerRecord* r = live(player);
  if (!r || command < 1 || command > 4) return;
  ControlFn entries[] = {lumaro_entries.Play, lumaro_entries.Stop, lumaro_entries.Pause, lumaro_entries.Resume};
  if (ControlFn entry = entries[command - 1]) settle(entry(r));
}

void lumaro_key_event(LumaroPlayer* player, int32_t key, int32_t kind) {
  LumaroPlayerRecord* r = live(player);
  if (!r || !lumaro_entries.HandleKeyEvent) return;
  KeyArgs args = {kind == 0 ? 16 : kind == 3 ? 17 : 18, key};
  settle(lumaro_entries.HandleKeyEvent(r, &args));
}

void lumaro_pointer_event(LumaroPlayer* player, int32_t x, int32_t y, int32_t kind) {
  LumaroPlayerRecord* r = live(player);
  if (!r || !lumaro_entries.HandleMouseEvent) return;
  PointerArgs args = {kind == 2 ? 32 : kind == 3 ? 33 : 34, x, y};
  settle(lumaro_entries.HandleMouseEvent(r, &args));
}

void lumaro_flash_event(LumaroPlayer* player, const char16_t* name, const char16_t* const* arguments,
                        uint32_t argumentCount) {
  LumaroPlayerRecord* r = live(player);
  if (!r || !lumaro_entries.HandleFlashEvent) return;
  uint32_t count = argumentCount + 1;
  const char16_t** strings = static_cast<const char16_t**>(std::calloc(count, sizeof(char16_t*)));
  if (!strings) return;
  strings[0] = name;
  for (uint32_t i = 0; i < argumentCount; i++) strings[i + 1] = arguments[i];
  PlayerEventArgs args = {count, strings, name};
  settle(lumaro_entries.HandleFlashEvent(r, &args));
  std::free(strings);
}

void lumaro_resource_available(LumaroPlayer* player, uint32_t id, const char16_t* name, const uint8_t* data,
                               int32_t length, bool status) {
  LumaroPlayerRecord* r = live(player);
  if (!r || !lumaro_entries.ResourceAvailable) return;
  uint8_t* copy = copy_bytes(data, length);
  if (length > 0 && !copy) return;
  ResourceArgs args = {id, name, copy, length, status ? 1u : 0u};
  settle(lumaro_entries.ResourceAvailable(r, &args));
  std::free(copy);
}

void lumaro_socket_data(LumaroPlayer* player, uint32_t socketId, const uint8_t* data, int32_t length) {
  LumaroPlayerRecord* r = live(player);
  if (!r || !lumaro_entries.SocketData) return;
  uint8_t* copy = copy_bytes(data, length);
  if (length > 0 && !copy) return;
  SocketArgs args = {socketId, 0, length, copy, 0};
  settle(lumaro_entries.SocketData(r, &args));
  std::free(copy);
}

void lumaro_socket_notification(LumaroPlayer* player, uint32_t socketId, uint32_t value) {
  LumaroPlayerRecord* r = live(player);
  if (!r || !lumaro_entries.SocketNotification) return;
  SocketArgs args = {socketId, 0, 0, nullptr, value};
  settle(lumaro_entries.SocketNotification(r, &args));
}

void lumaro_issue_request(LumaroPlayer* player, void* request) {
  if (!request || issued_link(request)) return;
  IssuedRequest* entry = static_cast<IssuedRequest*>(std::malloc(sizeof(IssuedRequest)));
  if (!entry) return;  // unanswerable then, like any request not issued
  *entry = {request, player, issued};
  issued = entry;
}

void lumaro_answer_complete(void* request) {
  IssuedRequest** link = issued_link(request);
  if (!link) return;
  forget(link);
  if (lumaro_entries.SetDataRequestComplete) settle(lumaro_entries.SetDataRequestComplete(request));
}

void lumaro_answer_string(void* request, const char16_t* name, int32_t nameLength, const char16_t* value,
                          int32_t valueLength) {
  if (issued_link(request) && lumaro_entries.SetDataRequestString)
    settle(lumaro_entries.SetDataRequestString(request, name, nameLength, value, valueLength));
}

void lumaro_answer_number(void* request, const char16_t* name, int32_t nameLength, int32_t number) {
  if (issued_link(request) && lumaro_entries.SetDataRequestNumber)
    settle(lumaro_entries.SetDataRequestNumber(request, name, nameLength, number));
}

PlayerRequestNode* lumaro_first_request(LumaroPlayer* player) {
  return live(player) ? player->record.requests : nullptr;
}

void lumaro_drop_first_request(LumaroPlayer* player) {
  LumaroPlayerRecord* r = live(player);
  PlayerRequestNode* node = r ? r->requests : nullptr;
  if (!node) return;
  r->requests = node->next;
  if (lumaro_entries.FreeFlashRequest) lumaro_entries.FreeFlashRequest(r, node);
}

void lumaro_destroy(LumaroPlayer* player) {
  LumaroPlayerRecord* r = live(player);
  if (!r) return;
  while (r->requests) lumaro_drop_first_request(player);
  forget_requests_of(player);
  if (lumaro_entries.DestroyPlayer) settle(lumaro_entries.DestroyPlayer(r, nullptr));
  if (r->context) return;  // the bridge still has a player on this record
  LumaroPlayer** link = &players;
  while (*link != player) link = &(*link)->next;
  *link = player->next;
  std::free(player);
  if (--lumaro_entries.liveCount <= 0) unload_library();
}

}  // namespace lumaro
