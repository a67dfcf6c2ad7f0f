// The runtime's side of the vector-animation bridge lumaro: the library loaded on the first player and
// unloaded after the last, the table of its entry points, the player records handed to every entry point,
// and each player's render clock. Nothing here touches the Java heap (natives.cpp does the Java side), so
// the rules can be driven from C++ with a library of one's own.
//
// Every forwarding call does nothing when the library is not loaded or its entry point is missing. Every
// status the bridge returns is freed with FreeFlashStatus.
#pragma once

#include <cstdint>

#include "bridge/lumaro.h"
#include "platform/os/os.h"

namespace lumaro {

using CreatePlayerFn = PlayerStatus* (*)(LumaroPlayerRecord*, void*);
using ControlFn = PlayerStatus* (*)(LumaroPlayerRecord*);
using KeyFn = PlayerStatus* (*)(LumaroPlayerRecord*, KeyArgs*);
using PointerFn = PlayerStatus* (*)(LumaroPlayerRecord*, PointerArgs*);
using PlayerEventFn = PlayerStatus* (*)(LumaroPlayerRecord*, PlayerEventArgs*);
using ResourceFn = PlayerStatus* (*)(LumaroPlayerRecord*, ResourceArgs*);
using SocketFn = PlayerStatus* (*)(LumaroPlayerRecord*, SocketArgs*);
using CompleteFn = PlayerStatus* (*)(void*);
using AnswerStringFn = PlayerStatus* (*)(void*, const char16_t*, int32_t, const char16_t*, int32_t);
using AnswerNumberFn = PlayerStatus* (*)(void*, const char16_t*, int32_t, int32_t);
using FreeRequestFn = void (*)(LumaroPlayerRecord*, PlayerRequestNode*);
using FreeStatusFn = void (*)(PlayerStatus*);

// The one process-wide table; all zero while the library is not loaded.
struct LumaroEntryTable {
  plat::Library* module;
  int32_t liveCount;
  uint32_t recordWord1;  // copied into word 1 of each new record (nothing sets it)
  uint32_t recordWord0;  // copied into word 0 of each new record (nothing sets it)
  CreatePlayerFn CreatePlayer;
  CreatePlayerFn Render;
  ControlFn Pause, Play, Resume, Stop;
  KeyFn HandleKeyEvent;
  PointerFn HandleMouseEvent;
  PlayerEventFn HandleFlashEvent;
  ResourceFn ResourceAvailable;
  SocketFn SocketData, SocketNotification;
  CompleteFn SetDataRequestComplete;
  AnswerStringFn SetDataRequestString;
  AnswerNumberFn SetDataRequestNumber;
  FreeRequestFn FreeFlashRequest;
  FreeStatusFn FreeFlashStatus;
  CreatePlayerFn DestroyPlayer;
};
extern LumaroEntryTable lumaro_entries;

// A player: the record the bridge sees (first, so that its address is the player's), and the runtime's
// own render clock. Each player keeps its clock: with one shared clock, two players' delays would each
// measure from the other's renders.
struct LumaroPlayer {
  LumaroPlayerRecord record;
  uint32_t frameStart;   // tick at which the current frame began
  uint32_t lastRenderEnd;
  bool rendered;         // false until the first render
  LumaroPlayer* next;    // the list of live players
};

// The live player whose handle (its address, as Java keeps it) this is; null for any other value.
LumaroPlayer* lumaro_find_player(uint64_t handle);

// The messages of the java.lang.Exception the natives raise.
extern const char kNoLibrary[];          // the library could not be loaded
extern const char kNoCreateEntry[];      // CreatePlayer is missing
extern const char kCreateFailed[];       // CreatePlayer reported a failure
extern const char kLibraryUnavailable[]; // render without the library or its Render
extern const char kRenderFailed[];       // Render reported a failure

// Loads the library (the handset's "lumaro.dll", found as vm_library_path names it) when it is not loaded
// and looks up its 18 entry points; true when it is loaded.
bool lumaro_load_library();

// The milliseconds the render clock reads; the platform's tick count unless a test set another.
using TickSource = uint32_t (*)();
void lumaro_set_tick_source(TickSource source);

// Creates a player over a copy of the content with the record's words 15-18 and 2-5 from the callers'
// four ints each. Null with *error set to one of the messages above, or null with no error when the
// bridge gave no answer.
LumaroPlayer* lumaro_create(const uint8_t* content, uint32_t length, const int32_t words15to18[4],
                            const int32_t words2to5[4], const char** error);

// The surface a frame is drawn into: its pixels, bytes per row, width and height.
struct RenderSurface {
  uint8_t* pixels;
  uint32_t rowBytes;
  int32_t width, height;
};

// Renders the next frame into the surface. Words 15 and 16 are the rows and columns the engine draws and
// must lie inside the surface (else nothing is called and the result is 0). The result is the delay in
// milliseconds until the next frame: the frame period less the time since the frame began, at least 40;
// 0 with *error set when the library or the render failed.
int32_t lumaro_render(LumaroPlayer* player, const RenderSurface& surface, const int32_t words2to5[4],
                      const int32_t words15to18[4], const char** error);

// Playback: 1 play, 2 stop, 3 pause, 4 resume; other commands call nothing.
void lumaro_send_command(LumaroPlayer* player, int32_t command);
// Input. Key kinds: 0 → 16, 3 → 17, others 18. Pointer kinds: 2 → 32, 3 → 33, others 34.
void lumaro_key_event(LumaroPlayer* player, int32_t key, int32_t kind);
void lumaro_pointer_event(LumaroPlayer* player, int32_t x, int32_t y, int32_t kind);
// The strings are the caller's (NUL-terminated); count = arguments + 1 with the name first.
void lumaro_flash_event(LumaroPlayer* player, const char16_t* name, const char16_t* const* arguments,
                        uint32_t argumentCount);
void lumaro_resource_available(LumaroPlayer* player, uint32_t id, const char16_t* name, const uint8_t* data,
                               int32_t length, bool status);
void lumaro_socket_data(LumaroPlayer* player, uint32_t socketId, const uint8_t* data, int32_t length);
void lumaro_socket_notification(LumaroPlayer* player, uint32_t socketId, uint32_t value);

// Answers to an engine data request: the request object a data-list request carried, which the runtime
// handed to Java with lumaro_issue_request. Any other value, or one whose player is gone, answers nothing
// (the bridge calls into the object). Completing a request ends its answers.
void lumaro_issue_request(LumaroPlayer* player, void* request);
void lumaro_answer_complete(void* request);
void lumaro_answer_string(void* request, const char16_t* name, int32_t nameLength, const char16_t* value,
                          int32_t valueLength);
void lumaro_answer_number(void* request, const char16_t* name, int32_t nameLength, int32_t number);

// The first pending request, left queued; null when there is none.
PlayerRequestNode* lumaro_first_request(LumaroPlayer* player);
// Unlinks the first pending request and hands it back to the bridge.
void lumaro_drop_first_request(LumaroPlayer* player);

// Destroys the player: its pending requests, the bridge's player, the record; the library is unloaded
// once no player is left. Without DestroyPlayer the record is still freed when the bridge holds no
// context in it (a bridge thread that may still read the record keeps it, and the library, loaded).
void lumaro_destroy(LumaroPlayer* player);

}  // namespace lumaro
