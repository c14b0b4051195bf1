// A small host for the tests: it frames, sends, reads and deframes exactly
// as the host library does, and speaks to a unit only through writeReport
// and readReport. It reads on the caller's thread (no receive thread).
#pragma once

#include "unit.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace hosttest {

using Bytes = std::vector<uint8_t>;
using UnitPtr = std::unique_ptr<vunit::Unit, void (*)(vunit::Unit*)>;

struct Host {
    vunit::Unit* unit = nullptr;
    bool stream = true;
    bool nt = false; // NT-family host: every stream message in 321-byte reports
    // Stream receive state; a message that never sees ETX stays open.
    Bytes message;
    bool inFrame = false, escape = false;
    bool unframed = false;
    std::deque<Bytes> queue;
    std::deque<Bytes> statusReports;
    std::vector<Bytes> seen; // every input report read, in order
};

Host hostFor(vunit::Unit& unit);

// The 321-byte buffers the stream sender writes for `message`.
std::vector<Bytes> streamBuffers(const Bytes& message, bool nt);
// The 271-byte buffer of the packet sender; empty when the message is too long.
Bytes packetBuffer(const Bytes& message);

bool sendMessage(Host& h, const Bytes& message);
// Next queued response, reading reports for up to timeoutMs.
std::optional<Bytes> receive(Host& h, int timeoutMs);
std::optional<Bytes> transact(Host& h, const Bytes& request, int timeoutMs = 2000);
// True when nothing at all arrives within timeoutMs.
bool silent(Host& h, int timeoutMs = 0);

// Stream control report 0x20.
bool control(Host& h, uint8_t what, const std::array<uint8_t, 6>& pins = {});
// Status as _ZEL_STATUS (stream: report bytes 1-4; packet: {0, bit, 2, 0}).
std::optional<std::array<uint8_t, 4>> status(Host& h, int timeoutMs = 2000);
// The whole 8-byte stream status report.
std::optional<Bytes> statusReport(Host& h, int timeoutMs = 2000);
bool setPins(Host& h, const std::array<uint8_t, 6>& pins);
bool powerOn(Host& h);  // no 3500 ms sleep: the unit needs none
bool powerOff(Host& h); // true when answered (stream: code 1)
void reframe(Host& h);

// Unframed transaction; nullopt when a send failed or the answer did not come.
std::optional<Bytes> unframed(Host& h, const Bytes& request, size_t responseLength, int timeoutMs, bool singleReport);
bool setCounter(Host& h, uint16_t value);
void sendZeros49(Host& h);

// The first n bytes of an answer (packet answers come padded to their
// report); empty when there was none.
Bytes head(const std::optional<Bytes>& answer, size_t n);

// a followed by b.
Bytes join(Bytes a, const Bytes& b);

// Little-endian request builders.
Bytes readMemoryRequest(uint32_t address, uint16_t length);
Bytes writeMemoryRequest(uint32_t address, const Bytes& data);
Bytes addressRequest(uint8_t code, uint32_t address);

vunit::Identity streamIdentity(uint16_t cpuId = 0x1087, uint8_t chip = 18);
vunit::Identity packetIdentity(uint16_t cpuId = 0x1087, uint8_t chip = 18);
UnitPtr makeUnit(const vunit::Identity& id, const vunit::UnitOptions& options = {});
// A unit already powered into its application.
UnitPtr poweredUnit(const vunit::Identity& id, Host& h, const vunit::UnitOptions& options = {});

} // namespace hosttest
