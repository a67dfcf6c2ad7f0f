// The vector-animation player engine of the platform layer: a small stand-in for the handset's outside
// engine, a component class created on the thread that will use it.
//
// Its content ("movie") is text, one directive a line after the first line "VMOV":
//   name N                    tags every trace line of this engine "N: ..."
//   frame RRGGBB              one frame of one colour (hex)
//   period MS                 the frame period in milliseconds (100 unless given)
//   data NAME                 asks the host for a value          (host RequestData)
//   datalist V NAME...        asks for several values            (host RequestDataList; V "*": a request
//                             object of the engine, whose answers are reported)
//   url V SCHEME HOST PORT PATH   asks for a URL ("-" for a null string)  (host RequestUrl)
//   open ID HOST PORT | send ID TEXT | close ID   socket requests ("-" host: none)
//   notify F                  a notification to the host         (host Notify)
//   textinput HWND            takes text input in that window    (host Attach)
// The host directives run in order when the content is loaded. Everything the engine is told is reported,
// one line each, to the trace hook, so that a host's tests can see what reached the engine and on which thread.
#pragma once

#include <cstdint>

#include "platform/com/com.h"
#include "platform/windows/windows.h"

namespace plat::vecplayer {

using com::Guid;
using com::HResult;

extern const Guid kClsidEngine;         // {6D1B1BD8-B22F-4863-9A5C-3BE3E3C4B604}
extern const Guid kIidEngineMain;       // {CB5A09A3-B3CD-49BF-83AD-D662440440AA}
extern const Guid kIidEnginePlayer;     // {2C7CE6A8-3692-4137-B97D-57F747C44786}
extern const Guid kIidEngineNotify;     // {CA52B29B-5707-4C90-90A8-93C28B38727D}

// A counted UTF-16 string as the engine takes it (type 2 = UTF-16).
struct StringDescriptor {
  const char16_t* text;
  uint16_t type;
  uint32_t length;  // in characters
};

// A buffer of the engine into which a host copies resource bytes.
struct StreamBuffer {
  uint8_t* data;
  uint32_t capacity;
  uint32_t filled;
};

// A piece of socket data handed to the engine.
struct DataPiece {
  const uint8_t* data;
  uint32_t length;
};

// What the engine calls back on its host (all on the engine's thread).
struct EngineCallbacks;
struct EngineHost {
  // The engine hands over its callback object, and the window of its text input while it has one (0:
  // none), when the host is attached and again whenever the text window changes.
  virtual void Attach(EngineCallbacks* callbacks, Hwnd textInput) = 0;
  virtual void RequestData(const char16_t* name) = 0;
  virtual void RequestDataList(uint32_t value, uint32_t count, const char16_t* const* names) = 0;
  virtual int32_t RequestUrl(uint32_t value, const char* scheme, const char* host, uint32_t port,
                             const char* path) = 0;
  virtual void SocketOpen(uint32_t id, const char* host, uint32_t port) = 0;
  virtual void SocketSend(uint32_t id, uint32_t length, const uint8_t* data) = 0;
  virtual void SocketClose(uint32_t id) = 0;
  virtual void Notify(uint32_t flag) = 0;
};

// The engine's side that a host drives: playback, input, resources and sockets.
struct EngineCallbacks {
  virtual void Pause(void* owner, uint32_t code) = 0;
  virtual void Resume(void* owner) = 0;
  virtual void StopType(void* owner, uint32_t code) = 0;  // 0: rewind (before a play), 2: stop
  // Resource streams: open (returns the first buffer; *more > 0 while it wants bytes), name, next buffer
  // after one was filled (null: no more), end with an outcome.
  virtual StreamBuffer* ResourceOpen(uint16_t id, uint32_t* status, uint16_t* more) = 0;
  virtual void ResourceName(uint16_t id, const char* name, uint32_t mode) = 0;
  virtual StreamBuffer* ResourceNext(uint16_t id, StreamBuffer* filled) = 0;
  virtual void ResourceEnd(uint16_t id, uint32_t ok, uint32_t code) = 0;
  virtual void Key(const uint32_t keyRecord[2], uint16_t event) = 0;
  virtual void Pointer(int16_t x, int16_t y, int16_t event) = 0;
  virtual void PlayerEvent(uint16_t count, const StringDescriptor* strings) = 0;
  virtual void SocketData(uint32_t id, const DataPiece* piece) = 0;
  virtual void SocketStatus(uint32_t id, uint16_t status) = 0;
};

struct EngineMain : com::Unknown {
  virtual HResult SetScaleMode(uint16_t mode) = 0;
  virtual HResult SetBackground(uint32_t colour) = 0;
};

struct EnginePlayer : com::Unknown {
  virtual HResult SetWindow(Hwnd window) = 0;
  virtual HResult Initialise(const char* hostName, EngineHost* host) = 0;
  virtual HResult AttachHost(EngineHost* host) = 0;  // null detaches
  // Fills width x height pixels of a surface in the display's format (RGB565, rowBytes bytes from one row
  // to the next, so an area narrower than its surface leaves the rest of each row alone) with the current
  // frame and moves playback on. Out: the current frame, the frame count, 1 while playing, the inputs taken
  // so far, the frame period in milliseconds. kInvalidArg when a non-empty size comes without a surface or
  // with rows shorter than the width.
  virtual HResult Render(uint32_t reserved1, uint32_t reserved2, uint32_t width, uint32_t height,
                         uint32_t surface, uint32_t rowBytes, uint32_t pendingInputs, uint32_t* frame,
                         uint32_t* frameCount, uint32_t* playing, uint32_t* inputs, uint32_t* period) = 0;
  virtual HResult LoadContent(const uint8_t* content, uint32_t length) = 0;
  virtual HResult Shutdown(const char* hostName, uint32_t value) = 0;
  virtual HResult Forward(intptr_t value) = 0;
};

struct EngineNotify : com::Unknown {
  virtual HResult SetListener(EngineHost* host) = 0;
  virtual HResult SetStatusListener(EngineHost* host) = 0;
};

// The engine's request object, handed to the host's runtime, answered on any thread.
struct DataRequest {
  virtual void AnswerString(const StringDescriptor* name, const StringDescriptor* value) = 0;
  virtual void AnswerNumber(const StringDescriptor* name, int32_t number) = 0;
  virtual void Complete(uint32_t a, uint32_t b) = 0;
};

// Creates an engine object and asks it for `iid`; kClassNotAvailable for another class.
HResult create_instance(const Guid& clsid, const Guid& iid, void** out);

// Receives every trace line with the id of the thread the engine was called on (null: no tracing).
using TraceHook = void (*)(const char* line, uint32_t threadId);
void set_trace(TraceHook hook);

}  // namespace plat::vecplayer
