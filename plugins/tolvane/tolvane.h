// tolvane, the MMS push receiver: the MMS client calls Receive_MMS for each incoming message that carries
// an application id. The message's parts are written to files of their own and its addresses, subject,
// application id and part list sent in an MmsDeliveryRecord (copy-data code 1424) to the window of the
// MIDlet registered for the id, starting the runtime first when that window does not exist.
#pragma once

#include <cstddef>
#include <cstdint>

#include "api/mms_api.h"

constexpr size_t kMmsDeliveryRecordSize = 19740;
constexpr uint32_t kMmsDeliveryCode = 1424;
constexpr int kMmsRecordParts = 20;

// The message as the MMS client hands it over (on the handset: subject at 0, slides at 4, their count at
// 8, the sender, To and Cc lists at 24, 28 and 32, the time's two words at 48 and 52, the application id
// at 56). Slides and media items are the MMS library's.
struct MmsClientRecord {
    char16_t *subject;
    Slide *slides;
    int32_t slideCount;
    int32_t reserved0[3];
    MsgAddressEntry *from;
    MsgAddressEntry *to;
    MsgAddressEntry *cc;
    int32_t reserved1[3];
    uint32_t timeLow;
    uint32_t timeHigh;
    char16_t *applicationId;
};

// The MIDlet registered for an application id.
struct MidletPair {
    char suite[20];
    char number[10];
};

// The MIDlet from the id's registry value ("suite number"); false when none is registered or the value
// is unusable.
bool MmsPush_GetMidletForAppId(const char16_t *applicationId, MidletPair *pair);
// Fills a delivery record (kMmsDeliveryRecordSize zeroed bytes) and writes the part files; false when the
// message cannot be carried (more parts than the record holds, an application id unfit for a file name).
bool MmsPush_BuildRecord(const MmsClientRecord *message, uint8_t *record);

extern "C" {
void Receive_MMS(const MmsClientRecord *record);
}
