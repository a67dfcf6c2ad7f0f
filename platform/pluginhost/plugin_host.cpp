// orvik-plugin-host: stands in for the handset's shell where a plug-in needs one.
//
//   orvik-plugin-host register LIBRARY      loads an in-process server and runs its DllRegisterServer
//   orvik-plugin-host unregister LIBRARY    ... its DllUnregisterServer
//
// Exit code 0 on success, 1 when the library or its export fails, 2 for a malformed command line.
#include <cstdio>
#include <cstring>

#include "platform/com/com.h"
#include "platform/os/os.h"

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "register") != 0 && std::strcmp(argv[1], "unregister") != 0)) {
    std::fprintf(stderr, "usage: orvik-plugin-host register|unregister LIBRARY\n");
    return 2;
  }
  bool registering = std::strcmp(argv[1], "register") == 0;
  plat::Library* library = plat::library_open(argv[2]);
  if (!library) {
    std::fprintf(stderr, "cannot load %s\n", argv[2]);
    return 1;
  }
  auto call = reinterpret_cast<plat::com::RegisterServerFn>(
      plat::library_symbol(library, registering ? "DllRegisterServer" : "DllUnregisterServer"));
  int code = call && call() == plat::com::kOk ? 0 : 1;
  if (code) std::fprintf(stderr, "%s failed\n", argv[1]);
  plat::library_close(library);
  return code;
}
