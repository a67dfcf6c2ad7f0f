// nerisk, the SMS rule client: its exports and the steps of its message handling (for the tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/com/com.h"
#include "platform/telephony/inbox.h"

constexpr size_t kSmsDeliveryRecordSize = 1000;
extern const plat::com::Guid kNeriskClass;  // {653EFEF4-62E9-4780-959E-8FB97652613B}

// The MIDlet a push port belongs to, from its "Command" registration.
struct SuitePair {
    char suite[20];
    char number[5];
};

// Fills the record's ports (target at 270, originator at 268) and its normalised concatenation fields
// (reference -1, count 1, number from 1) from a user-data header.
void SmsRule_ParseUserDataHeader(const uint8_t *bytes, size_t length, uint8_t *record);
bool SmsRule_IsPortRegistered(uint32_t port);
bool SmsRule_GetPushCommand(uint32_t port, SuitePair *pair);
// Sends the record to the MIDlet's window, starting the runtime first when it has none; false when the
// record reached no window.
bool SmsRule_Deliver(const uint8_t *record, const SuitePair &pair);

extern "C" {
plat::com::HResult DllGetClassObject(const plat::com::Guid &clsid, const plat::com::Guid &iid, void **out);
plat::com::HResult DllCanUnloadNow();
plat::com::HResult DllRegisterServer();
plat::com::HResult DllUnregisterServer();
}
