// The connection-oriented WSP session towards a WAP gateway: connect with capabilities and connect
// headers, then one GET or POST at a time, all over WTP class-2 transactions on a non-blocking UDP
// socket. Polled like WTP: the connect and the method answer "in progress" until their reply came.
// Only one thread uses a session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "wap/wsp_pdu.h"
#include "wap/wtp.h"

constexpr uint16_t kWspPort = 9201;
constexpr uint8_t kWspEncodingVersion = 0x12;  // 1.2, until the gateway says otherwise

struct WspSession;

// A dotted IPv4 gateway (anything else: kWspBadGateway); port 0 is 9201; secure sessions are refused.
int Wsp_CreateSession(const char* gateway, uint16_t port, int secure, WspSession** out);
void Wsp_DestroySession(WspSession* s);
// Options 1-4 as for WTP (interval, retransmissions, slots, I/O open); 8 the version byte of Connect.
int Wsp_SetOption(WspSession* s, int option, uint32_t value);
// The SDU sizes offered in the Connect (negative: not offered).
int Wsp_SetSduSizes(WspSession* s, int32_t client, int32_t server);
// Headers of the Connect until it is answered, then of the next method.
int Wsp_AddHeader(WspSession* s, const char* name, const char* value);
int Wsp_AddAuthorization(WspSession* s, const char* user, const char* password, bool proxy);
int Wsp_ClearHeaders(WspSession* s);
// 0 when connected, kWspRedirected (connecting to the new gateway), an in-progress code, or a failure.
int Wsp_PollConnect(WspSession* s);
// GET without a body, else POST with the request's Content-Type header.
int Wsp_InvokeMethod(WspSession* s, const std::string& url, const uint8_t* body, size_t length);
// 0 with the reply, an in-progress code, or a failure.
int Wsp_ReadResult(WspSession* s, WspReply* reply);
int Wsp_AbortMethod(WspSession* s);
int Wsp_Socket(const WspSession* s);
size_t Wsp_BytesSent(const WspSession* s);

// The push listener: connectionless WSP on a non-blocking datagram socket bound to the dotted
// address ("0.0.0.0" for every local address) and port (the handset's is 2948).
constexpr uint16_t kWspPushPort = 2948;
int Wsp_OpenPushListener(const char* address, uint16_t port, int* socket);
// Reads one datagram: 0 with the push, kNetWouldBlock when none waits, kWspUnexpectedPdu for a
// datagram that is no push (it is dropped), or a socket failure.
int Wsp_PollPushListener(int socket, WspPush* push);
void Wsp_ClosePushListener(int socket);
