#include "power_cycle.h"

#include "zelusb.h"

namespace zel {

PowerDown waitUntilUnpowered(int unit) {
    constexpr int kLastRepeat = 32;
    _ZEL_STATUS status{};
    if (!ZELStatus(unit, &status)) return PowerDown::NoStatus;
    for (int repeat = 1; status.b[1] & 1; ++repeat) {
        fixedWait(100);
        if (!ZELStatus(unit, &status) || repeat == kLastRepeat) return PowerDown::Failed;
    }
    return PowerDown::Off;
}

} // namespace zel
