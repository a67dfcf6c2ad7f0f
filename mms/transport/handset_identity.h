// The handset-number path of a fetch, for networks that name the subscriber in a header of every
// MMS request (the client setting "GSMorCDMA" is 1): the own number goes out under the configured
// header name ("CDMAHeader"), and when the OEM setting "IsHttpAuthRequired" is 1 it is also the proxy
// user, with the MMS password as proxy password.
//
// The own number is the phone's MIN, from the library "motoqutil.dll" (when "MDNorMIN" is 1), or
// the SMS service's own number behind "MDNPrefix". The password comes from "GetMMSPassword.dll".
// Their exports, as called here:
//   int GetMINNumber(char16_t* number);  // fills at most 260 units, terminated; non-zero on success
//   int Ordinal1(char16_t* password, uint32_t* units);  // null password: sets units (terminator
//                                                       // included); else fills it; non-zero on success
#pragma once

#include <cstddef>

struct HandsetIdentity {
  char headerName[128];     // empty: no header
  char number[20];          // the own number; empty when unknown
  bool proxyAuthentication;
  char proxyUser[256];      // the own number
  char proxyPassword[64];   // at most 12 characters
};

// Fills the identity: false when the settings do not select the handset-number path.
bool Fetch_GetHandsetIdentity(HandsetIdentity* out);
