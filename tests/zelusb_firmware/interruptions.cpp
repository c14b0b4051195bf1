#include "interruptions.h"

#include "chip_table.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace interruptions {

using namespace loadtest;
using namespace testunits;

std::vector<std::string> phasesOf(const Wire& wire, uint16_t cpuId) {
    const zel::FirmwareChip& chip = *zel::firmwareChipOf(cpuId);
    char vector[8];
    std::snprintf(vector, sizeof vector, "%04X", chip.vectorAddress);
    // The boot-loader's counter settings open its phases in turn.
    std::vector<std::string> bootPhases = {"firmware write", "firmware verify", "first block"};
    if (chip.pic18) bootPhases.insert(bootPhases.begin(), "firmware erase");
    std::vector<std::string> phases;
    std::string phase = "power-up";
    size_t counterSets = 0;
    for (const std::string& r : wire.sequence) {
        const std::string code = r.substr(0, 2), address = r.size() > 3 ? r.substr(3) : "";
        if (r == "probe") {
            phase = "probe";
        } else if (r.rfind("boot 1:", 0) == 0) {
            phase = bootPhases[std::min(counterSets++, bootPhases.size() - 1)];
        } else if (r.rfind("boot ", 0) == 0) {
            // commands 2 to 6 stay in the phase their counter opened
        } else if (r == "status" || r == "pins" || r == "reframe") {
            if (phase == "first block") phase = "final restart";
        } else if ((code == "1C" || code == "11") && address == vector) {
            phase = "vectors";
        } else if (code == "1C") {
            phase = "boot-loader erase";
        } else if (code == "11") {
            phase = "boot-loader write";
        } else if (code == "10") {
            phase = "boot-loader read-back";
        } else if (code == "1D") {
            phase = "boot-loader start";
        } else if (code == "0F") {
            phase = "restart into boot-loader";
        } else if (code == "0A") {
            phase = "download mode";
        } else if (code == "16") {
            phase = "hand-over";
        } else if (phase == "download mode" || phase == "image to external flash") {
            phase = "image to external flash";
        }
        phases.push_back(phase);
    }
    return phases;
}

Recorded recordLoad(const Files& files, uint16_t cpuId) {
    UnitSpec spec;
    spec.cpuId = cpuId;
    spec.trace = true;
    auto plugged = plugUnit(spec);
    const int unit = openPowered();
    Recorded r;
    r.firstReport = wireOf(plugged->trace()).requestsAtReport.size();
    loadFiles(unit, files, cpuId, files.chip);
    ZELCloseDevice(unit);
    r.wire = wireOf(plugged->trace());
    r.phases = phasesOf(r.wire, cpuId);
    return r;
}

std::vector<std::pair<std::string, size_t>> unplugPointsByPhase(const Files& files, uint16_t cpuId) {
    const Recorded r = recordLoad(files, cpuId);
    const Wire& wire = r.wire;
    const std::vector<std::string>& phases = r.phases;
    const size_t before = r.firstReport;
    // First and last report of each phase, then the middle.
    std::vector<std::pair<std::string, std::pair<size_t, size_t>>> spans;
    for (size_t i = before; i < wire.requestsAtReport.size(); ++i) {
        const size_t request = wire.requestsAtReport[i];
        if (request == 0) continue;
        const std::string& phase = phases[request - 1];
        const size_t n = i - before + 1;
        if (spans.empty() || spans.back().first != phase) spans.push_back({phase, {n, n}});
        spans.back().second.second = n;
    }
    std::vector<std::pair<std::string, size_t>> points;
    for (const auto& [phase, span] : spans)
        if (phase != "power-up") points.emplace_back(phase, (span.first + span.second) / 2);
    return points;
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
    a.phase = a.command ? phasesOf(wire, cpuId).back() : "";
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
