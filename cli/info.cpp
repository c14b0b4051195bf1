// bexolog info: who is on the other end of the cable.
#include "commands.h"
#include "unit_session.h"
#include "zelusb.h"

#include <cstdio>
#include <string>

namespace {

std::string describeMap(const unsigned char* map, int count) {
    std::string out;
    for (int s = 0; s < count;) {
        if (!map[s]) {
            ++s;
            continue;
        }
        int e = s;
        while (e + 1 < count && map[e + 1]) ++e;
        if (!out.empty()) out += ", ";
        out += e == s ? std::to_string(s) : std::to_string(s) + "-" + std::to_string(e);
        s = e + 1;
    }
    return out.empty() ? "none" : out;
}

void runInfo(const UnitChoice& choice) {
    UnitSession session("bexolog info", choice);
    session.open(false);
    const int unit = session.unit;
    char path[512];
    int size = sizeof path;
    if (!ZELGetDeviceString(unit, path, &size)) path[0] = 0;

    unsigned char bootMode = 0, memoryCode = 0;
    unsigned short usb = 0, firmware = 0, cpuId = 0;
    char cpuName[16] = {};
    if (!ZELInitDevice(unit, &bootMode, &usb, &firmware, &cpuId, &memoryCode, cpuName)) session.failUnit("identifying the unit");
    _ZEL_STATUS status{};
    if (!ZELStatus(unit, &status)) session.failUnit("reading the status");

    std::printf("Unit %d: %s\n", unit, path);
    std::printf("  Status:        %02X %02X, main processor %s\n", status.b[0], status.b[1],
                (status.b[1] & 1) ? "powered" : "off");
    std::printf("  Boot mode:     %s\n", bootMode ? "boot loader" : "application");
    std::printf("  USB firmware:  %d.%02d\n", usb >> 8, usb & 0xFF);
    std::printf("  CPU:           0x%04X %s\n", cpuId, cpuName);
    if (bootMode) return;
    std::printf("  Firmware:      %d.%02d\n", firmware >> 8, firmware & 0xFF);

    unsigned char major = 0, minor = 0, code = 0, map[256] = {};
    unsigned short sectors = 0;
    unsigned int sectorSize = 0;
    const int layout = ZELGetVersionExtended(unit, major, minor, code, sectors, sectorSize, map);
    std::printf("  Memory chip:   %u%s\n", memoryCode, layout ? "" : " (unknown)");
    int present = 0;
    for (int s = 0; s < sectors; ++s) present += map[s] ? 1 : 0;
    std::printf("  Sectors:       %d of %u bytes (count %u; map %s)\n", present, sectorSize, sectors,
                describeMap(map, sectors).c_str());

    unsigned char ee[6] = {};
    if (!ZELReadEE(unit, 0, ee, 6)) session.failUnit("reading the EEPROM");
    const unsigned family = ee[0] | (ee[1] << 8);
    const unsigned long serial = ee[2] | (ee[3] << 8) | (ee[4] << 16) | (static_cast<unsigned long>(ee[5]) << 24);
    std::printf("  EEPROM family: 0x%04X\n", family);
    std::printf("  Serial number: %lu\n", serial);
}

} // namespace

void addInfoCommand(CLI::App& app) {
    CLI::App* info = app.add_subcommand("info", "Identify the first Bexo unit that is free: status, versions, "
                                                "CPU, memory layout, EEPROM family and serial number.");
    auto choice = std::make_shared<UnitChoice>();
    addUnitOptions(info, *choice);
    info->callback([choice] { runInfo(*choice); });
}
