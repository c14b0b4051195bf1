#include "interruptions.h"

#include "chip_table.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace interruptions {

using namespace loadtest;
using namespace testunits;

std::string phaseOf(const std::string& printed, const std::string& commandName, uint16_t vectorAddress) {
    if (printed.find("Restarting Bexo...") != std::string::npos) return "final restart";
    if (printed.find("(finalizing)") != std::string::npos) return "first block";
    if (printed.find("(verifying)") != std::string::npos) return "firmware verify";
    if (printed.find("(writing)") != std::string::npos) return "firmware write";
    if (printed.find("(erasing)") != std::string::npos) return "firmware erase";
    if (printed.find("Upgrading firmware...") != std::string::npos) return "firmware start";
    if (printed.find("Writing bootloader...") == std::string::npos) return "probe";
    char vector[8];
    std::snprintf(vector, sizeof vector, "%04X", vectorAddress);
    const std::string code = commandName.substr(0, 2), address = commandName.size() > 3 ? commandName.substr(3) : "";
    if ((code == "1C" || code == "11") && address == vector) return "vectors";
    if (code == "1C") return "boot-loader erase";
    if (code == "11") return "boot-loader write";
    if (code == "10") return "boot-loader read-back";
    if (code == "1D") return "boot-loader start";
    return "restart into boot-loader";
}

Attempt interruptAndReload(const Files& files, uint16_t cpuId, const std::string& fault) {
    Attempt a;
    a.fault = fault;
    UnitSpec spec;
    spec.cpuId = cpuId;
    spec.trace = true;
    auto plugged = plugUnit(spec);
    int unit = openPowered();
    // Counted from the load's first report: armed, then taken by the next write.
    armFault(*plugged, fault);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const std::string chip = files.chip;
    const size_t requestsBefore = wireOf(plugged->trace()).sequence.size();
    const Outcome first = loadFiles(unit, files, cpuId, chip);
    ZELCloseDevice(unit);
    const std::string trace = plugged->trace();
    a.cut = trace.find("fault unplug-after") != std::string::npos || trace.find("power failed") != std::string::npos;
    if (!a.cut) {
        a.recovered = first.result == 1;
        return a;
    }
    const Wire wire = wireOf(trace);
    a.command = wire.sequence.size() - requestsBefore;
    a.commandName = wire.sequence.empty() ? "" : wire.sequence.back();
    a.phase = phaseOf(first.printed, a.commandName, zel::firmwareChipOf(cpuId)->vectorAddress);
    a.broken = storedState(*plugged).resetVectorBroken;

    // Plugged in again: identified as bexolog does, then the same load.
    unit = ZELOpenNextAvailableDevice();
    const Identified id = identify(unit);
    if (id.ok) {
        const Outcome second = loadFiles(unit, files, id.cpuId, id.name);
        a.secondPrinted = second.printed;
        const vunit::Storage s = storedState(*plugged);
        a.recovered = second.result == 1 && s.applicationValid && !s.resetVectorBroken &&
                      programWords(s, 0, files.firmwareEnd) == imageWords(files.image, 0, files.firmwareEnd) &&
                      programWords(s, files.bootStart, files.bootEnd) ==
                          imageWords(files.image, files.bootStart, files.bootEnd);
        unsigned char major = 0, minor = 0, code = 0;
        a.recovered = a.recovered && ZELGetVersion(unit, major, minor, code) == 1; // the application answers
    }
    ZELCloseDevice(unit);
    return a;
}

} // namespace interruptions
