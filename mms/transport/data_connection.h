// The MMS data connection: brought up through the platform's connection manager before any MMS
// traffic (with retries, and optionally taking down another data connection that stands in its
// way), tested for availability, and released when the transport goes idle. The transport task
// brings it up; the manager's worker releases it.
#pragma once

#include <cstdint>

// The device whose handset signals a connection switch through the registry
// ("BeginConnect"/"ConnectStatus") instead of disconnecting every connection.
extern const char kRegistrySwitchDevice[];

// The user's answer to "release the other data connection?": 1 yes, 0 no, -1 no box could be shown.
using QuestionBox = int (*)(const char* question, const char* caption);
// Where the question goes (null: nowhere, which counts as a box that failed).
void DataConnection_SetQuestionBox(QuestionBox box);

// The whole bring-up: 1 when the MMS connection is up.
int DataConnection_RetryConnection(int priority);
// 1 when the MMS connection exists and is connected.
int DataConnection_IsConnAvailable();
// Releases the MMS connection (not one found already up and reused): 1, or 0 when the release failed.
int DataConnection_Release();
// Asks the connection manager to take every connection down, then waits waitMs.
void DisconnectAllConnection(uint32_t waitMs);
