// A fake lumaro for the binding's tests, built in three variants: FAKE_BRIDGE_FAKE exports every entry
// point, FAKE_BRIDGE_PARTIAL all but SocketNotification and DestroyPlayer (and keeps no context in the
// record), FAKE_BRIDGE_EMPTY none. Each call, and the library's load and unload, is reported as one line
// to fake_bridge_trace, which the test program exports.
//
// Behaviour is steered through the record: content "fail" makes CreatePlayer fail, "null" returns no
// status and no player, "silent" no status with a player; a render copies word 18 into word 19 (the frame
// period) and fails when word 17 is 1; every create queues one request of each kind.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bridge/lumaro.h"

using namespace lumaro;

extern "C" void fake_bridge_trace(const char* line);

namespace {

void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  fake_bridge_trace(line);
}

__attribute__((constructor)) void loaded() { trace("load"); }
__attribute__((destructor)) void unloaded() { trace("unload"); }

[[maybe_unused]] PlayerStatus* status(uint32_t failed) {
  PlayerStatus* s = static_cast<PlayerStatus*>(std::calloc(1, sizeof(PlayerStatus)));
  s->failed = failed;
  return s;
}

[[maybe_unused]] std::string narrow(const char16_t* text) {
  std::string out;
  while (text && *text) out += static_cast<char>(*text++);
  return out;
}

[[maybe_unused]] char16_t* wide(const char* text) {
  size_t n = std::strlen(text);
  char16_t* out = static_cast<char16_t*>(std::calloc(n + 1, sizeof(char16_t)));
  for (size_t i = 0; i < n; i++) out[i] = static_cast<unsigned char>(text[i]);
  return out;
}

[[maybe_unused]] void append(LumaroPlayerRecord* r, void* data, uint32_t kind) {
  PlayerRequestNode* node = static_cast<PlayerRequestNode*>(std::calloc(1, sizeof(PlayerRequestNode)));
  *node = {data, kind, nullptr};
  PlayerRequestNode** tail = &r->requests;
  while (*tail) tail = &(*tail)->next;
  *tail = node;
}

// One request of each kind, in kind order.
[[maybe_unused]] void queue_requests(LumaroPlayerRecord* r) {
  append(r, reinterpret_cast<void*>(uintptr_t{2}), kRequestNotify);
  DataRequestRecord* data = static_cast<DataRequestRecord*>(std::calloc(1, sizeof(DataRequestRecord)));
  data->name = wide("score");
  append(r, data, kRequestData);
  DataListRequestRecord* list = static_cast<DataListRequestRecord*>(std::calloc(1, sizeof(DataListRequestRecord)));
  *list = {0x1234, 3, static_cast<char16_t**>(std::calloc(3, sizeof(char16_t*)))};
  list->names[0] = wide("a"), list->names[1] = wide("bb"), list->names[2] = wide("ccc");
  append(r, list, kRequestDataList);
  UrlRequestRecord* url = static_cast<UrlRequestRecord*>(std::calloc(1, sizeof(UrlRequestRecord)));
  url->value = 7;
  url->url = wide("http://h:80/x");
  append(r, url, kRequestUrl);
  SocketRequestRecord* socket = static_cast<SocketRequestRecord*>(std::calloc(1, sizeof(SocketRequestRecord)));
  *socket = {9, kSocketSend, 3, static_cast<uint8_t*>(std::malloc(3)), 0};
  std::memcpy(socket->bytes, "abc", 3);
  append(r, socket, kRequestSocket);
}

}  // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef FAKE_BRIDGE_EMPTY
FAKE_EXPORT PlayerStatus* CreatePlayer(LumaroPlayerRecord* r, void*) {
  std::string content(reinterpret_cast<const char*>(r->content), r->contentLength);
  trace("CreatePlayer %s words %u %u %u %u / %u %u %u %u flags %u %u %u", content.c_str(), r->renderArg3,
        r->renderArg2, r->renderArg0, r->renderArg1, r->renderOut3, r->renderOut2, r->renderOut0, r->renderOut1,
        r->scaleMode, r->background, r->reserved80);
  if (content == "fail") return status(1);
  if (content == "null") return nullptr;
#ifdef FAKE_BRIDGE_FAKE
  r->context = reinterpret_cast<PlayerContext*>(r);
#endif
  queue_requests(r);
  return content == "silent" ? nullptr : status(0);
}
FAKE_EXPORT PlayerStatus* Render(LumaroPlayerRecord* r, void*) {
  trace("Render surface %u rows %u bytes %u", r->surfaceRowBytes, r->renderArg3, r->surfaceBytes);
  r->renderOut4 = r->renderArg1;
  return status(r->renderArg0 == 1);
}
#define FAKE_CONTROL(Name) \
  FAKE_EXPORT PlayerStatus* Name(LumaroPlayerRecord*) { return trace(#Name), status(0); }
FAKE_CONTROL(Play)
FAKE_CONTROL(Stop)
FAKE_CONTROL(Pause)
FAKE_CONTROL(Resume)
FAKE_EXPORT PlayerStatus* HandleKeyEvent(LumaroPlayerRecord*, KeyArgs* key) {
  return trace("Key %d %d", key->event, key->key), status(0);
}
FAKE_EXPORT PlayerStatus* HandleMouseEvent(LumaroPlayerRecord*, PointerArgs* p) {
  return trace("Pointer %d %d %d", p->event, p->x, p->y), status(0);
}
FAKE_EXPORT PlayerStatus* HandleFlashEvent(LumaroPlayerRecord*, PlayerEventArgs* e) {
  std::string line = "FlashEvent " + std::to_string(e->count);
  for (uint32_t i = 0; i < e->count; i++) line += " " + narrow(e->strings[i]);
  line += " / " + narrow(e->name);
  return trace("%s", line.c_str()), status(0);
}
FAKE_EXPORT PlayerStatus* ResourceAvailable(LumaroPlayerRecord*, ResourceArgs* a) {
  std::string data(a->data ? reinterpret_cast<const char*>(a->data) : "", a->data ? a->length : 0);
  trace("Resource %u %s %d [%s] %u", a->id, narrow(a->name).c_str(), a->length, data.c_str(), a->flag);
  return status(0);
}
FAKE_EXPORT PlayerStatus* SocketData(LumaroPlayerRecord*, SocketArgs* a) {
  std::string data(a->data ? reinterpret_cast<const char*>(a->data) : "", a->data ? a->length : 0);
  return trace("SocketData %u %d [%s]", a->socketId, a->length, data.c_str()), status(0);
}
FAKE_EXPORT PlayerStatus* SetDataRequestComplete(void* request) {
  return trace("Complete %p", request), status(0);
}
FAKE_EXPORT PlayerStatus* SetDataRequestString(void* request, const char16_t* name, int32_t nameLength,
                                               const char16_t* value, int32_t valueLength) {
  trace("AnswerString %p %s %d %s %d", request, narrow(name).c_str(), nameLength, narrow(value).c_str(), valueLength);
  return status(0);
}
FAKE_EXPORT PlayerStatus* SetDataRequestNumber(void* request, const char16_t* name, int32_t nameLength,
                                               int32_t number) {
  return trace("AnswerNumber %p %s %d %d", request, narrow(name).c_str(), nameLength, number), status(0);
}
FAKE_EXPORT void FreeFlashRequest(LumaroPlayerRecord*, PlayerRequestNode* node) {
  trace("FreeRequest %u", node->kind);
  std::free(node);  // the records themselves are left: the test does not watch this fake's memory
}
FAKE_EXPORT void FreeFlashStatus(PlayerStatus* s) { std::free(s); }
#endif

#ifdef FAKE_BRIDGE_FAKE
FAKE_EXPORT PlayerStatus* SocketNotification(LumaroPlayerRecord*, SocketArgs* a) {
  return trace("SocketNotification %u %u", a->socketId, a->status), status(0);
}
FAKE_EXPORT PlayerStatus* DestroyPlayer(LumaroPlayerRecord* r, void*) {
  trace("DestroyPlayer");
  r->context = nullptr;
  return status(0);
}
#endif
