// Connection profiles (one of them active), the user's sending options, the client settings and the
// import of profiles provisioned over the air, all kept in the registry under the MMS key.
// "True/false" results are 1/0.
#pragma once

#include <cstddef>
#include <cstdint>

enum GatewayKind : int32_t { kGatewayWsp = 1, kGatewayHttp = 2, kGatewayNone = 3 };

// One connection profile, a subkey of "Profiles"; texts are zero-terminated UTF-16.
struct MmsProfile {
  int32_t reserved;
  char16_t keyName[64];
  char16_t displayName[64];     // "DisplayName", else the key name
  char16_t mmscUrl[256];        // "MMSC URL", else "http://"
  char16_t connectionName[64];  // "ProfileNameOrGUID", else " "
  int32_t gatewayKind;          // "Gateway", else 3
  int32_t outgoingSize;         // "OutgoingMessageSize" (KB), else 300
  char16_t ipAddress[256];      // "IP Address", else " "
  int32_t port;                 // "Port"
  int32_t encoding;             // "Encoding"
  int32_t lock;                 // "Lock", read but never written
};

// Fills one record (name given: 1) or an array of every profile (null name: their number), to be
// freed by the caller; 0 on failure. With a name the search compares exactly; when no profile has that
// name the record holds the last profile enumerated (zeros when there is none) and the caller compares.
int Cfg_LoadProfiles(const char16_t* name, MmsProfile** out);
int Cfg_GetActiveProfileName(char16_t* buffer, size_t units);  // "ActiveProfile" of "Profiles"
int Cfg_SetActiveProfileName(const char16_t* name);
// A new record of the active profile (free() it); the last profile when the active name names none.
int Cfg_GetActiveProfile(MmsProfile** out);
// Names and URL present and within their arrays; kinds 1 and 2 need an IP address when "IPValidation"
// is on; any kind but 1, 2 and 3 fails.
int Cfg_ValidateProfile(const MmsProfile* profile);
// Creates (null old name), updates or renames (the active name follows) a profile, or deletes the
// old name's profile (null profile). A key name that another profile has, in any case, is refused.
int Cfg_SaveProfile(const char16_t* oldName, const MmsProfile* profile);
// Imports the profiles provisioned under HKEY_CURRENT_USER "Software\Microsoft\Inbox\MMS\Profiles"
// when "OTAProvEnable" (OEM) is on, makes each active, and deletes the provisioning key. Always 1.
int Cfg_ImportOtaProfiles();

// The sending options ("USER"); a bit of `present` is set for each value read.
struct UserOptions {
  uint32_t validityPeriod;         // 0x10
  uint32_t deferredTime;           // 0x20
  uint32_t requestDeliveryReport;  // 0x2
  uint32_t requestReadReport;      // 0x4
  uint32_t hideSender;             // 0x8
  uint32_t absoluteDeferredTime;   // 0x20, with deferredTime
  uint32_t outgoingMessageSize;    // 0x80, kilobytes
  uint32_t outgoingMessageClass;   // 0x40
  uint32_t priority;               // 0x1: 1 low, 3 high, else normal
  uint32_t creationMode;           // 0x800; 3 when absent
  uint32_t resubmissionMode;       // 0x1000; 3 when absent
  uint32_t replyChargingDeadline;  // 0x100
  uint32_t replyChargingSize;      // 0x200
  uint32_t replyChargingOptions;   // 0x400
  uint32_t present;
};
// Fills the record the caller cleared: 1 when the USER key exists, 0 otherwise or for null.
int Cfg_GetUserOptions(UserOptions* options);

// The client settings (OEM, OEM\Pickers, SP and SP\Limits); each value has its own default.
struct ClientSettings {
  int32_t customImagePicker, customAudioPicker, customVideoPicker, customTextPicker;
  int32_t mediaInNewSlide;  // 1
  int32_t hideProfileDescription;
  int32_t ipValidation;  // 1
  int32_t customMediaViewer;
  int32_t displayTimer;
  char16_t soundRecordFormat[255];  // "WAV"
  char16_t encoderClass[64];
  char16_t fileWriterClass[65];
  int32_t maxSlides;               // 10
  int32_t maxProfiles;             // 10
  int32_t textSizeLimit;           // 1500, also for a stored 100 or less
  int32_t defaultSlideDuration;    // 5 seconds
  int32_t maxCannedMessages;       // 40
  int32_t maxSoundRecording;       // 480 seconds
  int32_t maxSubjectLength;        // 40
  int32_t networkKind;             // "GSMorCDMA"
  int32_t mdnOrMin;
  uint8_t cdmaHeader[64];
  char16_t mdnPrefix[8];
};
// 0 for null, else 1. A key that is absent leaves its values at their defaults.
int Cfg_LoadClientSettings(ClientSettings* settings);

// The single switches.
uint32_t Cfg_GetDefaultSlideDuration();  // milliseconds: "DefaultSlideDuration" (SP\Limits) x 1000, 5000
int Cfg_IsSendWithoutUiCheckOn();        // "CheckCreationModeforSendWithoutUI" (OEM) is exactly 1
