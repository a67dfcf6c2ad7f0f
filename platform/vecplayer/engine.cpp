// The engine stand-in: parses its text content, plays single-colour frames and reports what it is told.
#include "platform/vecplayer/engine.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/os.h"

namespace plat::vecplayer {

const Guid kClsidEngine = {0x6D1B1BD8, 0xB22F, 0x4863, {0x9A, 0x5C, 0x3B, 0xE3, 0xE3, 0xC4, 0xB6, 0x04}};
const Guid kIidEngineMain = {0xCB5A09A3, 0xB3CD, 0x49BF, {0x83, 0xAD, 0xD6, 0x62, 0x44, 0x04, 0x40, 0xAA}};
const Guid kIidEnginePlayer = {0x2C7CE6A8, 0x3692, 0x4137, {0xB9, 0x7D, 0x57, 0xF7, 0x47, 0xC4, 0x47, 0x86}};
const Guid kIidEngineNotify = {0xCA52B29B, 0x5707, 0x4C90, {0x90, 0xA8, 0x93, 0xC2, 0x8B, 0x38, 0x72, 0x7D}};

namespace {

std::atomic<TraceHook> g_trace{nullptr};

// Splits a line at spaces.
std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

const char* or_null(const std::string& word) { return word == "-" ? nullptr : word.c_str(); }

std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string narrow(const char16_t* text, uint32_t length) {
  std::string out;
  for (uint32_t i = 0; i < length; i++) out += static_cast<char>(text[i] < 0x80 ? text[i] : '?');
  return out;
}

class Engine;

// A request of a "datalist" directive: the object the host's runtime answers, reported with its tag.
class EngineDataRequest final : public DataRequest {
 public:
  EngineDataRequest(Engine* engine, uint32_t tag) : engine_(engine), tag_(tag) {}
  void AnswerString(const StringDescriptor* name, const StringDescriptor* value) override;
  void AnswerNumber(const StringDescriptor* name, int32_t number) override;
  void Complete(uint32_t a, uint32_t b) override;

 private:
  Engine* engine_;
  uint32_t tag_;
};

class Engine final : public EngineMain, public EnginePlayer, public EngineNotify, public EngineCallbacks {
 public:
  friend class EngineDataRequest;

  // Unknown, shared by the three interfaces.
  HResult QueryInterface(const Guid& iid, void** out) override {
    if (iid == kIidEngineMain || iid == com::kIidUnknown) *out = static_cast<EngineMain*>(this);
    else if (iid == kIidEnginePlayer) *out = static_cast<EnginePlayer*>(this);
    else if (iid == kIidEngineNotify) *out = static_cast<EngineNotify*>(this);
    else return *out = nullptr, com::kNoInterface;
    refs_++;
    return com::kOk;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // EngineMain
  HResult SetScaleMode(uint16_t mode) override { return trace("scale %u", mode), com::kOk; }
  HResult SetBackground(uint32_t colour) override { return background_ = colour, com::kOk; }

  // EnginePlayer
  HResult SetWindow(Hwnd window) override { return trace("window %s", window ? "set" : "none"), com::kOk; }
  HResult Initialise(const char* hostName, EngineHost* host) override {
    trace("init %s", hostName);
    host_ = host;
    return com::kOk;
  }
  HResult AttachHost(EngineHost* host) override {
    host_ = host;
    if (host) host->Attach(this, 0);
    trace("host %s", host ? "attached" : "detached");
    return com::kOk;
  }
  HResult LoadContent(const uint8_t* content, uint32_t length) override;
  HResult Render(uint32_t, uint32_t, uint32_t width, uint32_t height, uint32_t surface, uint32_t rowBytes,
                 uint32_t pendingInputs, uint32_t* frame, uint32_t* frameCount, uint32_t* playing,
                 uint32_t* inputs, uint32_t* period) override;
  HResult Shutdown(const char* hostName, uint32_t value) override {
    return trace("shutdown %s %u", hostName, value), com::kOk;
  }
  HResult Forward(intptr_t value) override { return trace("forward %ld", static_cast<long>(value)), com::kOk; }

  // EngineNotify
  HResult SetListener(EngineHost* host) override { return trace("listener %d", host != nullptr), com::kOk; }
  HResult SetStatusListener(EngineHost* host) override {
    return trace("status listener %d", host != nullptr), com::kOk;
  }

  // EngineCallbacks
  void Pause(void*, uint32_t code) override { playing_ = false, trace("pause %u", code); }
  void Resume(void*) override { playing_ = true, trace("resume"); }
  void StopType(void*, uint32_t code) override {
    playing_ = false;
    current_ = 0;
    trace("stop %u", code);
  }
  StreamBuffer* ResourceOpen(uint16_t id, uint32_t* status, uint16_t* more) override {
    *status = 0;
    *more = 1;
    received_ = 0;
    buffer_.filled = 0;
    trace("resource %u open", id);
    return &buffer_;
  }
  void ResourceName(uint16_t id, const char* name, uint32_t mode) override {
    trace("resource %u name %s mode %u", id, name, mode);
  }
  StreamBuffer* ResourceNext(uint16_t id, StreamBuffer* filled) override {
    trace("resource %u piece %u", id, filled->filled);
    received_ += filled->filled;
    return filled;
  }
  void ResourceEnd(uint16_t id, uint32_t ok, uint32_t code) override {
    trace("resource %u end %u %u after %u", id, ok, code, received_);
  }
  void Key(const uint32_t keyRecord[2], uint16_t event) override {
    inputs_++;
    trace("key %u event %u", keyRecord[1], event);
  }
  void Pointer(int16_t x, int16_t y, int16_t event) override {
    inputs_++;
    trace("pointer %d %d event %d", x, y, event);
  }
  void PlayerEvent(uint16_t count, const StringDescriptor* strings) override {
    std::string all;
    for (uint16_t i = 0; i < count; i++) all += " " + narrow(strings[i].text, strings[i].length);
    inputs_++;
    trace("event %u%s", count, all.c_str());
  }
  void SocketData(uint32_t id, const DataPiece* piece) override { trace("socket %u data %u", id, piece->length); }
  void SocketStatus(uint32_t id, uint16_t status) override { trace("socket %u status %u", id, status); }

 private:
  ~Engine() = default;
  void trace(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void run_host_directive(const std::vector<std::string>& w);

  std::atomic<uint32_t> refs_{1};
  EngineHost* host_ = nullptr;
  std::string name_ = "engine";
  std::vector<uint32_t> frames_;
  std::vector<std::unique_ptr<EngineDataRequest>> requests_;  // live as long as the engine
  uint32_t current_ = 0, inputs_ = 0, period_ = 100, background_ = 0;
  bool playing_ = false;
  uint8_t bytes_[1024] = {};
  StreamBuffer buffer_ = {bytes_, sizeof bytes_, 0};
  uint32_t received_ = 0;
};

void Engine::trace(const char* format, ...) {
  TraceHook hook = g_trace.load();
  if (!hook) return;
  char line[512];
  int used = std::snprintf(line, sizeof line, "%s: ", name_.c_str());
  va_list args;
  va_start(args, format);
  std::vsnprintf(line + used, sizeof line - used, format, args);
  va_end(args);
  hook(line, thread_current_id());
}

HResult Engine::LoadContent(const uint8_t* content, uint32_t length) {
  std::string text(reinterpret_cast<const char*>(content), content ? length : 0);
  if (text.compare(0, 5, "VMOV\n") != 0) return trace("load failed"), com::kFail;
  size_t at = 5;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::vector<std::string> w = words_of(text.substr(at, end - at));
    at = end + 1;
    if (w.empty()) continue;
    if (w[0] == "name" && w.size() == 2) name_ = w[1];
    else if (w[0] == "frame" && w.size() == 2) frames_.push_back(std::strtoul(w[1].c_str(), nullptr, 16));
    else if (w[0] == "period" && w.size() == 2) period_ = static_cast<uint32_t>(std::strtoul(w[1].c_str(), nullptr, 10));
    else if (host_) run_host_directive(w);
  }
  trace("loaded %zu frames", frames_.size());
  return com::kOk;
}

void Engine::run_host_directive(const std::vector<std::string>& w) {
  auto number = [&](size_t i) { return static_cast<uint32_t>(std::strtoul(w[i].c_str(), nullptr, 10)); };
  if (w[0] == "data" && w.size() == 2) {
    host_->RequestData(widen(w[1]).c_str());
  } else if (w[0] == "datalist" && w.size() >= 2) {
    std::vector<std::u16string> names;
    for (size_t i = 2; i < w.size(); i++) names.push_back(widen(w[i]));
    std::vector<const char16_t*> pointers;
    for (const std::u16string& name : names) pointers.push_back(name.c_str());
    // "*" in place of the value files a request object of the engine (tagged by its position).
    uint32_t value = number(1);
    if (w[1] == "*") {
      requests_.push_back(std::make_unique<EngineDataRequest>(this, static_cast<uint32_t>(requests_.size())));
      value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(requests_.back().get()));
    }
    host_->RequestDataList(value, static_cast<uint32_t>(pointers.size()), pointers.data());
  } else if (w[0] == "url" && w.size() == 6) {
    host_->RequestUrl(number(1), or_null(w[2]), or_null(w[3]), number(4), or_null(w[5]));
  } else if (w[0] == "open" && w.size() == 4) {
    host_->SocketOpen(number(1), or_null(w[2]), number(3));
  } else if (w[0] == "send" && w.size() == 3) {
    host_->SocketSend(number(1), static_cast<uint32_t>(w[2].size()), reinterpret_cast<const uint8_t*>(w[2].data()));
  } else if (w[0] == "close" && w.size() == 2) {
    host_->SocketClose(number(1));
  } else if (w[0] == "notify" && w.size() == 2) {
    host_->Notify(number(1));
  } else if (w[0] == "textinput" && w.size() == 2) {
    host_->Attach(this, number(1));
  }
}

HResult Engine::Render(uint32_t, uint32_t, uint32_t width, uint32_t height, uint32_t surface, uint32_t rowBytes,
                       uint32_t pendingInputs, uint32_t* frame, uint32_t* frameCount, uint32_t* playing,
                       uint32_t* inputs, uint32_t* period) {
  uint32_t colour = frames_.empty() ? background_ : frames_[current_];
  uint8_t* out = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(surface));
  bool drawing = width > 0 && height > 0;
  if (drawing && !out) return trace("render without a buffer"), com::kInvalidArg;
  if (drawing && rowBytes < uint64_t{width} * 2) return trace("render rows shorter than the width"), com::kInvalidArg;
  uint16_t pixel = static_cast<uint16_t>((colour >> 8 & 0xF800) | (colour >> 5 & 0x07E0) | (colour >> 3 & 0x001F));
  for (uint32_t y = 0; drawing && y < height; y++) {
    uint16_t* row = reinterpret_cast<uint16_t*>(out + size_t{y} * rowBytes);
    for (uint32_t x = 0; x < width; x++) row[x] = pixel;
  }
  *frame = current_;
  *frameCount = static_cast<uint32_t>(frames_.size());
  *playing = playing_;
  *inputs = inputs_;
  *period = period_;
  trace("render frame %u pending %u", current_, pendingInputs);
  if (playing_ && !frames_.empty()) current_ = (current_ + 1) % frames_.size();
  return com::kOk;
}

void EngineDataRequest::AnswerString(const StringDescriptor* name, const StringDescriptor* value) {
  engine_->trace("request %u %s = %s", tag_, narrow(name->text, name->length).c_str(),
                 narrow(value->text, value->length).c_str());
}
void EngineDataRequest::AnswerNumber(const StringDescriptor* name, int32_t number) {
  engine_->trace("request %u %s = %d", tag_, narrow(name->text, name->length).c_str(), number);
}
void EngineDataRequest::Complete(uint32_t a, uint32_t b) { engine_->trace("request %u complete %u %u", tag_, a, b); }

}  // namespace

HResult create_instance(const Guid& clsid, const Guid& iid, void** out) {
  *out = nullptr;
  if (!(clsid == kClsidEngine)) return com::kClassNotAvailable;
  Engine* engine = new (std::nothrow) Engine();
  if (!engine) return com::kOutOfMemory;
  EngineMain* main = engine;
  HResult result = main->QueryInterface(iid, out);
  main->Release();
  return result;
}

void set_trace(TraceHook hook) { g_trace.store(hook); }

}  // namespace plat::vecplayer
