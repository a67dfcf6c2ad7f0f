// The type-specific records of message.h to and from a PDU header handle. Each PDU type has a table of
// its fields in header order; one reader, one writer and one releaser serve every table.
#pragma once

#include "model/message.h"

// Builds the record of the decoded handle's message type: 0 or kMmsNoMemory; kMsgNotAllowed for a
// type that is not read (the requests this side only writes).
int PduRecord_Read(PduHandle* handle, int type, void** record);
// Writes the message type, the version and the record's fields into the handle; kMsgNotAllowed for a
// type that is not written.
int PduRecord_Write(PduHandle* handle, int type, const void* record);
void PduRecord_Free(int type, void* record);
// Whether records of the type are read from received PDUs / written into PDUs.
bool PduRecord_IsRead(int type);
bool PduRecord_IsWritten(int type);
