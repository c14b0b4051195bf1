#include "unit_session.h"

#include "numberarg.h"
#include "unitlink.h"

#include <cstdio>

namespace {

const char* const kNoUnit = "no Bexo unit found. Plug one in (on Linux, install zelusb/platform/70-bexo.rules for "
                            "access), or name virtual units in ZELUSB_VIRTUAL.";

// The serial number in EEPROM bytes 2-5; the main processor answers only powered.
std::optional<uint32_t> serialOf(int unit) {
    _ZEL_STATUS status{};
    if (!ZELStatus(unit, &status)) return std::nullopt;
    if (!(status.b[1] & 1) && !ZELPowerOn(unit)) return std::nullopt;
    unsigned char ee[6] = {};
    if (!ZELReadEE(unit, 0, ee, 6)) return std::nullopt;
    return static_cast<uint32_t>(ee[2]) | static_cast<uint32_t>(ee[3]) << 8 | static_cast<uint32_t>(ee[4]) << 16 |
           static_cast<uint32_t>(ee[5]) << 24;
}

} // namespace

void addUnitOptions(CLI::App* command, UnitChoice& choice) {
    auto* index = command->add_option("--unit", choice.index,
                                      "The N-th unit that can be opened, from 0 (default: the next one)")
                      ->type_name("N")
                      ->check(numberArgument(24));
    command->add_option("--serial", choice.serial, "The unit with this serial number")
        ->type_name("S")
        ->check(numberArgument(0xFFFFFFFFul))
        ->excludes(index);
}

std::vector<int> openEveryUnit() {
    ZELDLLInitialize();
    std::vector<int> units;
    for (int unit; (unit = ZELOpenNextAvailableDevice()) >= 0;) units.push_back(unit);
    return units;
}

UnitSession::~UnitSession() { close(); }

void UnitSession::close() { closeUnit(unit); }

void UnitSession::open(bool power) {
    ZELDLLInitialize();
    if (choice.index.empty() && choice.serial.empty()) {
        unit = ZELOpenNextAvailableDevice();
        if (unit < 0) fail(kNoUnit);
    } else {
        // The others are held open while looking, so each open finds the next.
        std::vector<int> passed;
        const auto wantedIndex = choice.index.empty() ? std::nullopt : parseNumber(choice.index, 24);
        const auto wantedSerial = choice.serial.empty() ? std::nullopt : parseNumber(choice.serial, 0xFFFFFFFFul);
        for (int n = 0;; ++n) {
            const int candidate = ZELOpenNextAvailableDevice();
            if (candidate < 0) break;
            const bool match = wantedIndex ? static_cast<unsigned long>(n) == *wantedIndex
                                           : serialOf(candidate) == static_cast<uint32_t>(*wantedSerial);
            if (match) {
                unit = candidate;
                break;
            }
            passed.push_back(candidate);
        }
        for (const int other : passed) ZELCloseDevice(other);
        if (unit < 0) {
            if (wantedIndex)
                fail("there is no unit " + choice.index + ": " + std::to_string(passed.size()) +
                     (passed.size() == 1 ? " unit" : " units") + " could be opened");
            fail(passed.empty() ? std::string(kNoUnit) : "no unit with serial number " + choice.serial + " found");
        }
    }
    if (!power) return;
    _ZEL_STATUS status{};
    if (!ZELStatus(unit, &status)) failUnit("reading the status");
    if (!(status.b[1] & 1) && !ZELPowerOn(unit)) failUnit("powering the unit up");
}

void UnitSession::fail(const std::string& message, int exitCode) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", command.c_str(), message.c_str());
    close();
    throw CLI::RuntimeError(exitCode);
}

std::string UnitSession::errorWords() const {
    unsigned long code = 0, detail = 0;
    if (unit >= 0) ZELGetLastError(unit, code, detail);
    if (code == 0 && detail == 0) return {};
    char words[64];
    std::snprintf(words, sizeof words, " (error %08lX, detail %lu)", code, detail);
    return words;
}

void UnitSession::failUnit(const std::string& what) {
    unsigned long code = 0, detail = 0;
    if (unit >= 0) ZELGetLastError(unit, code, detail);
    char words[64];
    std::snprintf(words, sizeof words, " (error %08lX, detail %lu)", code, detail);
    fail(what + " failed" + words, 2);
}

DirectoryListing readListing(UnitSession& session) {
    DirectoryListing d;
    d.entries.resize(256);
    int count = 0;
    d.result = ZELReadDirectoryAndSectors(session.unit, d.directorySector, d.sectorCount, d.entries.data(), count, d.map);
    if (d.result < 0) session.failUnit("reading the directory");
    d.entries.resize(d.result == 1 ? static_cast<size_t>(count) : 0);
    if (d.result != 1) d.directorySector = -1;
    return d;
}
