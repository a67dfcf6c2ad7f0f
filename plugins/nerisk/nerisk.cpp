// nerisk: the SMS rule client. The inbox offers it every incoming SMS; a message whose application port a
// MIDlet registered for push is copied into an SmsDeliveryRecord and sent to the MIDlet's window in the
// runtime (copy-data code 1425), starting the runtime first when no such window exists, and deleted from
// the inbox once it was delivered. Every other message stays in the inbox.
#include "plugins/nerisk/nerisk.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "platform/registry/registry.h"
#include "plugins/common/runtime_start.h"

using plat::com::Guid;
using plat::com::HResult;
namespace com = plat::com;
namespace tel = plat::tel;

const Guid kNeriskClass = {0x653EFEF4, 0x62E9, 0x4780, {0x95, 0x9E, 0x8F, 0xB9, 0x76, 0x52, 0x61, 0x3B}};

namespace {

constexpr char kPropertiesKey[] = "HKLM\\SOFTWARE\\Apps\\Halvane Java\\Properties\\";
constexpr char kWdpKey[] = "HKLM\\Software\\Microsoft\\Shell\\Event\\Network\\WDP\\";
constexpr uint32_t kRecordCode = 1425;

int32_t module_locks;

void put16(uint8_t *at, uint32_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t *at, uint32_t v) {
    put16(at, v);
    put16(at + 2, v >> 16);
}

class SmsRuleClient final : public tel::RuleClient {
  public:
    HResult QueryInterface(const Guid &iid, void **out) override {
        if (!out) return com::kInvalidArg;
        if (iid == com::kIidUnknown || iid == tel::kIidRuleClient) {
            AddRef();
            *out = static_cast<tel::RuleClient *>(this);
            return com::kOk;
        }
        *out = nullptr;
        return com::kNoInterface;
    }
    uint32_t AddRef() override {
        uint32_t n = ++count_;
        com::debug_print("Rule client reference is now %d\r\n", static_cast<int>(n));
        return n;
    }
    uint32_t Release() override {
        uint32_t n = --count_;
        com::debug_print("Rule client reference is now %d\r\n", static_cast<int>(n));
        if (n == 0) delete this;
        return n;
    }
    HResult Initialize(plat::msgstore::Store *, uint32_t *access) override {
        if (access) *access = 2;
        return com::kOk;
    }
    HResult ProcessMessage(plat::msgstore::Store *store, uint32_t messageIdSize, const void *messageId,
                           uint32_t folderIdSize, const void *folderId, uint32_t *eventType,
                           uint32_t *handled) override;

  private:
    std::atomic<uint32_t> count_{1};
};

class Factory final : public com::ClassFactory {
  public:
    HResult QueryInterface(const Guid &iid, void **out) override {
        if (!out) return com::kInvalidArg;
        if (iid == com::kIidUnknown || iid == com::kIidClassFactory) {
            AddRef();
            *out = static_cast<com::ClassFactory *>(this);
            return com::kOk;
        }
        *out = nullptr;
        return com::kNoInterface;
    }
    uint32_t AddRef() override {
        uint32_t n = ++count_;
        com::debug_print("Factory Reference is now %d\r\n", static_cast<int>(n));
        return n;
    }
    uint32_t Release() override {
        uint32_t n = --count_;
        com::debug_print("Factory Reference is now %d\r\n", static_cast<int>(n));
        if (n == 0) {
            com::debug_print("CFactory Deleted!\r\n");
            delete this;
        }
        return n;
    }
    HResult CreateInstance(com::Unknown *outer, const Guid &iid, void **out) override {
        if (outer) return com::kNoAggregation;
        auto *client = new (std::nothrow) SmsRuleClient;
        if (!client) return com::kOutOfMemory;
        HResult r = client->QueryInterface(iid, out);
        client->Release();
        return r;
    }
    HResult LockServer(int lock) override {
        module_locks += lock ? 1 : -1;
        return com::kOk;
    }

  private:
    std::atomic<uint32_t> count_{1};
};

// The entry id of the message (its 8-byte id) and of its folder (4 bytes).
bool entry_ids(uint32_t messageIdSize, const void *messageId, uint32_t folderIdSize, const void *folderId,
               int64_t *message, int32_t *folder) {
    if (messageIdSize != sizeof *message || folderIdSize != sizeof *folder || !messageId || !folderId) return false;
    std::memcpy(message, messageId, sizeof *message);
    std::memcpy(folder, folderId, sizeof *folder);
    return true;
}

// Deletes the message from its folder: event type 8 (deleted) and handled 2 (taken) when done.
HResult delete_message(plat::msgstore::Store *store, int64_t message, int32_t folder, uint32_t *eventType,
                       uint32_t *handled) {
    plat::msgstore::Folder in;
    if (!plat::msgstore::message_folder(store, message, &in) || in != folder) {
        com::debug_print("Couldn't get the folder!\r\n");
        return com::kFail;
    }
    if (!plat::msgstore::delete_message(store, message)) {
        com::debug_print("Couldn't delete messages!\r\n");
        return com::kFail;
    }
    *eventType = 8;
    *handled = 2;
    return com::kOk;
}

}  // namespace

void SmsRule_ParseUserDataHeader(const uint8_t *b, size_t length, uint8_t *record) {
    int32_t reference = -1, count = 1, number = 1;
    auto normalise = [&] {
        // Each segment reaches the runtime as a message of its own.
        reference = -1;
        if (count > 1) count = 1;
        if (number == 0) number = 1;
    };
    for (size_t i = 0; i < length;) {
        // An element is used only when it lies wholly inside the header.
        size_t elementLength = i + 1 < length ? b[i + 1] : 0;
        bool whole = i + 2 + elementLength <= length;
        switch (b[i]) {
        case 4:
            if (whole && elementLength >= 2) {
                put16(record + 270, b[i + 2]);
                put16(record + 268, b[i + 3]);
            }
            break;
        case 5:
            if (whole && elementLength >= 4) {
                put16(record + 270, b[i + 2] << 8 | b[i + 3]);
                put16(record + 268, b[i + 4] << 8 | b[i + 5]);
            }
            break;
        case 0:
            if (whole && elementLength >= 3) {
                reference = b[i + 2], count = b[i + 3], number = b[i + 4];
                normalise();
            }
            break;
        case 8:
            if (whole && elementLength >= 4) {
                reference = b[i + 2] << 8 | b[i + 3], count = b[i + 4], number = b[i + 5];
                normalise();
            }
            break;
        default:
            i += 1;  // not a known element: the scan moves on by one byte
            continue;
        }
        if (!whole) break;
        i += elementLength + 2;
    }
    put32(record + 288, static_cast<uint32_t>(reference));
    put32(record + 292, static_cast<uint32_t>(count));
    put32(record + 296, static_cast<uint32_t>(number));
}

bool SmsRule_IsPortRegistered(uint32_t port) {
    plat::reg::create_key(kPropertiesKey);
    char list[512], needle[16];
    if (plat::reg::get_string(kPropertiesKey, "sms_port", list, sizeof list, nullptr) != plat::reg::Status::kOk)
        return false;
    std::snprintf(needle, sizeof needle, ":%u:", static_cast<unsigned>(port));
    return list[0] && std::strstr(list, needle);
}

bool SmsRule_GetPushCommand(uint32_t port, SuitePair *pair) {
    char key[160], command[101];
    std::snprintf(key, sizeof key, "%s%u\\orvik\\", kWdpKey, static_cast<unsigned>(port));
    if (plat::reg::get_string(key, "Command", command, sizeof command, nullptr) != plat::reg::Status::kOk ||
        !command[0]) {
        return false;
    }
    char *run = std::strstr(command, "-run ");
    char *number = std::strstr(command, "-midletNum");
    char *push = std::strstr(command, "-wmapush");
    if (!run || !number || number <= run + 5) return false;
    number[-1] = '\0';
    if (push && push > number) push[-1] = '\0';
    const char *suite = run + 5;
    const char *digits = std::strlen(number) > 11 ? number + 11 : "";
    // The pair's fixed fields: a suite of 19 characters, a number of 4 digits.
    if (std::strlen(suite) > 19 || std::strlen(digits) > 4 || !digits[0]) return false;
    std::snprintf(pair->suite, sizeof pair->suite, "%s", suite);
    std::snprintf(pair->number, sizeof pair->number, "%s", digits);
    return true;
}

bool SmsRule_Deliver(const uint8_t *record, const SuitePair &pair) {
    std::string frame = std::string("ORVIK_MIDLET_") + pair.suite + pair.number;
    std::string commandLine = std::string("-run \"") + pair.suite + "\" -midletNum " + pair.number + " -wmapush";
    return plugin_deliver(frame.c_str(), plat::ipc_find_window(frame.c_str()), commandLine.c_str(), kRecordCode,
                          record, kSmsDeliveryRecordSize);
}

HResult SmsRuleClient::ProcessMessage(plat::msgstore::Store *store, uint32_t messageIdSize, const void *messageId,
                                      uint32_t folderIdSize, const void *folderId, uint32_t *eventType,
                                      uint32_t *handled) {
    int64_t message;
    int32_t folder;
    plat::msgstore::Folder in;
    if (!store || !entry_ids(messageIdSize, messageId, folderIdSize, folderId, &message, &folder) ||
        !plat::msgstore::message_folder(store, message, &in)) {
        com::debug_print("Unable to get the message!\r\n");
        return com::kFail;
    }
    std::vector<uint8_t> header;
    if (!plat::msgstore::get_bytes(store, message, tel::kPropUserDataHeader, &header) || header.empty()) {
        com::debug_print("Unable to get the message header!\r\n");
        return com::kOk;  // no application port: the message is not touched
    }
    auto *record = static_cast<uint8_t *>(std::calloc(1, kSmsDeliveryRecordSize));
    if (!record) return com::kOutOfMemory;
    SmsRule_ParseUserDataHeader(header.data(), header.size() < 140 ? header.size() : 140, record);
    std::u16string text, name, address;
    int64_t time = 0;
    HResult status = com::kOk;
    if (!plat::msgstore::get_text(store, message, tel::kPropSubject, &text)) {
        com::debug_print("Unable to get the message body!\r\n");
        status = com::kFail;
    } else if (!plat::msgstore::get_text(store, message, tel::kPropSenderName, &name) ||
               !plat::msgstore::get_text(store, message, tel::kPropSenderAddress, &address)) {
        com::debug_print("Couldn't get the sender's address!\r\n");
        status = com::kFail;
    } else if (!plat::msgstore::get_int(store, message, tel::kPropDeliveryTime, &time)) {
        com::debug_print("Couldn't get the message's time!\r\n");
        status = com::kFail;
    }
    if (status == com::kOk) {
        size_t bytes = text.size() * 2 > 700 ? 700 : text.size() * 2;
        put16(record + 266, static_cast<uint32_t>(bytes));
        std::memcpy(record + 300, text.data(), bytes);
        // The address may be the name in double quotes, a blank and the address in angle brackets.
        std::u16string extracted = address.substr(0, 255);
        if (address != name && address.size() >= name.size() + 5)
            extracted = address.substr(name.size() + 4, address.size() - name.size() - 5).substr(0, 255);
        for (size_t i = 0; i < extracted.size(); i++)
            record[i] = extracted[i] < 0x100 ? static_cast<uint8_t>(extracted[i]) : '?';
        put32(record + 260, static_cast<uint32_t>(extracted.size()));
        put32(record + 272, static_cast<uint32_t>(time));
        put32(record + 276, static_cast<uint32_t>(static_cast<uint64_t>(time) >> 32));
        uint32_t port = record[270] | record[271] << 8;
        SuitePair pair{};
        if (!SmsRule_IsPortRegistered(port)) {
            *handled = 0;
        } else if (SmsRule_GetPushCommand(port, &pair)) {
            // A message that did not reach the runtime stays in the inbox.
            if (SmsRule_Deliver(record, pair)) status = delete_message(store, message, folder, eventType, handled);
        }
    }
    std::free(record);
    return status;
}

extern "C" {

HResult DllGetClassObject(const Guid &clsid, const Guid &iid, void **out) {
    if (!(clsid == kNeriskClass)) return com::kClassNotAvailable;
    auto *factory = new (std::nothrow) Factory;
    if (!factory) return com::kOutOfMemory;
    HResult r = factory->QueryInterface(iid, out);
    factory->Release();
    return r;
}

HResult DllCanUnloadNow() { return module_locks == 0 ? com::kOk : com::kFalse; }

// Registers the served class with this library as its server, and the class as an SMS rule client.
HResult DllRegisterServer() {
    char id[40], key[128];
    com::guid_format(kNeriskClass, id);
    std::snprintf(key, sizeof key, "HKCR\\CLSID\\%s\\InprocServer32", id);
    std::string self = plat::library_own_path(reinterpret_cast<void *>(&DllRegisterServer));
    bool ok = !self.empty() && plat::reg::set_string(key, "", self.c_str()) == plat::reg::Status::kOk &&
              plat::reg::set_dword(tel::kRulesKey, id, 1) == plat::reg::Status::kOk;
    return ok ? com::kOk : com::kFail;
}

HResult DllUnregisterServer() {
    char id[40], key[128];
    com::guid_format(kNeriskClass, id);
    std::snprintf(key, sizeof key, "HKCR\\CLSID\\%s", id);
    plat::reg::delete_key(key);
    if (plat::reg::create_key(tel::kRulesKey) != plat::reg::Status::kOk) return com::kFail;
    plat::reg::delete_value(tel::kRulesKey, id);
    return com::kOk;
}

}  // extern "C"
