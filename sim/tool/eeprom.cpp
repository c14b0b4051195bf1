// bexo-sim eeprom: hex dump of the unit's EEPROM, and byte changes.
#include "args.h"
#include "commands.h"
#include "unit_access.h"

#include <cstdio>
#include <memory>

namespace {

struct EepromOptions {
    std::string dir;
    std::vector<std::string> sets;
};

struct ByteSet {
    std::size_t address;
    uint8_t value;
};

ByteSet parseSet(const std::string& text) {
    const auto eq = text.find('=');
    const auto address = eq == std::string::npos ? std::nullopt : simtool::parseNumber(text.substr(0, eq), 255);
    const auto value = eq == std::string::npos ? std::nullopt : simtool::parseNumber(text.substr(eq + 1), 255);
    if (!address || !value) throw simtool::Failure("--set takes ADDR=BYTE, each 0-255 (e.g. 6=2 or 0x2D=0x08), not '" + text + "'");
    return {*address, static_cast<uint8_t>(*value)};
}

void dump(const std::array<uint8_t, vunit::kEepromSize>& e) {
    for (std::size_t row = 0; row < e.size(); row += 16) {
        std::printf("%02zX:", row);
        for (std::size_t i = row; i < row + 16; ++i) std::printf(" %02X", e[i]);
        std::printf("\n");
    }
}

void runEeprom(const EepromOptions& o) {
    std::vector<ByteSet> sets;
    for (const std::string& s : o.sets) sets.push_back(parseSet(s));
    if (sets.empty()) {
        dump(simtool::readUnit(o.dir).storage.eeprom);
        return;
    }
    simtool::changeUnit(o.dir, [&](vunit::UnitFolder& u) {
        for (const ByteSet& s : sets) u.storage.eeprom[s.address] = s.value;
        u.storage.eepromDirty = true;
        dump(u.storage.eeprom);
    });
}

} // namespace

void addEepromCommand(CLI::App& app) {
    auto o = std::make_shared<EepromOptions>();
    CLI::App* cmd = app.add_subcommand("eeprom", "Hex dump of the unit's 256-byte EEPROM, after any --set changes");
    cmd->add_option("DIR", o->dir, "Unit folder")->required();
    cmd->add_option("--set", o->sets, "ADDR=BYTE, decimal or 0x hex; may be repeated");
    cmd->callback([o] { runEeprom(*o); });
}
