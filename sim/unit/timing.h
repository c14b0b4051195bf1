// The unit's model clock and the stated times of its work.
//
// The clock counts microseconds from the unit's creation and moves only with
// what the unit does, never with the host's wall clock, so a script always
// gives the same clock (and the same trace):
//  - every report crosses the wire in full-speed interrupt frames: one 64-byte
//    packet per 1 ms frame in each direction, so an 8-byte stream report takes
//    one frame, a 321-byte report six and a 4081-byte packet answer 64;
//  - the host is taken to have read every earlier answer before it writes
//    again, so an output report starts no earlier than the end of the last
//    input report already sent;
//  - with UnitOptions.timing, commands take the times below; without it they
//    take none (frames are still counted, for a readable trace).
// Host idle time (its sleeps) is not part of the clock: after an erase the
// next flash command waits for the rest of the 700 ms in model time even when
// the host slept meanwhile. That only ever costs the host time.
//
// With timing, wall-clock pacing follows the model: a write returns after its
// frames, and an input report is readable once the model time between the
// write that caused it and its last frame has passed on the wall clock.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vunit::timing {

constexpr uint64_t kFrameUs = 1000;
constexpr size_t kPacketBytes = 64;

constexpr uint64_t framesOf(size_t reportBytes) {
    return reportBytes == 0 ? 1 : (reportBytes + kPacketBytes - 1) / kPacketBytes;
}

// Stated command times (timing on).
constexpr uint64_t kSectorEraseUs = 700'000;    // NOR sector erase; the chip is busy, the answer is immediate
constexpr uint64_t kPageProgramUs = 1'000;      // per started 256-byte page programmed by 0x14
constexpr uint64_t kCopyPerByteUs = 4;          // 0x15 reads and programs, about 1 ms per 256 bytes
constexpr uint64_t kEepromPerByteUs = 4'000;    // internal EEPROM write cycle
constexpr uint64_t kRowWriteUs = 2'000;         // program flash: per started 64-byte row written
constexpr uint64_t kRowEraseUs = 2'000;         // program flash: one 64-byte row erased
constexpr uint64_t kInstallPerRowUs = 4'000;    // PIC18F4550 install from external flash: erase + write a row

} // namespace vunit::timing
