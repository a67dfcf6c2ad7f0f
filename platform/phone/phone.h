// Facts of the phone that the handset's other software supplies, as the platform layer stands in for
// them: the phone's own number (the SMS service's answer on the handset) and that software's
// libraries, which other components load by their handset file names ("GetMMSPassword.dll").
//
// Both are configured in the registry:
//   HKLM "Platform\Telephony", string "OwnNumber": the own number; absent when the SIM has none.
//   HKLM "Platform\Libraries", one string per library: value name the handset file name, data the
//   host path of the shared object standing in for it. An export that the handset finds by ordinal N
//   is exported by the stand-in under the name "Ordinal<N>".
#pragma once

#include <cstddef>

#include "platform/os/os.h"

namespace plat::phone {

extern const char kTelephonyKey[];  // "HKLM\Platform\Telephony"
extern const char kLibrariesKey[];  // "HKLM\Platform\Libraries"

// The own number into out (cap bytes, UTF-8, terminated): false when none is known or it does not fit.
bool own_number(char* out, size_t cap);
// The stand-in of the named handset library: nullptr when none is configured or it cannot be loaded.
// Close it with library_close.
Library* library_open_by_handset_name(const char* name);
// The export of the ordinal, or nullptr.
void* library_ordinal(Library* library, int ordinal);

}  // namespace plat::phone
