// bexo-sim create: a new unit folder, the stock unit unless told otherwise.
#include "args.h"
#include "commands.h"

#include "vfactory/layout.h"
#include "vfactory/logfiles.h"
#include "vstore/folder.h"

#include <cstdio>
#include <memory>
#include <sstream>

namespace {

struct CreateOptions {
    std::string dir;
    std::string kind = "stream";
    std::string chip, chips, cpu, firmware, usb, family, serial, vendor, seed;
    bool logFiles = false;
    bool timing = false;
};

std::array<uint8_t, 4> parseChips(const std::string& text) {
    std::array<uint8_t, 4> chips{};
    std::istringstream in(text);
    std::string part;
    std::size_t n = 0;
    while (std::getline(in, part, ',')) {
        if (n == 4) throw simtool::Failure("--chips takes four chip codes, e.g. 20,20,0,0");
        chips[n++] = static_cast<uint8_t>(simtool::numberOf(part, 255));
    }
    if (n != 4) throw simtool::Failure("--chips takes four chip codes, e.g. 20,20,0,0");
    return chips;
}

void runCreate(const CreateOptions& o) {
    using simtool::numberOf;
    vfactory::UnitDescription d = vfactory::defaultDescription();
    vunit::Identity& id = d.identity;
    id.kind = o.kind == "packet" ? vunit::Kind::Packet : vunit::Kind::Stream;
    if (!o.chip.empty()) id.chipCode = static_cast<uint8_t>(numberOf(o.chip, 255));
    if (!o.chips.empty()) {
        id.chipCode = 0xAA;
        id.chips = parseChips(o.chips);
    }
    if (!o.cpu.empty()) id.cpuId = static_cast<uint16_t>(numberOf(o.cpu, 0xFFFF));
    if (!o.firmware.empty()) std::tie(id.firmwareMajor, id.firmwareMinor) = *simtool::parseVersion(o.firmware);
    if (!o.usb.empty()) std::tie(id.usbMajor, id.usbMinor) = *simtool::parseVersion(o.usb);
    if (!o.vendor.empty()) id.vendorId = static_cast<uint16_t>(numberOf(o.vendor, 0xFFFF));
    if (!o.serial.empty()) id.serial = static_cast<uint32_t>(numberOf(o.serial, 0xFFFFFFFFul));
    if (!o.seed.empty()) id.seed = static_cast<uint32_t>(numberOf(o.seed, 0xFFFFFFFFul));
    if (!o.family.empty()) d.eeprom.family = static_cast<uint16_t>(numberOf(o.family, 0xFFFF));
    d.eeprom.serial = id.serial;
    d.logFiles = o.logFiles;

    if (vunit::isUnitFolder(o.dir)) throw simtool::Failure(o.dir + " already holds a unit");
    vunit::Storage storage;
    try {
        storage = vfactory::buildUnit(d);
    } catch (const std::invalid_argument& e) {
        throw simtool::Failure(std::string("cannot lay out this unit: ") + e.what());
    }
    vunit::FolderOptions options;
    options.timing = o.timing;
    vunit::createUnitFolder(o.dir, id, storage, options);

    int sectors = 0;
    for (uint8_t present : vunit::sectorMapOf(id)) sectors += present ? 1 : 0;
    const auto logs = vfactory::logFiles(storage, id);
    std::printf("created a %s unit in %s: %d sectors, %zu items, %zu log files\n", o.kind.c_str(), o.dir.c_str(),
                sectors, d.items.size(), logs.size());
}

} // namespace

void addCreateCommand(CLI::App& app) {
    auto o = std::make_shared<CreateOptions>();
    CLI::App* cmd = app.add_subcommand("create", "Make a new unit folder");
    cmd->footer("Without options: a 32-sector stream unit (PIC18F4520, firmware 1.29, USB 1.3), EEPROM family "
                "0x8100 with volume low and a 30-minute battery saver, three sounds and the directory in sector 0, "
                "no log files.");
    cmd->add_option("DIR", o->dir, "Folder to make (must not hold a unit yet)")->required();
    cmd->add_option("--kind", o->kind, "stream (product id 1) or packet (product id 2)")
        ->check(CLI::IsMember({"stream", "packet"}));
    auto* chip = cmd->add_option("--chip", o->chip, "Memory chip code: 17-21 for 4, 8, 16, 32, 64 sectors (default 20)")
                     ->check(simtool::numberArg(255));
    cmd->add_option("--chips", o->chips, "Four chip codes of a four-slot unit, e.g. 20,20,0,0")->excludes(chip);
    cmd->add_option("--cpu", o->cpu, "CPU device id (default 0x1087, PIC18F4520)")->check(simtool::numberArg(0xFFFF));
    cmd->add_option("--firmware", o->firmware, "Main firmware version (default 1.29)")->check(simtool::versionArg());
    cmd->add_option("--usb", o->usb, "Interface (USB) firmware version (default 1.3)")->check(simtool::versionArg());
    cmd->add_option("--family", o->family, "EEPROM family word (default 0x8100)")->check(simtool::numberArg(0xFFFF));
    cmd->add_option("--serial", o->serial, "Serial number (default 1001)")->check(simtool::numberArg(0xFFFFFFFFul));
    cmd->add_option("--vendor", o->vendor, "USB vendor id (default 0x16B5)")->check(simtool::numberArg(0xFFFF));
    cmd->add_option("--seed", o->seed, "Seed for the unit's repeatable randomness (default 1)")
        ->check(simtool::numberArg(0xFFFFFFFFul));
    cmd->add_flag("--log-files", o->logFiles, "Lay out empty log files, as clearing the log space does");
    cmd->add_flag("--timing", o->timing, "Run with USB pacing and command times");
    cmd->callback([o] { runCreate(*o); });
}
