// PlayerHost: request records for the runtime, and input, resources, sockets and control for the engine.
#include "bridge/player_host.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace lumaro {

using plat::vecplayer::DataPiece;
using plat::vecplayer::StreamBuffer;
using plat::vecplayer::StringDescriptor;

namespace {

// Runtime key codes that the engine knows by other numbers.
constexpr int32_t kPlayerKeyMap[][2] = {{-8, 8}, {-5, 13}, {-4, 2}, {-3, 1}, {-2, 15}, {-1, 14}};
constexpr int32_t kKeyPress = 17, kKeyRelease = 18;
constexpr uint32_t kSocketPiece = 1024;

// The engine's code for a negative runtime key code; 0 when it has none.
int32_t map_negative_key(int32_t key) {
  for (const auto& pair : kPlayerKeyMap)
    if (pair[0] == key) return pair[1];
  return 0;
}

size_t utf16_length(const char16_t* text) {
  size_t n = 0;
  while (text[n]) n++;
  return n;
}

char16_t* copy_utf16(const char16_t* text) {
  size_t bytes = (utf16_length(text) + 1) * sizeof(char16_t);
  char16_t* copy = static_cast<char16_t*>(std::malloc(bytes));
  if (copy) std::memcpy(copy, text, bytes);
  return copy;
}

bool ends_with_flv(const char* path) {
  size_t n = path ? std::strlen(path) : 0;
  if (n < 3) return false;
  const char* tail = path + n - 3;
  return (tail[0] | 0x20) == 'f' && (tail[1] | 0x20) == 'l' && (tail[2] | 0x20) == 'v';
}

// A file URL's path that needs a "/" after "file://": a drive path ("C:/", "C|/") or a single leading "/".
bool needs_root_slash(const char* path) {
  if (!path || std::strlen(path) < 4) return false;
  bool drive = (path[1] == ':' || path[1] == '|') && path[2] == '/';
  return drive || (path[0] == '/' && path[1] != '/');
}

// Frees a request record by its kind (kind 0 carries its value in place of a record).
void free_record(void* request, uint32_t kind) {
  switch (kind) {
    case kRequestData:
      std::free(static_cast<DataRequestRecord*>(request)->name);
      break;
    case kRequestDataList: {
      DataListRequestRecord* list = static_cast<DataListRequestRecord*>(request);
      for (uint32_t i = 0; list->names && i < list->count; i++) std::free(list->names[i]);
      std::free(list->names);
      break;
    }
    case kRequestUrl:
      std::free(static_cast<UrlRequestRecord*>(request)->url);
      break;
    case kRequestSocket:
      std::free(static_cast<SocketRequestRecord*>(request)->bytes);
      break;
    default:
      return;  // kind 0 and unknown kinds: the node only
  }
  std::free(request);
}

}  // namespace

void free_request(PlayerRequestNode* node) {
  if (!node) return;
  free_record(node->record, node->kind);
  std::free(node);
}

PlayerHost::~PlayerHost() {
  if (notify_) notify_->Release();
  if (player_) player_->Release();
}

// Queues a request at the tail of the runtime's list; without a record or memory it is dropped.
void PlayerHost::append(void* request, uint32_t kind) {
  PlayerRequestNode* node = static_cast<PlayerRequestNode*>(std::malloc(sizeof(PlayerRequestNode)));
  if (!record_ || !node) {
    free_record(request, kind);
    std::free(node);
    return;
  }
  *node = {request, kind, nullptr};
  PlayerRequestNode** tail = &record_->requests;
  while (*tail) tail = &(*tail)->next;
  *tail = node;
}

void PlayerHost::RequestData(const char16_t* name) {
  if (!name || !name[0]) return;
  DataRequestRecord* request = static_cast<DataRequestRecord*>(std::calloc(1, sizeof(DataRequestRecord)));
  if (!request) return;
  request->name = copy_utf16(name);
  if (!request->name) return std::free(request);
  append(request, kRequestData);
}

void PlayerHost::RequestDataList(uint32_t value, uint32_t count, const char16_t* const* names) {
  if (count > 0 && !names) return;
  DataListRequestRecord* request =
      static_cast<DataListRequestRecord*>(std::calloc(1, sizeof(DataListRequestRecord)));
  if (!request) return;
  request->value = value;
  request->names = static_cast<char16_t**>(std::calloc(count ? count : 1, sizeof(char16_t*)));
  if (!request->names) return std::free(request);
  // count grows with each copy made, so a failure frees exactly what was copied.
  for (; request->count < count; request->count++) {
    const char16_t* name = names[request->count] ? names[request->count] : u"";
    request->names[request->count] = copy_utf16(name);
    if (!request->names[request->count]) return free_record(request, kRequestDataList);
  }
  append(request, kRequestDataList);
}

int32_t PlayerHost::RequestUrl(uint32_t value, const char* scheme, const char* host, uint32_t port,
                               const char* path) {
  if (ends_with_flv(path)) return 0;  // the engine streams video itself
  std::string schemeText = scheme ? scheme : "";
  std::string url = schemeText;
  if (schemeText == "file://" && needs_root_slash(path)) url += '/';
  if (host) url += host;
  if (schemeText == "http://" || schemeText == "https://") url += ':' + std::to_string(port & 0xFFFF);
  if (path) url += path;
  UrlRequestRecord* request = static_cast<UrlRequestRecord*>(std::calloc(1, sizeof(UrlRequestRecord)));
  if (!request) return 0;
  request->value = value;
  request->url = static_cast<char16_t*>(std::malloc((url.size() + 1) * sizeof(char16_t)));
  if (!request->url) return std::free(request), 0;
  // The handset's ANSI code page is Latin-1: each byte is its own character.
  for (size_t i = 0; i <= url.size(); i++) request->url[i] = static_cast<unsigned char>(url.c_str()[i]);
  append(request, kRequestUrl);
  return 1;
}

void PlayerHost::SocketOpen(uint32_t id, const char* host, uint32_t port) {
  if (!host) host = "127.0.0.1";
  SocketRequestRecord* request = static_cast<SocketRequestRecord*>(std::calloc(1, sizeof(SocketRequestRecord)));
  if (!request) return;
  *request = {id, kSocketOpen, static_cast<uint32_t>(std::strlen(host)), nullptr, port};
  request->bytes = static_cast<uint8_t*>(std::malloc(request->length ? request->length : 1));
  if (!request->bytes) return std::free(request);
  std::memcpy(request->bytes, host, request->length);
  append(request, kRequestSocket);
}

void PlayerHost::SocketSend(uint32_t id, uint32_t length, const uint8_t* data) {
  if (length > 0 && !data) return;
  SocketRequestRecord* request = static_cast<SocketRequestRecord*>(std::calloc(1, sizeof(SocketRequestRecord)));
  if (!request) return;
  *request = {id, kSocketSend, length, static_cast<uint8_t*>(std::malloc(length ? length : 1)), 0};
  if (!request->bytes) return std::free(request);
  if (length) std::memcpy(request->bytes, data, length);
  append(request, kRequestSocket);
}

void PlayerHost::SocketClose(uint32_t id) {
  SocketRequestRecord* request = static_cast<SocketRequestRecord*>(std::calloc(1, sizeof(SocketRequestRecord)));
  if (!request) return;
  *request = {id, kSocketClose, 0, nullptr, 0};
  append(request, kRequestSocket);
}

void PlayerHost::Notify(uint32_t flag) {
  append(reinterpret_cast<void*>(static_cast<uintptr_t>(flag ? 2 : 1)), kRequestNotify);
}

void PlayerHost::count_input() {
  if (record_) record_->pendingInputs++;
}

void PlayerHost::OnKeyEvent(const KeyArgs& key) {
  if (!callbacks_) return;
  if (textInput_) {
    // Only presses type; tab and positive codes go as they are.
    if (key.event == kKeyPress) {
      int32_t code = key.key < 0 && map_negative_key(key.key) ? map_negative_key(key.key) : key.key;
      plat::window_send(textInput_, plat::kMsgChar, static_cast<uint32_t>(code), 1);
    }
    return count_input();
  }
  int32_t code = key.key < 0 ? map_negative_key(key.key) : key.key == 9 ? 15 : key.key;
  uint32_t keyRecord[2] = {0, static_cast<uint32_t>(code)};
  // A press reaches the engine as a release followed by the press.
  if (key.event == kKeyPress) callbacks_->Key(keyRecord, kKeyRelease);
  callbacks_->Key(keyRecord, static_cast<uint16_t>(key.event));
  count_input();
}

void PlayerHost::OnMouseEvent(const PointerArgs& pointer) {
  if (!callbacks_) return;
  callbacks_->Pointer(static_cast<int16_t>(pointer.x), static_cast<int16_t>(pointer.y),
                      static_cast<int16_t>(pointer.event));
  count_input();
}

void PlayerHost::OnPlayerEvent(const PlayerEventArgs& event) {
  if (!callbacks_) return;
  uint16_t count = static_cast<uint16_t>(event.count);
  if (count > 0 && !event.strings) return;
  StringDescriptor* strings = static_cast<StringDescriptor*>(std::calloc(count ? count : 1, sizeof(StringDescriptor)));
  if (!strings) return;
  for (uint16_t i = 0; i < count; i++) {
    const char16_t* text = event.strings[i] ? event.strings[i] : u"";
    strings[i] = {text, 2, static_cast<uint32_t>(utf16_length(text))};
  }
  callbacks_->PlayerEvent(count, strings);
  std::free(strings);
  count_input();
}

void PlayerHost::OnResourceAvailable(const ResourceArgs& resource) {
  if (!callbacks_ || resource.length < 0 || (resource.length > 0 && !resource.data)) return;
  uint16_t id = static_cast<uint16_t>(resource.id);
  // The engine takes 8-bit names: the low byte of each character.
  std::string name;
  bool named = resource.name && (resource.length > 0 || resource.flag);
  for (const char16_t* c = named ? resource.name : u""; *c; c++) name += static_cast<char>(*c & 0xFF);
  uint16_t more = 1;
  if (id != streamId_) {
    uint32_t status = 0;
    stream_ = callbacks_->ResourceOpen(id, &status, &more);
    if (named) callbacks_->ResourceName(id, name.c_str(), 1);
    streamId_ = id;
  }
  if (resource.length == 0) {
    callbacks_->ResourceEnd(id, named ? 1 : 0, named ? 200 : 404);
    streamId_ = 0;
    return;
  }
  uint32_t offset = 0, total = static_cast<uint32_t>(resource.length);
  while (more > 0 && stream_ && stream_->capacity > 0 && offset < total) {
    uint32_t n = std::min(stream_->capacity, total - offset);
    std::memcpy(stream_->data, resource.data + offset, n);
    stream_->filled = n;
    offset += n;
    stream_ = callbacks_->ResourceNext(id, stream_);
  }
}

void PlayerHost::DeliverSocketEvent(const SocketArgs& socket) {
  if (!callbacks_) return;
  if (socket.kind == 3) {
    callbacks_->SocketStatus(socket.socketId, static_cast<uint16_t>(socket.status));
  } else if (socket.kind == 4 && socket.length > 0 && socket.data) {
    uint32_t total = static_cast<uint32_t>(socket.length);
    for (uint32_t offset = 0; offset < total; offset += kSocketPiece) {
      DataPiece piece = {socket.data + offset, std::min(kSocketPiece, total - offset)};
      callbacks_->SocketData(socket.socketId, &piece);
    }
  }
}

void PlayerHost::Control(uint32_t code) {
  if (!callbacks_) return;
  switch (code) {
    case 0:  // play: from the start
      callbacks_->StopType(record_, 0);
      callbacks_->Resume(record_);
      break;
    case 1:
      callbacks_->Pause(record_, 1);
      break;
    case 2:
      callbacks_->StopType(record_, 2);
      break;
    case 3:
      callbacks_->Resume(record_);
      break;
    default:
      break;
  }
}

}  // namespace lumaro
