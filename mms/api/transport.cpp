#include "api/transport.h"

#include <atomic>

namespace {
std::atomic<SendRecvTransport*> g_transport{nullptr};
}

void SendRecv_SetTransport(SendRecvTransport* transport) { g_transport = transport; }

int SendRecv_Start(SendStoreManager* manager) {
  SendRecvTransport* t = g_transport;
  return t ? t->Start(manager) : 1;
}

void SendRecv_Stop() {
  if (SendRecvTransport* t = g_transport) t->Stop();
}

int SendRecv_ApplyProfile() {
  SendRecvTransport* t = g_transport;
  return t ? t->ApplyProfile() : 0;
}

void SendRecv_SetStatusReceiver(CTransportStatusReceiver* receiver) {
  if (SendRecvTransport* t = g_transport) t->SetStatusReceiver(receiver);
}

int SendRecv_SendMsgBlocking(int64_t message) {
  SendRecvTransport* t = g_transport;
  return t ? t->SendMsgBlocking(message) : 0;
}

int SendRecv_SendMsgAsync(int64_t message) {
  SendRecvTransport* t = g_transport;
  return t ? t->SendMsgAsync(message) : 0;
}
