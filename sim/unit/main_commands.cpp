// The application on the main processor: one framed request in, at most one
// answer out. Requests whose length does not match their command, unknown
// commands, and anything out of range get the refused answer, 00.
//
//   0D            -> 08 major minor chip cpuLo cpuHi [chip0..chip3 when chip = AA]
//   09 addr count -> 07 + count EEPROM bytes          (addr + count <= 256)
//   08 addr data  -> 01                               (addr + n <= 256; n may be 0)
//   0F            -> 01, then the main processor is off (stream units; packet
//                    units have it in the interface)
//   1D 01         -> 05, interrupts off
//   1D 00         -> 01, interrupts on
//   0A / 0B       -> 01, download mode on / off (shown in the status byte;
//                    nothing else depends on it)
//   12 13 14 15 23   memory_commands.cpp
//   10 11 1C 16      program_commands.cpp
// The CPU id is in the version record whatever the firmware version; the
// host decides whether to believe it.
#include "device.h"
#include "timing.h"

#include <algorithm>

namespace vunit {

namespace {

std::vector<uint8_t> version(const Device& d) {
    std::vector<uint8_t> a{0x08, d.id.firmwareMajor, d.id.firmwareMinor, d.id.chipCode,
                           static_cast<uint8_t>(d.id.cpuId & 0xFF), static_cast<uint8_t>(d.id.cpuId >> 8)};
    if (d.id.chipCode == 0xAA)
        for (uint8_t chip : d.id.chips) a.push_back(chip);
    return a;
}

std::vector<uint8_t> readEeprom(Device& d, const std::vector<uint8_t>& r) {
    if (r.size() != 3) return refused();
    const size_t address = r[1], count = r[2];
    if (address + count > kEepromSize) return refused();
    const size_t n = readAnswerLength(d, count);
    std::vector<uint8_t> a{0x07};
    a.insert(a.end(), d.storage.eeprom.begin() + static_cast<std::ptrdiff_t>(address),
             d.storage.eeprom.begin() + static_cast<std::ptrdiff_t>(address + n));
    return a;
}

std::vector<uint8_t> writeEeprom(Device& d, const std::vector<uint8_t>& r, uint64_t& t) {
    if (r.size() < 2) return refused();
    const size_t address = r[1], count = r.size() - 2;
    if (address + count > kEepromSize) return refused();
    if (count == 0) return {0x01};
    std::copy(r.begin() + 2, r.end(), d.storage.eeprom.begin() + static_cast<std::ptrdiff_t>(address));
    d.storage.eepromDirty = true;
    d.changed = true;
    t += cost(d, timing::kEepromPerByteUs * count);
    return {0x01};
}

} // namespace

void runCommand(Device& d, const std::vector<uint8_t>& r) {
    uint64_t t = std::max(d.clockUs, d.cpuFreeUs);
    std::vector<uint8_t> answer;
    bool powerOff = false;
    const uint8_t code = r[0];
    if (code == 0x0D) {
        answer = r.size() == 1 ? version(d) : refused();
    } else if (code == 0x09) {
        answer = readEeprom(d, r);
    } else if (code == 0x08) {
        answer = writeEeprom(d, r, t);
    } else if (code == 0x0F && d.id.kind == Kind::Stream) {
        answer = r.size() == 1 ? std::vector<uint8_t>{0x01} : refused();
        powerOff = r.size() == 1;
    } else if (code == 0x1D) {
        if (r.size() == 2 && r[1] <= 1) {
            d.interruptsOff = r[1] == 1;
            answer = {static_cast<uint8_t>(r[1] == 1 ? 0x05 : 0x01)};
        } else {
            answer = refused();
        }
    } else if (code == 0x0A || code == 0x0B) {
        if (r.size() == 1) {
            d.downloadMode = code == 0x0A;
            answer = {0x01};
        } else {
            answer = refused();
        }
    } else if (isMemoryCommand(code)) {
        answer = memoryCommand(d, r, t);
    } else if (isProgramCommand(code)) {
        answer = programCommand(d, r, t);
    } else {
        answer = refused();
    }
    if (d.powerCut) return;
    d.cpuFreeUs = t;
    sendAnswer(d, AnswerKind::Response, std::move(answer), t);
    if (powerOff) setState(d, MainState::Off);
    if (d.jumpPending) {
        runJump(d, t);
        d.cpuFreeUs = t;
    }
}

} // namespace vunit
