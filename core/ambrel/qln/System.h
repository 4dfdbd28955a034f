// Facts from the operating system.
#pragma once

#include "qln/Config.h"
#include "qln/String.h"

namespace qln {

class AMBREL_API System {
public:
    // The calling thread's last system error (GetLastError).
    static Uint32 getSystemError();
    static void setSystemError(Uint32 code);
    // The system's message text for an error code, without the trailing line
    // break. `localized` asks for the user's language; otherwise English is
    // preferred where the system has it. An unknown code gives
    // "System error <code>".
    static String getSystemErrorMsg(Uint32 code, bool localized);
    // True when the process token is a member of the Administrators group.
    static bool userIsAdministrator();
};

}  // namespace qln
