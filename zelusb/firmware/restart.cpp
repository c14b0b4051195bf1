// The last step of a load: the boot-loader switched off by pin 5, the unit
// powered on into its new firmware.
#include "loader_stages.h"
#include "power_cycle.h"
#include "zelusb.h"

#include <cstdio>

namespace zel {

const char* restartIntoFirmware(int unit) {
    const char* const kPowerOff = "Problem powering off Bexo during firmware.";
    const char* const kRestart = "Problem restarting Bexo during firmware.";
    say("Restarting Bexo...\n");
    if (!ZELSetPins(unit, _ZEL_PINS{{0, 0, 0, 2, 2, 2}})) return kPowerOff;
    switch (waitUntilUnpowered(unit)) {
    case PowerDown::Off: break;
    case PowerDown::NoStatus: return kPowerOff;
    case PowerDown::Failed: return kRestart;
    }
    fixedWait(500);
    if (!ZELPowerOn(unit)) return kRestart;
    ZELReframe(unit);
    return nullptr;
}

} // namespace zel
