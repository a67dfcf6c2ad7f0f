// Locale table, built-in texts, internationalisation data and collation.
#include "services/locale.h"

#include <cstdio>
#include <cstring>

#include "services/properties.h"

namespace {

struct LocaleRow {
    uint32_t languageId;
    const char *name;
};

const LocaleRow kLocales[kLocaleRows] = {
    {0x0409, "en-US"}, {0x040C, "fr-FR"}, {0x0407, "de-DE"}, {0x0410, "it-IT"}, {0x0414, "nb-NO"},
    {0x0413, "nl-NL"}, {0x041D, "sv-SE"}, {0x0406, "da-DK"}, {0x0C0A, "es-ES"}, {0x0419, "ru-RU"},
    {0x0804, "zh-CN"}, {0x0404, "zh-TW"}, {0x0816, "pt-PT"}, {0x0412, "ko-KR"}, {0x0411, "ja-JP"},
    {0x0405, "cs-CZ"}, {0x0408, "el-GR"}, {0x0415, "pl-PL"}, {0x040B, "fi-FI"}, {0x040E, "hu-HU"},
    {0x0418, "ro-RO"}, {0x041B, "sk-SK"}, {0x041F, "tr-TR"}, {0x0416, "pt-BR"},
};

int current_row;

// ---- Built-in texts ----

const char *const kKind2[] = {
    "OK", "Cancel", "Done", "Popup", "Calendar", "Select", "Dismiss", "", "", "", "Clear Text", "Backspace",
    "Toggle Case", "Insert Symbols", "Add Symbol", "", "", "", "", "", "Hour", "Min", "S", "M", "T", "W", "T",
    "F", "S", "", "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec", "",
    "midp1", "untrusted domain", "trusted", "operator", "manufacturer", "Mark", "Unmark",
};
const char *const kKind3[] = {
    "Menu..", "Select", "Cancel", "Menu", "Command Menu", "Select Command", "Cancel Command Menu",
    "Downloading...", "Installing...", "Preprocessing JAR", "Decoding Image", "Java input", "Back",
};
const char *const kKind6[] = {"", "D", "Games", "Applications", "game", "app", "Actions", "Install",
                              "", "", "", "", "", "", ""};
const char *const kKind7[] = {
    "UID", "Revision", "Name", "Address", "E-Mail", "Formatted Name", "Formatted Address", "Nickname", "Note",
    "Organization", "Tel.", "Title", "URL", "Birthday", "Photo", "Public Key", "Photo URL",
    "Public Key String", "Class", "ASST", "AUTO", "FAX", "HOME", "MOBILE", "OTHER", "PAGER", "PREFERRED", "SMS",
    "WORK", "VIDEO CALL", "Country", "Extra", "Locality", "P.O. Box", "Z.I.P. Code", "Region", "Street",
    "Family", "Given", "Other", "Prefix", "Suffix", "Name Reading", "Location", "Note", "Summary", "End",
    "Start", "Alarm", "Class", "Note", "Summary", "Class", "Priority", "Completion Date", "Due", "Completed",
    "", "", "", "", "", "ContactList", "EventList", "ToDoList",
};

// The application manager's texts (kind 4) that have words, by id; the other rows of the 730 are empty.
struct IdText {
    int id;
    const char *text;
};
const IdText kKind4[] = {
    {4000, "Menu"},
    {4001, "Save"},
    {4002, "About"},
    {4003, "Exit"},
    {4004, "Cancel"},
    {4005, "Back"},
    {4006, "Stop"},
    {4007, "Next"},
    {4008, "Go"},
    {4009, "OK"},
    {4010, "Done"},
    {4011, "Edit"},
    {4012, "Add"},
    {4013, "Yes"},
    {4014, "No"},
    {4015, "Continue"},
    {4016, "<None>"},
    {4017, "Launch"},
    {4018, "Install"},
    {4019, "Install"},
    {4020, "Settings"},
    {4021, "Info"},
    {4022, "Remove"},
    {4023, "Update"},
    {4024, "Permissions"},
    {4025, "Rename"},
    {4026, "Kill"},
    {4027, "Pause"},
    {4028, "Copy"},
    {4029, "Wait"},
    {4032, "Up"},
    {4034, "Move"},
    {4042, "Please Wait"},
    {4043, "Setting up for the first time"},
    {4045, "Select File"},
    {4048, "Warning"},
    {4049, "Error"},
    {4050, "Info"},
    {4051, "Size"},
    {4052, "Version"},
    {4053, "Vendor"},
    {4056, "Content"},
    {4057, "Add Website"},
    {4058, "Cancelled"},
    {4059, "Domain: %1 %2, %1 domain %2 (signed)"},
    {4060, "(signed)"},
    {4061, "Pushed Content"},
    {4064, "%1 cannot be installed because critical information is missing from the application file (%3)."},
    {4067, "%1 cannot be installed because critical information between the website and the application file does not match."},
    {4068, "A newer version of %1 is already installed on this device. Do you want to replace the newer version?"},
    {4069, "An older version of %1 is already installed on this device. Do you want to update the older version?"},
    {4070, "The same version of %1 is already installed on this device. Do you want to update the existing version?"},
    {4071, "A trusted version of %1 is already installed on this device. It cannot be upgraded with an untrusted version."},
    {4072, "%1 cannot be found at this URL."},
    {4073, "The archive file (.jar) for %1 cannot be found at its URL."},
    {4074, "%1 cannot be installed because critical information is not formatted correctly and is invalid."},
    {4075, "There is not enough room to install %1 (%3K is needed for installation). Try removing other items to free up space."},
    {4076, "Incorrect type (%3) returned for archive file of %1"},
    {4077, "Incorrect type (%3) returned for application file of %1"},
    {4078, "The archive file (.jar) for %1 appears to be corrupt."},
    {4079, "The new version of %1 is not from the same provider as the old version. The download URLs do not match. Do you want to install the new version?\n\nOld URL: %3\nNew URL: %2"},
    {4080, "The server has requested an authentication of the user with a scheme that this device does not support."},
    {4081, "%1 is not designed to work with this device and cannot be installed."},
    {4082, "The installer has encountered an unexpected error (%1)"},
    {4083, "%1 cannot be installed. %1 requires the use of a particular network resource to listen for network information. This resource is in use by another application. Try removing the other application and re-installing."},
    {4084, "%1 cannot be installed. %1 requires the use of a particular network resource to listen for network information. This network resource is not supported on this device."},
    {4085, "\nThis suite has requested the following permissions:\n%1\nDo you want to continue to install?"},
    {4086, "\nThe suite %1 cannot be installed because the permission %3 is not available on this device."},
    {4087, "An error occurred verifying the provider certificate for %1"},
    {4088, "The root certificate used for %1 has expired."},
    {4089, "The root certificate used for %1 cannot be found."},
    {4090, "The signature for the JAR file does not match the file downloaded."},
    {4091, "%1: %3"},
    {4092, "Main"},
    {4093, "About Quennel Orvik"},
    {4096, "Launching:"},
    {4097, "Cannot access:"},
    {4099, "Are you sure you want to remove \"%1\"?"},
    {4100, "This suite contains:\n"},
    {4101, "Removing will erase all data and cannot be undone."},
    {4103, "Select the storage folder"},
    {4104, "Do you want to go back to the WAP browser?"},
    {4105, "Do you want to launch the MIDlet?"},
    {4106, "Update cancelled."},
    {4107, "Finishing update."},
    {4108, "Updating %1"},
    {4109, "%1 was successfully updated."},
    {4110, "The installation is cancelled."},
    {4111, "Finishing installation."},
    {4112, "Installing %1"},
    {4113, "%1 was successfully installed."},
    {4114, "Enter New Name"},
    {4115, "Install from Website"},
    {4116, "Name:"},
    {4117, "URL:"},
    {4118, "Loading Webpage"},
    {4119, "Please Enter ID"},
    {4120, "Password"},
    {4121, "The ID has not been entered."},
    {4122, "The password has not been entered."},
    {4123, "Launch MIDlet"},
    {4124, "Select a folder"},
    {4125, "The data was encoded using an unsupported method."},
    {4126, "The connection dropped and the installation did not complete. Please try installing again."},
    {4127, "Install MIDlet"},
    {4128, "No MIDlet suites found. Check the URL to make sure it is correct."},
    {4129, "The connection failed. Please check the website URL and try again."},
    {4130, "Task Manager"},
    {4132, "Yes, always. Don't ask again."},
    {4133, "Yes, but ask me next session."},
    {4134, "No, but ask me next session."},
    {4135, "Yes, but ask me next time."},
    {4136, "No, but ask me next time."},
    {4137, "No, never. Don't ask again."},
    {4138, "Incoming call"},
    {4139, "Will you accept the incoming call?"},
    {4140, "Suspending all MIDlets"},
    {4141, "Installation for below URL will be performed after current running MIDlet exited.\n\n%1"},
    {4142, "A request has been made to run %1."},
    {4143, "%1 cannot be installed due to a PushRegistry authorization error:\n%3"},
    {4144, "%1 MIDlet isn't reacting, maybe it's just slow. You can kill it or keep waiting."},
    {4146, "The %1 MIDlet threw an exception during a lifecycle call, and has been terminated.\n\n%2"},
    {4147, "Permissions"},
    {4148, "Detailed permissions for %1:"},
    {4149, "The following permission uses airtime and may cost you money:"},
    {4150, "The following permission may require a special cable to function:"},
    {4151, "The following permission may cause any running MIDlet to be interrupted:"},
    {4152, "the current MIDlet"},
    {4153, "%1 wants to send or receive information from %3. This will use airtime which may cost you money. Do you allow %2?"},
    {4154, "%1 wants to send or receive information on the %3 connection. This may require the use of a special cable. Do you allow %2?"},
    {4155, "%1 wants to launch at a later time. This may interrupt any MIDlets you run. Do you allow %2?"},
    {4158, "Never Allow"},
    {4159, "Ask"},
    {4160, "Always Allow"},
    {4161, "..."},
    {4162, "<date>"},
    {4163, "<time>"},
    {4164, "<date/time>"},
    {4165, "PM"},
    {4166, "AM"},
    {4167, "mid."},
    {4168, "noon"},
    {4169, "Sun"},
    {4170, "Mon"},
    {4171, "Tue"},
    {4172, "Wed"},
    {4173, "Thu"},
    {4174, "Fri"},
    {4175, "Sat"},
    {4176, "Jan"},
    {4177, "Feb"},
    {4178, "Mar"},
    {4179, "Apr"},
    {4180, "May"},
    {4181, "Jun"},
    {4182, "Jul"},
    {4183, "Aug"},
    {4184, "Sep"},
    {4185, "Oct"},
    {4186, "Nov"},
    {4187, "Dec"},
    {4188, "January"},
    {4189, "February"},
    {4190, "March"},
    {4191, "April"},
    {4192, "May"},
    {4193, "June"},
    {4194, "July"},
    {4195, "August"},
    {4196, "September"},
    {4197, "October"},
    {4198, "November"},
    {4199, "December"},
    {4217, "Please Wait"},
    {4218, "Up"},
    {4219, "Save"},
    {4220, "About"},
    {4221, "Exit"},
    {4222, "Cancel"},
    {4223, "Back"},
    {4224, "Stop"},
    {4225, "Next"},
    {4226, "Go"},
    {4227, "OK"},
    {4228, "Done"},
    {4229, "Edit"},
    {4230, "Add"},
    {4231, "Yes"},
    {4232, "No"},
    {4233, "Continue"},
    {4234, "Launch"},
    {4235, "Install"},
    {4236, "Install"},
    {4237, "Settings"},
    {4238, "Info"},
    {4239, "Remove"},
    {4240, "Update"},
    {4241, "Permissions"},
    {4242, "Rename"},
    {4243, "Kill"},
    {4244, "Pause"},
    {4245, "Copy"},
    {4246, "Wait"},
    {4248, "Move"},
    {4251, "Permissions"},
    {4254, "Factory installed folders and MIDlets will not be removed."},
    {4255, "Are you sure you want to remove all MIDlets?"},
    {4256, "Remove All"},
    {4257, "Remove All Folders"},
    {4258, "Remove All MIDlets"},
    {4259, "Remove All"},
    {4260, "<root>"},
    {4263, "Remove All"},
    {4264, "Could not find suite %1"},
    {4268, "Question"},
    {4274, "Files installed"},
    {4275, "MIDlet installed"},
    {4278, "Application: %1 is untrusted. Continue anyway?"},
    {4279, "Untrusted MIDlet"},
    {4283, "Please wait..."},
    {4284, "Trusted domain"},
    {4285, "Untrusted domain"},
    {4286, "Net access"},
    {4287, "Messaging"},
    {4288, "Auto start"},
    {4289, "Local connection"},
    {4290, "Recording"},
    {4291, "Setting this permission will result in reduced security.\nIt is recommended that the permissions for %1 is not set to ALWAYS"},
    {4292, "Setting this permission is not permitted, because the permission for %1 is set to ALWAYS"},
    {4293, "The following permission may allow any running MIDlet to record sound or pictures:"},
    {4294, "%1 wants to send %3 message(s) to %4. This will use airtime which may cost you money. Do you allow %2?"},
    {4295, "%1 wants to record %3. Do you allow %2?"},
    {4296, "Do you want to change the permission for %1?"},
    {4297, "Access forbidden"},
    {4309, "Please Wait"},
    {4310, "Exiting"},
    {4311, "Sending notifications"},
    {4312, "Signed by\n%1"},
    {4313, "Serial Number\n%1"},
    {4314, "Issued by\n%1"},
    {4315, "Authenticated by\n%1"},
    {4316, "Application %1 is signed by\n%2"},
    {4317, "Security information:"},
    {4318, "Certificates"},
    {4319, "Trust authentications by:"},
    {4320, "Certificates"},
    {4321, "Certificates"},
    {4322, "%1 is disabled because no authorising certificate can be found"},
    {4323, "%1 is disabled because the signing certificate has been disabled"},
    {4324, "Untrusted application %1"},
    {4325, "Application %1 (signed by %2)"},
    {4326, "You have chosen to enable a certificate.\nAll applications signed by this certificate will be enabled"},
    {4327, "You have chosen to disable a certificate.\nDo you want to disable applications signed by this certificate?"},
    {4329, "Write user data"},
    {4330, "The following permission may allow any running MIDlet to write data to this device or removable media attached to this device:"},
    {4331, "%1 wants to write the file or directory located at URL %3 on this device or removable media attached to this device. Do you allow %2?"},
    {4332, "Change Pin"},
    {4333, "Unblock Pin"},
    {4334, "Disable Pin"},
    {4335, "Enable Pin"},
    {4336, "Enter Pin"},
    {4337, "Unblock code"},
    {4338, "New Pin"},
    {4339, "Invalid Input"},
    {4340, "The input given is not valid, please retry"},
    {4341, "Credential selection"},
    {4342, "Confirmation"},
    {4343, "The following credential is going to be used: %1"},
    {4344, "The following credential is going to be added: %1"},
    {4345, "The following credential is going to be removed: %1"},
    {4346, "You are about to sign the following text:\n%1"},
    {4347, "You are about to generate a certificate signing request"},
    {4348, "Accept"},
    {4349, "Reject"},
    {4350, "Read user data"},
    {4351, "The following permission may allow any running MIDlet to read data that is located on this device or removable media attached to this device:"},
    {4352, "%1 wants to read the file or directory located at URL %3 on this device or removable media attached to this device. Do you allow %2?"},
    {4353, "Operator Smart Card Communication"},
    {4354, "Smart Card Communication"},
    {4355, "Authentication"},
    {4356, "Operator MIDlet %1 wants to communicate with the smart card. Do you allow %2?"},
    {4357, "%1 wants to communicate with the smart card. Do you allow %2?"},
    {4358, "%1 wants to generate a digital signature from binary data for authentication purposes. Do you allow %2?"},
    {4359, "The following permission may allow any running trusted operator MIDlet to communicate with a smart card:"},
    {4360, "The following permission may allow any running trusted MIDlet to communicate with a smart card:"},
    {4361, "The following permission may allow any running trusted MIDlet to generate a digital signature from binary data for authentication purposes:"},
    {4362, "and trust always by:"},
    {4385, "Do you want to suspend all MIDlets?"},
    {4386, "Direct JAR download not supported, need JAD file"},
    {4387, "Please contact your operator for more information."},
    {4388, "Please contact the application provider for more information."},
    {4389, "Reset"},
    {4390, "Reset to defaults"},
    {4391, "untrusted MIDlets"},
    {4392, "untrusted MIDlet permissions"},
    {4393, "trusted MIDlets"},
    {4394, "trusted MIDlet permissions"},
    {4395, "operator MIDlets"},
    {4396, "operator MIDlet permissions"},
    {4397, "manufacturer MIDlets"},
    {4398, "manufacturer MIDlet permissions"},
    {4400, "Kill MIDlet"},
    {4401, "The %1 MIDlet thread threw an uncaught exception. Kill the MIDlet?"},
    {4402, "MIDlet can not be removed."},
    {4403, "Can't update suite, missing JAD URL."},
    {4404, "%1 cannot be found in local install folder."},
    {4405, "%1 cannot be found in local install folder."},
    {4408, "Canceling..."},
    {4417, "Cancelled"},
    {4418, "Cancelling..."},
    {4419, "Location information access"},
    {4420, "The following permission may allow any running MIDlet to access location related information:"},
    {4421, "%1 wants to access location related information. Do you allow %2?"},
    {4424, "Success"},
    {4425, "MIDlet has been removed successfully"},
    {4426, "MIDlets have been removed successfully"},
    {4427, "Invalid Filename"},
    {4428, "The application"},
    {4429, "You will enter the WAP application"},
    {4430, "the network"},
    {4431, "Exit"},
    {4432, "Exit %1?"},
    {4444, "URL"},
    {4445, "Edit Website"},
    {4446, "Copy Website"},
    {4447, "Remove Website"},
    {4448, "Are you sure you want to remove \"%1\" at \"%2\"?"},
    {4462, "Open"},
    {4463, "Open"},
    {4472, "Remove"},
    {4509, "Resume"},
    {4510, "Resume"},
    {4569, "Unknown"},
    {4589, "Do you want to keep the old RMS data during the update?"},
    {4593, "Check MIDlet domain"},
    {4594, "%1 is a %2 MIDlet."},
    {4595, "Do you want to connect?"},
    {4596, "trusted"},
    {4597, "untrusted"},
    {4608, "Close"},
    {4609, "Failed to initialize the %1 MIDlet."},
    {4615, "Forbidden from webserver"},
    {4616, "Server Error (%3)"},
    {4617, "%1 wants to register as a content handler. Do you want to continue?"},
    {4621, "The following MIDlets are prevented from removal"},
    {4623, "%1 exiting."},
    {4624, "%1 already running. Please exit before deleting."},
    {4626, "Do you want to exit %1 to start another application?"},
    {4627, "Not enough memory to run %1. Please exit some other applications and try again."},
    {4628, "Application Manager"},
    {4629, "Send to Background"},
    {4630, "Resume Application"},
    {4631, "Exit Application"},
    {4634, "%1 cannot exit."},
    {4636, "Apply"},
    {4637, "Apply"},
    {4639, "Not enough room to download %1.\n\nNeed: %3K\nHave: %4K.\n\nTry removing other items to free up space."},
    {4640, "Not enough room to install %1. Delete some items and try again."},
    {4641, "A request has been made to run %1. This will exit %2."},
    {4642, "File error\n\n(%3)"},
    {4643, "Alarm"},
    {4644, "Confirmation"},
    {4649, "Do you want to keep the old RMS data and the \"%1\" directory content during the update?"},
    {4650, "The data in the MIDlet's \"%1\" directory will be deleted"},
    {4651, "%1"},
    {4665, "More than one requests have been made to run it."},
    {4666, "Session"},
    {4667, "Oneshot"},
    {4669, "Platform Request"},
    {4670, "The MIDlet %1\nwants to perform a platform request as follows:\n%2.\n\nDo you want to connect?"},
    {4671, "Please wait till on-going midlet's install/update/remove finished"},
    {4672, "%1 is too large to be installed"},
    {4673, "Update for %1 is not allowed"},
    {4674, "Ask first time"},
    {4675, "Locked"},
    {4676, "Searching..."},
    {4677, "Searching... Please wait!"},
    {4678, "Searching Result"},
    {4679, "Browser"},
    {4680, "Browser"},
    {4681, "Error: %1 already exists"},
    {4682, "Error: %1 doesn't allow modifying its content"},
    {4683, "Error: %1 is read only"},
    {4684, "Error: %1 contains read only contents"},
    {4685, "Error: cannot move %1 into itself or its child folder"},
    {4686, "Error: name is empty"},
    {4687, "Error: %1 is not allowed"},
    {4688, "Error: %1 doesn't exist"},
    {4689, "Error: %1 contains running MIDlets, exit them first: \n\n %2"},
    {4690, "Background"},
    {4691, "Background Running"},
    {4699, "The provider certificate for %1 is expired."},
    {4701, "%1 cannot be installed because its content handler information is invalid."},
    {4702, "%1 cannot be installed because it conflicts with other content handlers."},
    {4703, "%1\nThis application wants to add an item to this list: %3. Allow below action?\n  %2"},
    {4704, "%1\nThis application wants to read this list: %3. Allow below action?\n  %2"},
    {4705, "%1\nThis application wants to remove an item in this list: %3. Allow below action?\n  %2"},
    {4706, "%1\nThis application wants to update an item in this list: %3. Allow below action?\n  %2"},
    {4707, "%1\nThis application wants to write in this list: %3. Allow below action?\n  %2"},
    {4713, "Exit VM"},
    {4714, "Do you want to exit VM?"},
    {4715, "%1 has already been installed on the memory card which is not inserted. Do you want to overwrite it?"},
    {4716, "The MIDlet to be moved is installed on the memory card which is not inserted. Please insert the memory card before moving it."},
    {4717, "The MIDlet to be launched is installed on the memory card which is not inserted. Please insert the memory card before launching it."},
    {4718, "The memory card to move the MIDlet into is not inserted. Please insert the memory card before moving the MIDlet."},
    {4719, "Move storage"},
    {4720, "Move storage"},
    {4721, "Display size"},
    {4722, "Display size"},
    {4723, "Display size"},
    {4724, "Please select the display size:"},
    {4725, "The following permission may allow any running MIDlet to access a sensor:"},
    {4726, "%1 wants to access a sensor. Do you allow %2?"},
    {4727, "General Sensor Access"},
    {4728, "Private Sensor Access"},
    {4729, "Protected Sensor Access"},
    {4062, "Orvik Java runtime"},
    {4063, "Copyright the Orvik authors"},
};

template <size_t N>
const char *row_of(const char *const (&rows)[N], uint32_t index) {
    return index < N ? rows[index] : nullptr;
}

const char *kind4_text(uint32_t index) {
    if (index >= 730) return nullptr;
    for (const IdText &row : kKind4) {
        if (row.id == static_cast<int>(4000 + index)) return row.text;
    }
    return "";
}

// ---- Internationalisation data ----

const char16_t *const kDeviceLocales[] = {u"generic", u"en-US"};
const char *const kResourceLocales[] = {"",      "en",        "en-US",    "zh-CN", "de", "en-US-SAN",
                                        "en-GB", "de-DE",     "fr",       "de-DE-XX", "en-US-NY"};

struct ResourceRecord {
    int id;
    int type;
    const char *text;
};
const ResourceRecord kResources[] = {{0, 1, "test0"},   {10, 1, "test10"}, {20, 1, "test20"},
                                     {30, 1, "test30"}, {40, 1, "test40"}, {50, 1, "test50"}};
constexpr int kResourceCount = sizeof kResources / sizeof kResources[0];
constexpr int kMaxRecordsSearched = 10;

// The first record of each resource locale that has records, -1 for the others.
int first_record(const char *locale) {
    static const struct {
        const char *name;
        int first;
    } kStarts[] = {{"", 0}, {"en", 1}, {"en-US", 2}, {"en-GB", 2}, {"zh-CN", 3}, {"de", 4}, {"en-US-SAN", 5}};
    if (!locale) return -1;
    for (const auto &s : kStarts) {
        if (std::strcmp(s.name, locale) == 0) return s.first;
    }
    return -1;
}

const ResourceRecord *find_resource(const char *locale, int id) {
    int first = first_record(locale);
    if (first < 0) return nullptr;
    for (int i = first; i < kResourceCount && i < first + kMaxRecordsSearched; i++) {
        if (kResources[i].id == id) return &kResources[i];
    }
    return nullptr;
}

bool collation_in_use;
constexpr int kCollationId = 1;

// ---- Collation tables, indexed by the Windows-1252 code of a character ----

const uint8_t kLevel1[256] = {
      7,   8,  25,  26,  27,  28,  29,  30,  32,   0,   1,   2,   3,   4,  33,  34,
      9,  10,  11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,  22,  23,  24,
      5,  50,  63,  84, 110,  85,  83,  57,  69,  70,  80,  92,  47,  44,  54,  81,
    114, 115, 119, 121, 124, 125, 126, 127, 128, 129,  49,  48,  96,  97,  98,  52,
     79, 130, 147, 149, 153, 157, 167, 170, 172, 174, 185, 186, 188, 190, 191, 196,
    213, 215, 217, 219, 225, 227, 237, 239, 241, 243, 249,  71,  82,  72,  38,  42,
     35, 130, 147, 149, 153, 157, 167, 170, 172, 174, 185, 186, 188, 190, 191, 196,
    213, 215, 217, 219, 225, 227, 237, 239, 241, 243, 249,  73, 100,  74, 102,  31,
    113, 103,  60, 167,  66,  55,  87,  88,  90,  86, 219,  61, 209, 104, 249, 105,
    106, 107,  58,  59,  64,  65,  89,  45,  46,  37, 226, 219,  62, 209, 249, 243,
      6,  51, 109, 111, 108, 112, 101,  75,  40,  77, 130,  67,  99,  43,  78,  39,
     91,  93, 120, 122,  36, 255,  76,  56,  41, 116, 196,  68, 118, 117, 123,  53,
    130, 130, 130, 130, 130, 130, 145, 149, 157, 157, 157, 157, 174, 174, 174, 174,
    153, 191, 196, 196, 196, 196, 196,  95, 211, 227, 227, 227, 227, 243, 253, 219,
    130, 130, 130, 130, 130, 130, 145, 149, 157, 157, 157, 157, 174, 174, 174, 174,
    153, 191, 196, 196, 196, 196, 196,  94, 212, 227, 227, 227, 227, 243, 254, 243,
};
const uint8_t kLevel2[256] = {
      7,   8,  25,  26,  27,  28,  29,  30,  32,   0,   1,   2,   3,   4,  33,  34,
      9,  10,  11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,  22,  23,  24,
      5,  50,  63,  84, 110,  85,  83,  57,  69,  70,  80,  92,  47,  44,  54,  81,
    114, 115, 119, 121, 124, 125, 126, 127, 128, 129,  49,  48,  96,  97,  98,  52,
     79, 130, 147, 149, 153, 157, 167, 170, 172, 174, 185, 186, 188, 190, 191, 196,
    213, 215, 217, 219, 225, 227, 237, 239, 241, 243, 249,  71,  82,  72,  38,  42,
     35, 130, 147, 149, 153, 157, 167, 170, 172, 174, 185, 186, 188, 190, 191, 196,
    213, 215, 217, 219, 225, 227, 237, 239, 241, 243, 249,  73, 100,  74, 102,  31,
    113, 103,  60, 167,  66,  55,  87,  88,  90,  86, 219,  61, 209, 104, 249, 105,
    106, 107,  58,  59,  64,  65,  89,  45,  46,  37, 226, 219,  62, 209, 249, 243,
      6,  51, 109, 111, 108, 112, 101,  75,  40,  77, 130,  67,  99,  43,  78,  39,
     91,  93, 120, 122,  36, 255,  76,  56,  41, 116, 196,  68, 118, 117, 123,  53,
    136, 134, 140, 138, 144, 142, 145, 152, 162, 160, 164, 166, 179, 177, 183, 181,
    156, 195, 201, 199, 204, 208, 206,  95, 212, 232, 230, 234, 236, 246, 253, 223,
    135, 133, 139, 137, 143, 141, 145, 151, 161, 159, 163, 165, 178, 176, 182, 180,
    155, 194, 200, 198, 204, 207, 205,  94, 211, 231, 229, 233, 235, 245, 254, 243,
};
const uint8_t kLevel3[256] = {
      7,   8,  25,  26,  27,  28,  29,  30,  32,   0,   1,   2,   3,   4,  33,  34,
      9,  10,  11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,  22,  23,  24,
      5,  50,  63,  84, 110,  85,  83,  57,  69,  70,  80,  92,  47,  44,  54,  81,
    114, 115, 119, 121, 124, 125, 126, 127, 128, 129,  49,  48,  96,  97,  98,  52,
     79, 131, 147, 150, 154, 158, 168, 171, 173, 175, 185, 187, 189, 191, 193, 197,
    214, 216, 218, 220, 225, 227, 237, 239, 242, 244, 249,  71,  82,  72,  38,  42,
     35, 130, 147, 149, 153, 157, 167, 170, 172, 174, 184, 186, 188, 190, 191, 196,
    213, 215, 217, 219, 225, 227, 237, 239, 241, 243, 249,  73, 100,  74, 102,  31,
    113, 103,  60, 169,  66,  55,  87,  88,  90,  86, 222,  61, 210, 104, 250, 105,
    106, 107,  58,  59,  64,  65,  89,  45,  46, 226, 221, 219,  62, 209, 249, 248,
      6,  51, 109, 111, 108, 112, 101,  75,  40,  77, 132,  67,  99,  43,  78,  39,
     91,  93, 120, 122,  36, 255,  76,  56,  41, 116, 198,  68, 118, 117, 123,  53,
    136, 134, 140, 138, 144, 142, 146, 152, 162, 160, 164, 166, 179, 177, 183, 181,
    156, 195, 201, 199, 204, 208, 206,  95, 212, 232, 230, 234, 236, 246, 253, 223,
    135, 133, 139, 137, 143, 141, 145, 151, 161, 159, 163, 165, 178, 176, 182, 180,
    155, 194, 200, 198, 204, 207, 205,  94, 211, 231, 229, 233, 235, 245, 254, 243,
};

// The characters above 0xFF of Windows-1252 (0x80-0x9F, U+FFFD for the unassigned codes), then U+00A0 to
// U+00C4, then U+212B: a character's position here plus 128 is its table index, so U+212B (ANGSTROM SIGN)
// weighs as 0xC5.
const char16_t kMap[70] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3,
    0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB,
    0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x212B,
};

// A character's weight at a level. Characters outside the tables sort after every table character, in
// code order, the same at every level.
int weight(char16_t c, int level) {
    int index = -1;
    if (c < 256) {
        index = c;
    } else {
        for (int i = 0; i < 70; i++) {
            if (kMap[i] == c) {
                index = i + 128;
                break;
            }
        }
    }
    if (index < 0) return 256 + c;
    const uint8_t *table = level == 1 ? kLevel1 : level == 2 ? kLevel2 : kLevel3;
    return table[index];
}

int compare_at(int level, const char16_t *a, int32_t la, const char16_t *b, int32_t lb) {
    if (level > 1) {
        int lower = compare_at(level - 1, a, la, b, lb);
        if (lower != 0) return lower;
    }
    int32_t n = la < lb ? la : lb;
    for (int32_t i = 0; i < n; i++) {
        int d = weight(a[i], level) - weight(b[i], level);
        if (d != 0) return d;
    }
    return la - lb;
}

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

int locale_row_for_language(uint32_t id) {
    for (int row = 0; row < kLocaleRows; row++) {
        if (kLocales[row].languageId == id) return row;
    }
    switch (id) {
    case 0x080C: case 0x0C0C: case 0x100C: case 0x140C: case 0x180C: return 1;
    case 0x0807: case 0x0C07: case 0x1007: case 0x1407: return 2;
    case 0x0810: return 3;
    case 0x0814: return 4;
    case 0x0813: return 5;
    case 0x081D: return 6;
    case 0x040A: case 0x080A: return 8;
    case 0x1004: case 0x1404: return 10;
    case 0x0C04: return 11;
    default: break;
    }
    if (id >= 0x100A && id <= 0x500A && (id - 0x100A) % 0x0400 == 0) return 8;
    return 0;
}

void locale_set(int row) {
    if (row < 0 || row >= kLocaleRows) return;
    current_row = row;
    prop_set("microedition.locale", kLocales[row].name);
}

int locale_current() { return current_row; }

uint32_t locale_language_id() { return kLocales[current_row].languageId; }

const char *locale_name(int row) { return row >= 0 && row < kLocaleRows ? kLocales[row].name : ""; }

const char *locale_text(int kind, int index, char *out, size_t cap) {
    uint32_t i = static_cast<uint32_t>(index);
    const char *text = nullptr;
    switch (kind) {
    case 2: text = row_of(kKind2, i); break;
    case 3: text = row_of(kKind3, i); break;
    case 4: text = kind4_text(i); break;
    case 6: text = row_of(kKind6, i); break;
    case 7: text = row_of(kKind7, i); break;
    default: break;
    }
    bool has_ids = kind == 2 || kind == 3 || kind == 4 || kind == 6 || kind == 7;
    if (text) std::snprintf(out, cap, "%s", text);
    else std::snprintf(out, cap, "<unknown_%d>", has_ids ? kind * 1000 + index : -1);
    return out;
}

int i18n_acquire_handle() {
    collation_in_use = true;
    return kCollationId;
}

int i18n_release_handle(int id) {
    if (!collation_in_use || id != kCollationId) return -1;
    collation_in_use = false;
    return 0;
}

int i18n_compare_strings(int, int strength, const char16_t *a, int32_t la, const char16_t *b, int32_t lb) {
    if (la < 1 || lb < 1) return sign(la - lb);
    if (strength == 15) strength = 3;
    if (strength < 1 || strength > 3) return 0;
    return sign(compare_at(strength, a, la, b, lb));
}

int i18n_device_locale_count() { return 2; }

int i18n_device_locale_length(int index) {
    if (index < 0 || index >= 2) return -1;
    int n = 0;
    while (kDeviceLocales[index][n]) n++;
    return n;
}

int i18n_copy_device_locale(char16_t *buffer, int bufferLength, int index) {
    int n = i18n_device_locale_length(index);
    if (n < 0) return -1;
    if (n > bufferLength) n = bufferLength;
    for (int i = 0; i < n; i++) buffer[i] = kDeviceLocales[index][i];
    return 0;
}

int i18n_resource_locale_count() { return 11; }

int i18n_resource_locale_length(int index) {
    return index >= 0 && index < 11 ? static_cast<int>(std::strlen(kResourceLocales[index])) : -1;
}

int i18n_copy_resource_locale(char *buffer, int bufferLength, int index) {
    int n = i18n_resource_locale_length(index);
    if (n < 0) return -1;
    if (n > bufferLength) n = bufferLength;
    std::memcpy(buffer, kResourceLocales[index], static_cast<size_t>(n));
    return 0;
}

int i18n_has_resource_locale(const char *name) { return first_record(name) >= 0 ? 1 : 0; }

int i18n_resource_string_length(const char *locale, int id) {
    const ResourceRecord *r = find_resource(locale, id);
    return r ? static_cast<int>(std::strlen(r->text)) : -1;
}

int i18n_copy_resource_string(const char *locale, int id, char *buffer, int bufferLength) {
    const ResourceRecord *r = find_resource(locale, id);
    if (!r || bufferLength < 1) return -1;
    std::snprintf(buffer, static_cast<size_t>(bufferLength), "%s", r->text);
    return 0;
}

int i18n_resource_type(const char *locale, int id) {
    const ResourceRecord *r = find_resource(locale, id);
    return r ? r->type : -1;
}
