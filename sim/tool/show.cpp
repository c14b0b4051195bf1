// bexo-sim show: everything a unit folder holds, in words.
#include "args.h"
#include "commands.h"
#include "unit_access.h"

#include "vfactory/directory.h"
#include "vfactory/eeprom.h"
#include "vfactory/layout.h"
#include "vfactory/logfiles.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

std::string presentRanges(const std::array<uint8_t, vunit::kMaxSectors>& map) {
    std::string out;
    for (int s = 0; s < vunit::kMaxSectors;) {
        if (!map[static_cast<std::size_t>(s)]) {
            ++s;
            continue;
        }
        int e = s;
        while (e + 1 < vunit::kMaxSectors && map[static_cast<std::size_t>(e + 1)]) ++e;
        if (!out.empty()) out += ", ";
        out += e == s ? std::to_string(s) : std::to_string(s) + "-" + std::to_string(e);
        s = e + 1;
    }
    return out.empty() ? "none" : out;
}

const char* volumeName(uint8_t v) {
    switch (v) {
    case 0: return "mute";
    case 1: return "low";
    case 2: return "high";
    default: return "unknown";
    }
}

void printIdentity(const std::string& dir, const vunit::UnitFolder& u) {
    const vunit::Identity& id = u.identity;
    const vunit::ProgramChip chip = vunit::programChipOf(id.cpuId);
    std::printf("Unit        %s\n", dir.c_str());
    std::printf("Device      %s unit, vendor 0x%04X product %d, path %s\n",
                id.kind == vunit::Kind::Packet ? "packet" : "stream", id.vendorId, static_cast<int>(id.kind),
                id.path.c_str());
    std::printf("Firmware    main %d.%d, USB %d.%d\n", id.firmwareMajor, id.firmwareMinor, id.usbMajor, id.usbMinor);
    std::printf("CPU         0x%04X (%s)\n", id.cpuId, chip.name ? chip.name : "UNSUPPORTED");
    if (id.chipCode == 0xAA)
        std::printf("Memory      four slots, chips %d,%d,%d,%d\n", id.chips[0], id.chips[1], id.chips[2], id.chips[3]);
    else
        std::printf("Memory      chip %d, %d sectors\n", id.chipCode, vunit::sectorsOfChip(id.chipCode));
    std::printf("Sector map  count %d, present %s\n", vunit::sectorCountOf(id), presentRanges(vunit::sectorMapOf(id)).c_str());
    const vfactory::EepromSettings ee = vfactory::readEepromSettings(u.storage.eeprom);
    std::printf("EEPROM      family 0x%04X, serial %u, volume %s, battery saver %u s (%u min)\n", ee.family, ee.serial,
                volumeName(ee.volume), ee.batterySaverSeconds, ee.batterySaverSeconds / 60u);
    std::printf("Seed        %u\n", id.seed);
    std::printf("Options     timing %s, trace %s\n", u.options.timing ? "on" : "off",
                u.options.tracePath.empty() ? "off" : u.options.tracePath.c_str());
    std::printf("State       %s\n", u.storage.resetVectorBroken ? "reset vector broken (nothing starts)"
                                    : u.storage.applicationValid ? "application valid"
                                                                 : "application invalid (boot-loader starts)");
    std::string faults;
    for (const std::string& f : u.faults) faults += (faults.empty() ? "" : "; ") + f;
    std::printf("Faults      %s\n", faults.empty() ? "none armed" : faults.c_str());
}

void printDirectory(const vfactory::Directory& dir) {
    std::printf("\nDirectory in sector %d, %zu entries (%u bytes)\n", dir.sector, dir.entries.size(),
                vfactory::directorySize(dir.entries.size()));
    if (dir.entries.empty()) return;
    std::printf("   #  type  address   id          size\n");
    int i = 0;
    for (const vfactory::DirEntry& e : dir.entries)
        std::printf("%4d  0x%02X  %08X  %-10u  %5u\n", ++i, e.type, e.address, e.id, e.size);
}

// Runs of empty sectors share a line: a big unit is mostly empty.
void printSectors(const std::vector<vfactory::SectorUse>& use) {
    std::printf("\nSectors  items bytes  free bytes\n");
    auto empty = [](const vfactory::SectorUse& u) { return u.end == 0 && u.directoryBytes == 0; };
    for (std::size_t i = 0; i < use.size(); ++i) {
        const vfactory::SectorUse& u = use[i];
        std::size_t last = i;
        while (empty(u) && last + 1 < use.size() && empty(use[last + 1]) && use[last + 1].sector == use[last].sector + 1)
            ++last;
        const std::string name =
            last == i ? std::to_string(u.sector) : std::to_string(u.sector) + "-" + std::to_string(use[last].sector);
        std::printf("%7s  %11u  %10u", name.c_str(), u.itemBytes, u.free());
        if (u.directoryBytes) std::printf("  (directory %u)", u.directoryBytes);
        std::printf(last == i ? "\n" : "  each\n");
        i = last;
    }
}

void runShow(const std::string& dir) {
    const vunit::UnitFolder u = simtool::readUnit(dir);
    printIdentity(dir, u);
    const auto directory = vfactory::readDirectory(u.storage, u.identity);
    if (directory)
        printDirectory(*directory);
    else
        std::printf("\nDirectory   none\n");
    printSectors(vfactory::sectorUse(u.identity, directory ? &*directory : nullptr));
    const auto files = vfactory::logFiles(u.storage, u.identity);
    const vfactory::LogSpace space = vfactory::logSpace(u.storage, u.identity);
    std::printf("\nLog files   %zu, %zu bytes, %zu logged\n", files.size(), space.capacity, space.used);
}

} // namespace

void addShowCommand(CLI::App& app) {
    auto dir = std::make_shared<std::string>();
    CLI::App* cmd = app.add_subcommand("show", "Show a unit: identity, sector map, directory and free space per sector");
    cmd->add_option("DIR", *dir, "Unit folder")->required();
    cmd->callback([dir] { runShow(*dir); });
}
