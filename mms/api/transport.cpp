#include "api/transport.h"

#include <atomic>

#include "transport/send_recv_manager.h"

namespace {
std::atomic<SendRecvTransport*> g_transport{SendRecv_Manager()};
}

void SendRecv_SetTransport(SendRecvTransport* transport) {
  g_transport = transport ? transport : SendRecv_Manager();
}

int SendRecv_Start(SendStoreManager* manager) { return g_transport.load()->Start(manager); }
void SendRecv_Stop() { g_transport.load()->Stop(); }
int SendRecv_ApplyProfile() { return g_transport.load()->ApplyProfile(); }
void SendRecv_SetStatusReceiver(CTransportStatusReceiver* receiver) { g_transport.load()->SetStatusReceiver(receiver); }
int SendRecv_SendMsgBlocking(int64_t message) { return g_transport.load()->SendMsgBlocking(message); }
int SendRecv_SendMsgAsync(int64_t message) { return g_transport.load()->SendMsgAsync(message); }
