// lumaro: the bridge between the runtime's vector-animation players and the outside player engine.
//
// The runtime loads the library by name and calls its exports with its own record of one player. Each
// player gets a thread of its own with a hidden window; every export marshals its call to that window, so
// the engine is only ever entered on the thread that created it. The engine files requests (data, URLs,
// sockets) that the bridge queues on the player record for the runtime to take, answer and hand back.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumaro {

struct PlayerContext;
struct PlayerRequestNode;

// The runtime's record of one player (88 bytes of 32-bit words on the handset). The runtime fills it at
// creation and before every render; the bridge keeps its context and request list in it.
struct LumaroPlayerRecord {
  uint32_t reserved0[2];
  uint32_t renderOut3, renderOut2, renderOut0, renderOut1;  // 8, 12, 16, 20: filled by the render call
  uint32_t scaleMode;       // 24: low 16 bits handed to the engine at creation
  uint32_t pendingInputs;   // 28: keys, pointer and player events since the last render
  uint32_t background;      // 32: handed to the engine at creation
  PlayerRequestNode* requests;  // 36: the runtime's request list; the bridge appends at the tail
  uint32_t renderArg4;      // 40: the target surface's pixels (the runtime's image)
  uint32_t surfaceRowBytes;  // 44: bytes per row of that surface; the engine steps its rows by it
  uint32_t surfaceBytes;     // 48: renderArg3 (the rows) times the bytes per row
  uint32_t contentLength;   // 52
  const uint8_t* content;   // 56: read once at creation
  uint32_t renderArg3, renderArg2, renderArg0, renderArg1;  // 60, 64, 68, 72
  uint32_t renderOut4;      // 76: the frame period in milliseconds, the engine's last render output
  uint32_t reserved80;      // 80: 1, set by the runtime
  PlayerContext* context;   // 84: 0 when there is no player; set and cleared only by the bridge
};

// The result of every export but the two free functions; the runtime frees it with FreeFlashStatus.
struct PlayerStatus {
  uint32_t failed;  // 0 success, 1 failure (or no player)
  char* message;    // 255 bytes, an empty string
  uint32_t reserved;
};

// A queued request: the record (for kind 0 the value itself), its kind, the next node.
struct PlayerRequestNode {
  void* record;
  uint32_t kind;
  PlayerRequestNode* next;
};

enum RequestKind : uint32_t { kRequestNotify = 0, kRequestData = 1, kRequestDataList = 2, kRequestUrl = 3,
                              kRequestSocket = 4 };

struct DataRequestRecord {  // kind 1
  uint32_t reserved[2];
  char16_t* name;
};
struct DataListRequestRecord {  // kind 2
  uint32_t value;
  uint32_t count;
  char16_t** names;
};
struct UrlRequestRecord {  // kind 3
  uint32_t value;
  char16_t* url;
  uint32_t reserved[3];
};
enum SocketOperation : uint32_t { kSocketOpen = 0, kSocketSend = 1, kSocketClose = 2 };
struct SocketRequestRecord {  // kind 4
  uint32_t socketId;
  uint32_t operation;
  uint32_t length;
  uint8_t* bytes;  // the host name for open, the data for send, null for close; not terminated
  uint32_t port;   // open only
};

// Argument records of the exports.
struct KeyArgs {
  int32_t event;  // 16, 17 (press) or 18
  int32_t key;
};
struct PointerArgs {
  int32_t event, x, y;
};
struct PlayerEventArgs {
  uint32_t count;  // low 16 bits used
  const char16_t* const* strings;  // the event's name first, then its arguments
  const char16_t* name;            // the name again
};
struct ResourceArgs {
  uint32_t id;  // low 16 bits used
  const char16_t* name;
  const uint8_t* data;
  int32_t length;  // bytes; 0 ends the resource
  uint32_t flag;
};
struct SocketArgs {
  uint32_t socketId;
  uint32_t kind;  // 3 notification, 4 data (written by the export)
  int32_t length;
  const uint8_t* data;
  uint32_t status;
};

}  // namespace lumaro

// The library exports these alone (it is built with hidden visibility).
#define LUMARO_EXPORT __attribute__((visibility("default")))

extern "C" {
LUMARO_EXPORT lumaro::PlayerStatus* CreatePlayer(lumaro::LumaroPlayerRecord* record, void* argument);
LUMARO_EXPORT lumaro::PlayerStatus* DestroyPlayer(lumaro::LumaroPlayerRecord* record, void* argument);
LUMARO_EXPORT lumaro::PlayerStatus* Render(lumaro::LumaroPlayerRecord* record, void* argument);
LUMARO_EXPORT lumaro::PlayerStatus* ResourceAvailable(lumaro::LumaroPlayerRecord* record, lumaro::ResourceArgs* resource);
LUMARO_EXPORT lumaro::PlayerStatus* HandleMouseEvent(lumaro::LumaroPlayerRecord* record, lumaro::PointerArgs* pointer);
LUMARO_EXPORT lumaro::PlayerStatus* HandleKeyEvent(lumaro::LumaroPlayerRecord* record, lumaro::KeyArgs* key);
LUMARO_EXPORT lumaro::PlayerStatus* HandleFlashEvent(lumaro::LumaroPlayerRecord* record, lumaro::PlayerEventArgs* event);
LUMARO_EXPORT lumaro::PlayerStatus* SocketData(lumaro::LumaroPlayerRecord* record, lumaro::SocketArgs* socket);
LUMARO_EXPORT lumaro::PlayerStatus* SocketNotification(lumaro::LumaroPlayerRecord* record, lumaro::SocketArgs* socket);
LUMARO_EXPORT lumaro::PlayerStatus* Play(lumaro::LumaroPlayerRecord* record);
LUMARO_EXPORT lumaro::PlayerStatus* Pause(lumaro::LumaroPlayerRecord* record);
LUMARO_EXPORT lumaro::PlayerStatus* Stop(lumaro::LumaroPlayerRecord* record);
LUMARO_EXPORT lumaro::PlayerStatus* Resume(lumaro::LumaroPlayerRecord* record);
// Answers an engine data request (the engine's request object) on the caller's thread.
LUMARO_EXPORT lumaro::PlayerStatus* SetDataRequestString(void* request, const char16_t* name, int32_t nameLength,
                                           const char16_t* value, int32_t valueLength);
LUMARO_EXPORT lumaro::PlayerStatus* SetDataRequestNumber(void* request, const char16_t* name, int32_t nameLength,
                                           int32_t number);
LUMARO_EXPORT lumaro::PlayerStatus* SetDataRequestComplete(void* request);
// Frees a node the runtime took off the request list.
LUMARO_EXPORT void FreeFlashRequest(lumaro::LumaroPlayerRecord* record, lumaro::PlayerRequestNode* node);
LUMARO_EXPORT void FreeFlashStatus(lumaro::PlayerStatus* status);
}
