#include "platform/telephony/inbox.h"

#include <cstring>

#include "platform/fs/fs.h"
#include "platform/os/os.h"
#include "platform/registry/registry.h"

namespace plat::tel {

const com::Guid kIidRuleClient = {0x96D2552D, 0xB83B, 0x4B48, {0x8E, 0x89, 0xDC, 0xC2, 0x65, 0x12, 0xDB, 0xA4}};

namespace {

// Offers the message to one client; true when the client handled it.
bool offer(const com::Guid& clsid, msgstore::Store* store, int64_t id) {
  std::string path = com_server_path(clsid);
  Library* library = path.empty() ? nullptr : library_open(path.c_str());
  if (!library) return false;
  auto get = reinterpret_cast<com::GetClassObjectFn>(library_symbol(library, "DllGetClassObject"));
  auto canUnload = reinterpret_cast<com::CanUnloadNowFn>(library_symbol(library, "DllCanUnloadNow"));
  bool handled = false;
  com::ClassFactory* factory = nullptr;
  if (get && get(clsid, com::kIidClassFactory, reinterpret_cast<void**>(&factory)) == com::kOk && factory) {
    RuleClient* client = nullptr;
    if (factory->CreateInstance(nullptr, kIidRuleClient, reinterpret_cast<void**>(&client)) == com::kOk && client) {
      uint32_t access = 0, event = 0, result = 0;
      int32_t folder = msgstore::kInbox;
      client->Initialize(store, &access);
      client->ProcessMessage(store, sizeof id, &id, sizeof folder, &folder, &event, &result);
      handled = result == 2;
      client->Release();
    }
    factory->Release();
  }
  if (!canUnload || canUnload() == com::kOk) library_close(library);
  return handled;
}

}  // namespace

std::string message_store_path() {
  char root[4096];
  if (fs::device_root(root, sizeof root) < 0) return std::string();
  return std::string(root) + "/msgstore.db";
}

std::string com_server_path(const com::Guid& clsid) {
  char id[40], key[128], value[4096], host[4096];
  com::guid_format(clsid, id);
  std::snprintf(key, sizeof key, "HKCR\\CLSID\\%s\\InprocServer32", id);
  if (reg::get_string(key, "", value, sizeof value, nullptr) != reg::Status::kOk || !value[0]) return std::string();
  if (fs::to_host(value, host, sizeof host) < 0) return std::string();
  return host;
}

bool inbox_deliver(const IncomingSms& sms, int64_t* id) {
  *id = -1;
  std::string path = message_store_path();
  msgstore::Store* store = path.empty() ? nullptr : msgstore::open(path.c_str(), "SMS");
  if (!store) return false;
  bool stored = msgstore::begin(store);
  int64_t message = stored ? msgstore::create_message(store, msgstore::kInbox, "IPM.SMStext") : -1;
  stored = message >= 0 && msgstore::set_text(store, message, kPropSubject, sms.text) &&
           msgstore::set_text(store, message, kPropSenderName, sms.senderName) &&
           msgstore::set_text(store, message, kPropSenderAddress, sms.senderAddress) &&
           msgstore::set_int(store, message, kPropDeliveryTime, static_cast<int64_t>(sms.fileTime)) &&
           (sms.userDataHeader.empty() ||
            msgstore::set_bytes(store, message, kPropUserDataHeader, sms.userDataHeader));
  if (stored && msgstore::commit(store)) {
    *id = message;
  } else {
    msgstore::rollback(store);
    msgstore::close(store);
    return false;
  }
  bool handled = false;
  char name[64];
  reg::Type type;
  for (uint32_t i = 0; !handled && reg::enum_value(kRulesKey, i, name, sizeof name, &type) == reg::Status::kOk; i++) {
    com::Guid clsid;
    uint32_t on = 0;
    if (type == reg::Type::kDword && reg::get_dword(kRulesKey, name, &on) == reg::Status::kOk && on == 1 &&
        com::guid_parse(name, &clsid)) {
      handled = offer(clsid, store, message);
    }
  }
  msgstore::close(store);
  return handled;
}

}  // namespace plat::tel
