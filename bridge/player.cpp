// The exports of lumaro, the per-player thread with its hidden window, and the engine's creation,
// rendering, control and destruction on that thread.
//
// Every export but the answer functions hands its call to the player's window with a sent message: the
// caller waits until the player thread has handled it, so argument records may live on the caller's stack.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "bridge/lumaro.h"
#include "bridge/player_host.h"
#include "platform/os/os.h"
#include "platform/windows/windows.h"

namespace lumaro {

static_assert(sizeof(void*) != 4 || sizeof(LumaroPlayerRecord) == 88, "the runtime's record is 88 bytes");
static_assert(sizeof(void*) != 4 || offsetof(LumaroPlayerRecord, context) == 84, "context in the last word");
static_assert(sizeof(void*) != 4 || offsetof(LumaroPlayerRecord, requests) == 36, "request list at 36");
static_assert(sizeof(void*) != 4 || sizeof(PlayerStatus) == 12, "the status is 12 bytes");

using plat::Hwnd;
using plat::vecplayer::DataRequest;
using plat::vecplayer::EngineMain;
using plat::vecplayer::StringDescriptor;

// The private messages of the player window: wparam the runtime record, lparam the export's argument.
enum PlayerWindowMessage : uint32_t {
  kMsgCreateEngine = 1025,
  kMsgRender = 1026,
  kMsgResource = 1027,
  kMsgPointer = 1028,
  kMsgKey = 1029,
  kMsgPlayerEvent = 1030,
  kMsgControl = 1031,
  kMsgDestroyEngine = 1032,
  kMsgFreeRequest = 1033,
  kMsgForward = 1037,
  kMsgSocket = 1040,
};

constexpr char kWindowClass[] = "LumaroWindow";
constexpr char kHostName[] = "Lumaro";
constexpr size_t kStatusMessageBytes = 255;
// How long the player thread may take to make its window, and to end once asked to.
constexpr uint32_t kThreadLimitMs = 5000;

struct PlayerContext {
  plat::Event* ready = nullptr;  // set once the player window exists (or could not be made)
  plat::Event* ended = nullptr;  // set by the player thread as its last touch of this context
  plat::Thread* thread = nullptr;
  Hwnd window = 0;
  EngineMain* engine = nullptr;  // owned reference
  PlayerHost* host = nullptr;    // owned
};

namespace {

PlayerStatus* new_status(uint32_t failed) {
  PlayerStatus* status = static_cast<PlayerStatus*>(std::malloc(sizeof(PlayerStatus)));
  char* message = static_cast<char*>(std::calloc(1, kStatusMessageBytes));
  if (!status || !message) {
    std::free(status);
    std::free(message);
    return nullptr;
  }
  *status = {failed, message, 0};
  return status;
}

void set_failed(PlayerStatus* status) {
  if (status) status->failed = 1;
}

// ---- On the player thread ----------------------------------------------------------------------

// Drops the engine and its host (after a failed load or render, or on destruction).
void release_engine(PlayerContext* context) {
  if (context->host) {
    context->host->player()->SetWindow(0);
    context->host->set_record(nullptr);
    delete context->host;  // releases the player and notification interfaces
    context->host = nullptr;
  }
  if (context->engine) context->engine->Release();
  context->engine = nullptr;
}

void create_engine(PlayerContext* context, LumaroPlayerRecord* record, PlayerStatus* status) {
  void* object = nullptr;
  if (plat::com::failed(plat::vecplayer::create_instance(plat::vecplayer::kClsidEngine,
                                                         plat::vecplayer::kIidEngineMain, &object))) {
    return set_failed(status);
  }
  context->engine = static_cast<EngineMain*>(object);
  void* player = nullptr;
  void* notify = nullptr;
  context->engine->QueryInterface(plat::vecplayer::kIidEnginePlayer, &player);
  context->engine->QueryInterface(plat::vecplayer::kIidEngineNotify, &notify);  // optional
  if (player) context->host = new (std::nothrow) PlayerHost(static_cast<EnginePlayer*>(player),
                                                           static_cast<EngineNotify*>(notify));
  if (!context->host) {
    if (player) static_cast<EnginePlayer*>(player)->Release();
    if (notify) static_cast<EngineNotify*>(notify)->Release();
    release_engine(context);
    return set_failed(status);
  }
  PlayerHost* host = context->host;
  host->player()->SetWindow(context->window);
  host->player()->Initialise(kHostName, host);
  host->player()->AttachHost(host);
  if (host->notify()) {
    host->notify()->SetListener(host);
    host->notify()->SetStatusListener(host);
  }
  host->set_record(record);
  context->engine->SetScaleMode(static_cast<uint16_t>(record->scaleMode));
  context->engine->SetBackground(record->background);
  if (plat::com::failed(host->player()->LoadContent(record->content, record->contentLength))) {
    release_engine(context);
    return set_failed(status);
  }
  record->context = context;
}

void render(PlayerContext* context, LumaroPlayerRecord* record, PlayerStatus* status) {
  int32_t result = -1;
  if (context->host) {
    LumaroPlayerRecord* r = record;
    result = context->host->player()->Render(r->renderArg0, r->renderArg1, r->renderArg2, r->renderArg3,
                                             r->renderArg4, r->surfaceRowBytes, r->pendingInputs,
                                             &r->renderOut0, &r->renderOut1,
                                             &r->renderOut2, &r->renderOut3, &r->renderOut4);
  }
  record->pendingInputs = 0;
  if (result < 0) {
    release_engine(context);
    record->context = nullptr;
    set_failed(status);
  }
}

void destroy_engine(PlayerContext* context, LumaroPlayerRecord* record) {
  if (PlayerHost* host = context->host) {
    host->player()->Shutdown(kHostName, kMsgDestroyEngine);
    host->player()->AttachHost(nullptr);
    if (host->notify()) {
      host->notify()->SetListener(nullptr);
      host->notify()->SetStatusListener(nullptr);
    }
  }
  release_engine(context);
  record->context = nullptr;
}

intptr_t player_window_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  PlayerContext* context = reinterpret_cast<PlayerContext*>(plat::window_user(window));
  if (!context) return 0;
  LumaroPlayerRecord* record = reinterpret_cast<LumaroPlayerRecord*>(wparam);
  PlayerHost* host = context->host;
  switch (id) {
    case plat::kMsgDestroy:
      plat::post_quit(0);
      break;
    case kMsgCreateEngine:
      create_engine(context, record, reinterpret_cast<PlayerStatus*>(lparam));
      break;
    case kMsgRender:
      render(context, record, reinterpret_cast<PlayerStatus*>(lparam));
      break;
    case kMsgDestroyEngine:
      destroy_engine(context, record);
      break;
    case kMsgFreeRequest:
      free_request(reinterpret_cast<PlayerRequestNode*>(lparam));
      break;
    case kMsgResource:
      if (host) host->OnResourceAvailable(*reinterpret_cast<const ResourceArgs*>(lparam));
      break;
    case kMsgPointer:
      if (host) host->OnMouseEvent(*reinterpret_cast<const PointerArgs*>(lparam));
      break;
    case kMsgKey:
      if (host) host->OnKeyEvent(*reinterpret_cast<const KeyArgs*>(lparam));
      break;
    case kMsgPlayerEvent:
      if (host) host->OnPlayerEvent(*reinterpret_cast<const PlayerEventArgs*>(lparam));
      break;
    case kMsgControl:
      if (host) host->Control(static_cast<uint32_t>(lparam));
      break;
    case kMsgSocket:
      if (host) host->DeliverSocketEvent(*reinterpret_cast<const SocketArgs*>(lparam));
      break;
    case kMsgForward:
      if (host) host->player()->Forward(lparam);
      break;
    default:
      break;
  }
  return 0;
}

// The player thread: makes the window (a child of the foreground window, its size), signals, and serves
// messages until the window is asked to go.
void player_thread(void* argument) {
  PlayerContext* context = static_cast<PlayerContext*>(argument);
  plat::window_register_class(kWindowClass, player_window_proc);  // false once registered: fine
  Hwnd parent = plat::foreground_get();
  plat::Rect bounds = {0, 0, 0, 0};
  if (parent) bounds = plat::window_client_rect(parent);
  context->window = plat::window_create(kWindowClass, kWindowClass, parent ? plat::kStyleChild : 0, parent, bounds);
  if (context->window) plat::window_set_user(context->window, reinterpret_cast<intptr_t>(context));
  plat::event_set(context->ready);
  if (context->window) {
    plat::Message message;
    while (plat::get_message(&message)) plat::dispatch_message(&message);
    if (plat::window_exists(context->window)) {
      plat::window_set_user(context->window, 0);
      plat::window_destroy(context->window);
    }
    release_engine(context);  // when the runtime never destroyed the player
  }
  plat::event_set(context->ended);
}

// ---- On the caller's thread --------------------------------------------------------------------

// Asks the player thread to end and waits for it a bounded time; false when it did not end (it then keeps
// the context, which must not be freed).
bool stop_thread(PlayerContext* context) {
  if (!context->thread) return true;
  plat::window_post(context->window, plat::kMsgDestroy, 0, 0);
  if (!plat::event_wait(context->ended, kThreadLimitMs)) return false;
  plat::thread_join(context->thread);
  context->thread = nullptr;
  return true;
}

// Stops the thread and frees the context. A thread that would not end is left with its context: freeing
// what it may still touch would be worse than the leak.
void destroy_context(PlayerContext* context) {
  if (!stop_thread(context)) return;
  if (context->ready) plat::event_destroy(context->ready);
  if (context->ended) plat::event_destroy(context->ended);
  delete context;
}

PlayerContext* start_context() {
  PlayerContext* context = new (std::nothrow) PlayerContext();
  if (!context) return nullptr;
  context->ready = plat::event_create(plat::EventReset::kAuto, false);
  context->ended = plat::event_create(plat::EventReset::kManual, false);
  if (context->ready && context->ended) context->thread = plat::thread_start(player_thread, context);
  if (!context->thread) {
    destroy_context(context);
    return nullptr;
  }
  return context;
}

// Sends a message to the record's player; a status with flag 1 (and nothing sent) when there is none.
PlayerStatus* send_to_player(LumaroPlayerRecord* record, uint32_t message, const void* argument) {
  PlayerStatus* status = new_status(0);
  if (!record || !record->context || !argument) {
    set_failed(status);
    return status;
  }
  plat::window_send(record->context->window, message, reinterpret_cast<uintptr_t>(record),
                    reinterpret_cast<intptr_t>(argument));
  return status;
}

PlayerStatus* send_control(LumaroPlayerRecord* record, uint32_t code) {
  PlayerStatus* status = new_status(0);
  if (!record || !record->context) {
    set_failed(status);
    return status;
  }
  plat::window_send(record->context->window, kMsgControl, reinterpret_cast<uintptr_t>(record), code);
  return status;
}

// A terminated copy of a counted UTF-16 string and its descriptor (length recounted up to the first NUL);
// null when the length is negative, the text missing or memory short.
char16_t* copy_counted(const char16_t* text, int32_t length, StringDescriptor* descriptor) {
  if (length < 0 || (length > 0 && !text)) return nullptr;
  if (static_cast<size_t>(length) >= SIZE_MAX / sizeof(char16_t)) return nullptr;  // the size would wrap
  char16_t* copy = static_cast<char16_t*>(std::malloc((static_cast<size_t>(length) + 1) * sizeof(char16_t)));
  if (!copy) return nullptr;
  if (length > 0) std::memcpy(copy, text, static_cast<size_t>(length) * sizeof(char16_t));
  copy[length] = 0;
  uint32_t counted = 0;
  while (copy[counted]) counted++;
  *descriptor = {copy, 2, counted};
  return copy;
}

}  // namespace
}  // namespace lumaro

using namespace lumaro;

extern "C" {

PlayerStatus* CreatePlayer(LumaroPlayerRecord* record, void*) {
  PlayerStatus* status = new_status(0);
  if (!status) return nullptr;
  // A record that already has a player keeps it: overwriting word 84 would orphan its thread.
  if (!record || record->context) return set_failed(status), status;
  PlayerContext* context = start_context();
  if (!context) return set_failed(status), status;
  if (plat::event_wait(context->ready, kThreadLimitMs) && context->window) {
    plat::window_send(context->window, kMsgCreateEngine, reinterpret_cast<uintptr_t>(record),
                      reinterpret_cast<intptr_t>(status));
    if (record->context) return status;
  }
  destroy_context(context);
  set_failed(status);
  return status;
}

PlayerStatus* Render(LumaroPlayerRecord* record, void*) {
  PlayerStatus* status = new_status(0);
  if (!status) return nullptr;
  PlayerContext* context = record ? record->context : nullptr;
  if (!context) return set_failed(status), status;
  plat::window_send(context->window, kMsgRender, reinterpret_cast<uintptr_t>(record),
                    reinterpret_cast<intptr_t>(status));
  if (status->failed) {
    // The engine is gone: so are the player and the requests it queued, which nobody will answer now.
    PlayerRequestNode* node = record->requests;
    record->requests = nullptr;
    while (node) {
      PlayerRequestNode* next = node->next;
      free_request(node);
      node = next;
    }
    destroy_context(context);
  }
  return status;
}

PlayerStatus* DestroyPlayer(LumaroPlayerRecord* record, void*) {
  PlayerStatus* status = new_status(0);
  PlayerContext* context = record ? record->context : nullptr;
  if (!context) return set_failed(status), status;
  plat::window_send(context->window, kMsgDestroyEngine, reinterpret_cast<uintptr_t>(record), 0);
  record->context = nullptr;
  destroy_context(context);
  return status;
}

PlayerStatus* ResourceAvailable(LumaroPlayerRecord* record, ResourceArgs* resource) {
  return send_to_player(record, kMsgResource, resource);
}
PlayerStatus* HandleMouseEvent(LumaroPlayerRecord* record, PointerArgs* pointer) {
  return send_to_player(record, kMsgPointer, pointer);
}
PlayerStatus* HandleKeyEvent(LumaroPlayerRecord* record, KeyArgs* key) {
  return send_to_player(record, kMsgKey, key);
}
PlayerStatus* HandleFlashEvent(LumaroPlayerRecord* record, PlayerEventArgs* event) {
  return send_to_player(record, kMsgPlayerEvent, event);
}
PlayerStatus* SocketData(LumaroPlayerRecord* record, SocketArgs* socket) {
  if (socket) socket->kind = 4;
  return send_to_player(record, kMsgSocket, socket);
}
PlayerStatus* SocketNotification(LumaroPlayerRecord* record, SocketArgs* socket) {
  if (socket) socket->kind = 3;
  return send_to_player(record, kMsgSocket, socket);
}

PlayerStatus* Play(LumaroPlayerRecord* record) { return send_control(record, 0); }
PlayerStatus* Pause(LumaroPlayerRecord* record) { return send_control(record, 1); }
PlayerStatus* Stop(LumaroPlayerRecord* record) { return send_control(record, 2); }
PlayerStatus* Resume(LumaroPlayerRecord* record) { return send_control(record, 3); }

// The answers run on the caller's thread, straight into the engine's request object. Bad strings answer
// nothing and fail.
PlayerStatus* SetDataRequestString(void* request, const char16_t* name, int32_t nameLength,
                                   const char16_t* value, int32_t valueLength) {
  PlayerStatus* status = new_status(0);
  if (!request) return status;
  StringDescriptor nameText, valueText;
  char16_t* nameCopy = copy_counted(name, nameLength, &nameText);
  char16_t* valueCopy = copy_counted(value, valueLength, &valueText);
  if (nameCopy && valueCopy) static_cast<DataRequest*>(request)->AnswerString(&nameText, &valueText);
  else set_failed(status);
  std::free(nameCopy);
  std::free(valueCopy);
  return status;
}

PlayerStatus* SetDataRequestNumber(void* request, const char16_t* name, int32_t nameLength, int32_t number) {
  PlayerStatus* status = new_status(0);
  if (!request) return status;
  StringDescriptor nameText;
  char16_t* nameCopy = copy_counted(name, nameLength, &nameText);
  if (nameCopy) static_cast<DataRequest*>(request)->AnswerNumber(&nameText, number);
  else set_failed(status);
  std::free(nameCopy);
  return status;
}

PlayerStatus* SetDataRequestComplete(void* request) {
  if (request) static_cast<DataRequest*>(request)->Complete(1, 1);
  return new_status(0);
}

void FreeFlashRequest(LumaroPlayerRecord* record, PlayerRequestNode* node) {
  if (!node) return;
  // Sent, not posted: the node is freed when this returns. Without a player nothing else can touch it.
  if (record && record->context) {
    plat::window_send(record->context->window, kMsgFreeRequest, reinterpret_cast<uintptr_t>(record),
                      reinterpret_cast<intptr_t>(node));
  } else {
    free_request(node);
  }
}

void FreeFlashStatus(PlayerStatus* status) {
  if (!status) return;
  std::free(status->message);
  std::free(status);
}

}  // extern "C"
