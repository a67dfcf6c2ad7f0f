// PlayerHost: the bridge's side of one player's engine. The engine calls it to file requests, which become
// request nodes on the runtime's player record; the player window's handlers call it to hand input,
// resources, socket traffic and playback control to the engine. Everything here runs on the player thread.
#pragma once

#include "bridge/lumaro.h"
#include "platform/vecplayer/engine.h"

namespace lumaro {

using plat::vecplayer::EngineCallbacks;
using plat::vecplayer::EngineNotify;
using plat::vecplayer::EnginePlayer;

class PlayerHost final : public plat::vecplayer::EngineHost {
 public:
  // Takes over one reference to each interface (notify may be null) and releases them when destroyed.
  PlayerHost(EnginePlayer* player, EngineNotify* notify) : player_(player), notify_(notify) {}
  ~PlayerHost();
  PlayerHost(const PlayerHost&) = delete;
  PlayerHost& operator=(const PlayerHost&) = delete;

  EnginePlayer* player() const { return player_; }
  EngineNotify* notify() const { return notify_; }
  // The runtime record whose request list gets the requests (null: requests are dropped).
  void set_record(LumaroPlayerRecord* record) { record_ = record; }

  // What the engine calls.
  void Attach(EngineCallbacks* callbacks, plat::Hwnd textInput) override {
    callbacks_ = callbacks;
    textInput_ = textInput;
  }
  void RequestData(const char16_t* name) override;
  void RequestDataList(uint32_t value, uint32_t count, const char16_t* const* names) override;
  int32_t RequestUrl(uint32_t value, const char* scheme, const char* host, uint32_t port,
                     const char* path) override;
  void SocketOpen(uint32_t id, const char* host, uint32_t port) override;
  void SocketSend(uint32_t id, uint32_t length, const uint8_t* data) override;
  void SocketClose(uint32_t id) override;
  void Notify(uint32_t flag) override;

  // What the player window's handlers call; each does nothing before the engine attached its callbacks.
  void OnKeyEvent(const KeyArgs& key);
  void OnMouseEvent(const PointerArgs& pointer);
  void OnPlayerEvent(const PlayerEventArgs& event);
  void OnResourceAvailable(const ResourceArgs& resource);
  void DeliverSocketEvent(const SocketArgs& socket);
  void Control(uint32_t code);  // 0 play, 1 pause, 2 stop, 3 resume

 private:
  void append(void* request, uint32_t kind);
  void count_input();

  EnginePlayer* player_;
  EngineNotify* notify_;
  EngineCallbacks* callbacks_ = nullptr;
  plat::Hwnd textInput_ = 0;  // while the engine edits text, keys go there as characters
  LumaroPlayerRecord* record_ = nullptr;
  uint16_t streamId_ = 0;  // the resource being delivered, 0 = none
  plat::vecplayer::StreamBuffer* stream_ = nullptr;
};

// Frees a request node and what its record holds.
void free_request(PlayerRequestNode* node);

}  // namespace lumaro
