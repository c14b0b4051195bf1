// The unit's cancel flag as the flash operations use it.
#pragma once

#include "../link/unit_table.h"

namespace zel {

inline bool cancelRequested(int unit) {
    UnitRecord* u = record(unit);
    return u && u->cancel;
}

inline void clearCancel(int unit) {
    if (UnitRecord* u = record(unit)) u->cancel = false;
}

} // namespace zel
