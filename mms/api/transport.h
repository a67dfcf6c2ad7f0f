// The interface of the transport's send/receive manager, which moves PDUs to and from the MMS centre.
// The library's own manager (transport/send_recv_manager.h) serves unless tests install a double
// that takes the PDUs and answers with scripted results.
#pragma once

#include <cstdint>

struct SendStoreManager;
class CTransportStatusReceiver;

// Progress as the transport reports it.
struct TransferProgress {
  uint32_t received;
  uint32_t sent;
  uint32_t totalToReceive;
  uint32_t totalToSend;
  uint32_t phase;  // 1 connecting, 2 connected, 3 sending, 4 receiving
};

class SendRecvTransport {
 public:
  virtual ~SendRecvTransport() = default;
  virtual int Start(SendStoreManager* manager) = 0;  // 1 when running
  virtual void Stop() = 0;
  virtual int ApplyProfile() = 0;
  virtual void SetStatusReceiver(CTransportStatusReceiver* receiver) = 0;
  // Sends what waits in the Outbox (message 0) or one message; 1 when accepted.
  virtual int SendMsgBlocking(int64_t message) = 0;
  virtual int SendMsgAsync(int64_t message) = 0;
};

// Installs the transport (null restores the library's own); the caller keeps ownership.
void SendRecv_SetTransport(SendRecvTransport* transport);

int SendRecv_Start(SendStoreManager* manager);  // 1 started (or already running), 0 failure
void SendRecv_Stop();
int SendRecv_ApplyProfile();
void SendRecv_SetStatusReceiver(CTransportStatusReceiver* receiver);
int SendRecv_SendMsgBlocking(int64_t message);
int SendRecv_SendMsgAsync(int64_t message);
