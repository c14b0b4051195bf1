#include "unitsettings.h"

#include "unitlink.h"
#include "unitrefresh.h"

#include <cctype>
#include <climits>
#include <cstdio>

ConfigureView configureView(const UnitState& state, bool unitOpen) {
    ConfigureView view;
    if (!unitOpen || !state.unitConfigurable) return view;
    view.volumeEnabled = true;
    view.minutesEnabled = !state.codedLayout; // those units keep their battery-saver time
    std::printf("vol %d\n", state.volume);
    if (state.volume <= 2) view.markedVolume = state.volume;
    view.minutes = std::to_string(state.batterySaverSeconds / 60);
    return view;
}

namespace {

// A signed whole number and nothing else (blanks around it allowed); 0 for
// anything else, an int's range included, as an edit box's number reads.
int wholeNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const size_t digits = i;
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return 0;
    }
    if (i == digits) return 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i != text.size()) return 0;
    value = negative ? -value : value;
    if (value > INT_MAX || value < INT_MIN) return 0;
    return static_cast<int>(value);
}

} // namespace

int clampedBatterySaverMinutes(const std::string& minutesText) {
    const int minutes = wholeNumber(minutesText);
    if (minutes < kMinBatterySaverMinutes) return kMinBatterySaverMinutes;
    if (minutes > kMaxBatterySaverMinutes) return kMaxBatterySaverMinutes;
    return minutes;
}

void readConfigureChoice(UnitState& state, bool muteMarked, bool lowMarked, bool highMarked,
                         const std::string& minutesText) {
    state.volume = 0;
    if (muteMarked) state.volume = 0;
    if (lowMarked) state.volume = 1;
    if (highMarked) state.volume = 2;
    state.batterySaverSeconds = static_cast<uint16_t>(clampedBatterySaverMinutes(minutesText) * 60);
}

namespace {

struct EepromWrite {
    unsigned char address;
    unsigned value;
    unsigned char count;
    const char* trace;
};

} // namespace

bool writeUnitSettings(std::atomic<int>& unitHandle, UnitState& state, DialogPort& dialog) {
    const int unit = unitHandle.load();
    if (unit < 0) return false;
    UnitConversation conversation(unit);

    wakeUnit(unit, state, dialog);

    dialog.status("Reading EEPROM...");
    unsigned char image[kEepromBytesRead] = {};
    const bool read = ZELReadEE(unit, 0, image, kEepromBytesRead) != 0;
    dialog.progressPosition(4);
    if (!read) {
        reportCommunicationError(unitHandle, unit, dialog);
        return false;
    }
    dialog.status("Writing EEPROM...");

    unsigned char flags = image[81];
    flags = static_cast<unsigned char>(state.keptFlag2 ? flags | 0x04 : flags & ~0x04);
    flags = static_cast<unsigned char>(state.keptFlag3 ? flags | 0x08 : flags & ~0x08);
    flags = static_cast<unsigned char>(state.keptFlag4 ? flags | 0x10 : flags & ~0x10);
    flags = static_cast<unsigned char>(state.keptFlag5Clear ? flags & ~0x20 : flags | 0x20);
    image[81] = flags;
    if (!state.keptOption37)
        image[37] = 0;
    else if (image[37] == 0)
        image[37] = 31;
    image[6] = state.volume;

    const EepromWrite writes[] = {
        {37, image[37], 1, "Writing %08X to %d\n"},
        {6, image[6], 1, "Writing %08X to %d (volume)\n"},
        {81, image[81], 1, "Writing %08X to %d\n"},
        {91, state.keptByte91, 1, "Writing %08X to %d\n"},
        {89, state.keptWord89, 2, "Writing %08X to %d\n"},
        {45, state.batterySaverSeconds, 2, "Writing %08X to %d\n"},
    };
    for (const EepromWrite& w : writes) {
        std::printf(w.trace, w.value, w.address);
        unsigned char bytes[2] = {static_cast<unsigned char>(w.value & 0xFF), static_cast<unsigned char>(w.value >> 8)};
        if (!ZELWriteEE(unit, w.address, bytes, w.count)) {
            std::fflush(stdout);
            reportCommunicationError(unitHandle, unit, dialog);
            return false;
        }
    }
    std::fflush(stdout);
    dialog.status("Complete");
    return true;
}

bool runSettingsDialog(std::atomic<int>& unitHandle, UnitState& state, const DialogLink& link) {
    DialogPort dialog(link);
    dialog.progressRange(6);
    dialog.progressPosition(0);
    const bool ok = writeUnitSettings(unitHandle, state, dialog);
    dialog.progressPosition(6);
    programWait(100);
    dialog.end(0);
    return ok;
}
