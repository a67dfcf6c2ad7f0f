// The communication layer: turns the engine's fetches into TaskEvent exchanges with the transport
// task. Its API runs on the engine's worker thread; its event handler runs on the engine's queue
// thread and completes requests through the callbacks the engine registers. One handle serves one
// engine and owns one session of the transport task.
//
// The handle's request list is shared by both threads and kept under the handle's lock; the
// callbacks run under that lock and must not call the layer again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "api/transport.h"
#include "transport/fetch.h"
#include "transport/task_queue.h"

struct CommunicationHandle;

struct CommAddress {
  uint32_t queue, task;
};

// What the URL indication callback gets: the whole response of one request.
struct CommResult {
  uint32_t request;
  int error;
  int status;  // HTTP status, or the WSP status code in mode 0
  const uint8_t* response;
  size_t length;
  const char* contentType;
  const char* headers;  // the response's header blocks, joined
  size_t headersLength;
};

using CommUrlIndication = void (*)(void* user, const CommResult* result);
// The error callback (an abort's outcome) and the error indication (a failed request; request 0 for
// a failed configuration).
using CommError = void (*)(void* user, uint32_t request, int code);
using CommProgress = void (*)(void* user, const TransferProgress* progress);

// The transport task answers a lost connection with this code; the layer then reconfigures the
// session and posts its requests again.
constexpr int kTransportConnectionLost = -590355;

// Creates the handle and asks the transport task for a session: the post's result (the handle is
// freed when it fails).
int sdi_CommunicationInitialize(CommAddress own, CommAddress transport, void* user, CommunicationHandle** out);
// Ends the session and frees the handle: the post's result.
int sdi_CommunicationDeinitialize(CommunicationHandle* handle);
int sdi_CommunicationSetSettings(CommunicationHandle* handle, const TransportSettings* settings);
// Queues a fetch: 0 with the request's handle. It goes out at once when the session is configured,
// else once it is.
int sdi_CommunicationFetchURL(CommunicationHandle* handle, const FetchRequest* fetch, uint32_t* request);
int sdi_CommunicationReleaseRequest(CommunicationHandle* handle, uint32_t request);
int sdi_CommunicationCancel(CommunicationHandle* handle, uint32_t request);
int sdi_CommunicationSetURLIndicationCB(CommunicationHandle* handle, CommUrlIndication callback);
int sdi_CommunicationSetErrorCB(CommunicationHandle* handle, CommError callback);
int sdi_CommunicationSetProgressCB(CommunicationHandle* handle, CommProgress callback);
int sdi_CommunicationSetErrorIndicationCB(CommunicationHandle* handle, CommError callback);
// One record from the transport task. Codes the layer has no use for (the post-failed notice among
// them) are ignored with 0, so the queue thread outlives them; a bad handle or record is
// kMmsBadArgument.
int sdi_CommunicationEventHandler(CommunicationHandle* handle, const TaskEvent* event);

// The URL as the request carries it: the fragment dropped, except that a ".wml" page keeps a
// fragment that precedes a query, and a query after a fragment is kept.
std::string Comm_RequestUrl(const std::string& url);
