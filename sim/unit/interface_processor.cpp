// The interface processor: it owns the USB side, answers the control and
// status requests itself, switches the main processor's supply, and passes
// everything else to the main processor in whatever state that is in.
//
// Main processor states:
//   OFF          no supply.
//   HELD         supplied, application not started (pin 5 low), or running
//                into a broken reset vector (reset_vector.h): silent.
//   APPLICATION  answers framed requests (stream) / packets.
//   BOOTLOADER   answers only unframed requests (stream units).
//
// Stream units, set-pins control report (pin bytes 0-5 = report bytes 2-7):
//   pins 3 and 4 both 2 = supply on; anything else = supply off -> OFF.
//   Supply on while OFF powers up (a broken reset vector: HELD for good):
//     pin 5 = 0: HELD if the application is valid, else BOOTLOADER;
//     pin 5 = 2: APPLICATION if valid, else BOOTLOADER.
//   Pin 5 rising to 2 while supplied:
//     HELD -> APPLICATION (unless the reset vector is broken);
//     BOOTLOADER -> OFF when the application is valid (the boot-loader
//       switches off after a load so that the next power-up runs the new
//       firmware), else it stays in its boot-loader.
//   Pin 5 falling changes nothing.
// So ZELPowerOn ({0,0,0,2,2,0}, then {0,0,0,2,2,2}) goes OFF -> HELD ->
// APPLICATION, and the same first step on a unit without a valid application
// leaves its boot-loader answering unframed requests.
// Command 0x0F (application) answers 1 and then switches to OFF; the pins
// keep their values, so the next pin write with the supply on powers up.
//
// Packet units have no pins. The interface itself answers, in any state:
//   0x22     status, 2 bytes: 01, then bit 0 powered, bits 1-2 the state,
//            bit 3 download mode, bit 4 interrupts off;
//   0x1D 4   power on (as pin 5 = 2 from OFF), 1 byte: 01;
//   0x0F     power off, 1 byte: 01.
// A malformed packet is refused by the interface in any state.
//
// Stream status report (control byte 1 = 1): id 2, then
//   byte 1  the state (bits 0-1), download mode (bit 2), interrupts off (bit 3)
//   byte 2  bit 0: main processor supplied (HELD, APPLICATION or BOOTLOADER)
//   byte 3-4 interface firmware version, major and minor; bytes 5-7 zero.
// Control byte 1 = 0 (reframe) drops whatever partial framed message the
// application holds; other control values are ignored.
//
// Leaving a state clears the application's volatile state (download mode,
// interrupts) and its frame decoder; entering BOOTLOADER sets its counter 0.
#include "device.h"
#include "packet_framing.h"
#include "reset_vector.h"

#include <algorithm>
#include <string>

namespace vunit {

const char* stateName(MainState s) {
    switch (s) {
    case MainState::Off: return "OFF";
    case MainState::Held: return "HELD";
    case MainState::Application: return "APPLICATION";
    case MainState::Bootloader: return "BOOTLOADER";
    }
    return "?";
}

void setState(Device& d, MainState s) {
    if (d.state == s) return;
    traceEvent(d.trace, d.clockUs, std::string("power ") + stateName(d.state) + " -> " + stateName(s));
    d.state = s;
    d.downloadMode = false;
    d.interruptsOff = false;
    d.jumpPending = false;
    resetDecoder(d.decoder);
    d.counter = 0;
    d.resetWordsWritten = 0;
}

namespace {

constexpr uint8_t kControl = 0x20;

void powerUp(Device& d, bool pin5High) {
    if (startsNothing(d.storage)) {
        setState(d, MainState::Held);
        traceEvent(d.trace, d.clockUs, "reset vector broken: the main processor answers nothing");
    } else if (!d.storage.applicationValid) {
        setState(d, MainState::Bootloader);
    } else {
        setState(d, pin5High ? MainState::Application : MainState::Held);
    }
}

void setPins(Device& d, const uint8_t* p) {
    const uint8_t oldPin5 = d.pins[5];
    for (size_t i = 0; i < 6; ++i) d.pins[i] = p[i];
    if (!(p[3] == 2 && p[4] == 2)) {
        setState(d, MainState::Off);
        return;
    }
    if (d.state == MainState::Off) {
        powerUp(d, p[5] == 2);
        return;
    }
    if (!(oldPin5 != 2 && p[5] == 2)) return;
    if (d.state == MainState::Held && startsApplication(d.storage))
        setState(d, MainState::Application);
    else if (d.state == MainState::Bootloader && startsApplication(d.storage))
        setState(d, MainState::Off);
}

uint8_t statusBits(const Device& d) {
    return static_cast<uint8_t>(static_cast<uint8_t>(d.state) | (d.downloadMode ? 0x04 : 0) |
                                (d.interruptsOff ? 0x08 : 0));
}

bool powered(const Device& d) { return d.state != MainState::Off; }

void handleControl(Device& d, const uint8_t* data) {
    switch (data[1]) {
    case 0: resetDecoder(d.decoder); break;
    case 1:
        sendAnswer(d, AnswerKind::Status,
                   {0x02, statusBits(d), static_cast<uint8_t>(powered(d) ? 1 : 0), d.id.usbMajor, d.id.usbMinor, 0, 0, 0},
                   d.clockUs);
        break;
    case 2: setPins(d, data + 2); break;
    default: break;
    }
}

void handleStreamData(Device& d, const uint8_t* data, size_t size) {
    if (d.state == MainState::Bootloader) {
        runBootloader(d, data + 1, size - 1);
        return;
    }
    if (d.state != MainState::Application) return;
    std::vector<DecodedMessage> messages;
    feedStream(d.decoder, data + 1, size - 1, messages);
    for (const DecodedMessage& m : messages) {
        if (d.powerCut || d.state != MainState::Application) return;
        if (m.overflow)
            sendAnswer(d, AnswerKind::Response, refused(), std::max(d.clockUs, d.cpuFreeUs));
        else if (!m.bytes.empty())
            runCommand(d, m.bytes);
    }
}

void handlePacket(Device& d, const uint8_t* data, size_t size) {
    const auto message = decodePacket(data, size);
    if (!message) {
        sendAnswer(d, AnswerKind::Response, refused(), d.clockUs);
        return;
    }
    const std::vector<uint8_t>& m = *message;
    switch (m[0]) {
    case 0x22:
        if (m.size() != 1) break;
        sendAnswer(d, AnswerKind::Response,
                   {0x01, static_cast<uint8_t>((powered(d) ? 1 : 0) | statusBits(d) << 1)}, d.clockUs);
        return;
    case 0x0F:
        if (m.size() != 1) break;
        setState(d, MainState::Off);
        sendAnswer(d, AnswerKind::Response, {0x01}, d.clockUs);
        return;
    case 0x1D:
        if (m.size() == 2 && m[1] == 4) {
            if (d.state == MainState::Off) powerUp(d, true);
            sendAnswer(d, AnswerKind::Response, {0x01}, d.clockUs);
            return;
        }
        [[fallthrough]]; // interrupts: the application's
    default:
        if (d.state == MainState::Application) runCommand(d, m);
        return;
    }
    sendAnswer(d, AnswerKind::Response, refused(), d.clockUs);
}

} // namespace

size_t reportSizeOf(const Device& d, const uint8_t* data) {
    if (d.id.kind == Kind::Packet) return packetReportSize(data[0]);
    return data[0] == kControl ? 321 : streamReportSize(data[0]);
}

bool takesReport(const Device& d, const uint8_t* data, size_t length) {
    if (length == 0) return false;
    const size_t bufferSize = d.id.kind == Kind::Packet ? kPacketBufferSize : 321;
    return length == bufferSize && reportSizeOf(d, data) != 0;
}

void handleReport(Device& d, const uint8_t* data) {
    if (d.id.kind == Kind::Packet) {
        handlePacket(d, data, packetReportSize(data[0]));
    } else if (data[0] == kControl) {
        handleControl(d, data);
    } else {
        handleStreamData(d, data, streamReportSize(data[0]));
    }
}

} // namespace vunit
