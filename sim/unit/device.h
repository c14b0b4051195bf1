// The inside of a virtual unit: everything the interface processor, the main
// processor's application and its boot-loader share. unit.cpp owns one per
// Unit and calls in here under the unit's lock, one output report at a time.
#pragma once

#include "faults.h"
#include "rng.h"
#include "stream_framing.h"
#include "trace.h"
#include "unit_state.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace vunit {

using WallClock = std::chrono::steady_clock;

// The main processor's states (see interface_processor.cpp for the moves).
enum class MainState : uint8_t { Off = 0, Held = 1, Application = 2, Bootloader = 3 };
const char* stateName(MainState s);

struct InReport {
    std::vector<uint8_t> bytes;
    WallClock::time_point due; // readable from then on
};

// Input reports the host has not read yet; the host's HID driver keeps 200
// and loses the oldest beyond that, and so does the unit's wire.
constexpr size_t kInputBuffers = 200;

struct Device {
    Identity id;
    Storage storage;
    ProgramChip chip{};
    bool timing = false;
    Trace trace;
    Faults faults;
    Rng rng;

    // Interface processor.
    MainState state = MainState::Off;
    std::array<uint8_t, 6> pins{};
    StreamDecoder decoder; // the application's frame decoder

    // Application (volatile: cleared when it stops).
    bool downloadMode = false;
    bool interruptsOff = false;

    // Boot-loader.
    uint16_t counter = 0;
    uint32_t resetWordsWritten = 0; // first-block words it wrote since the block was erased
    bool jumpPending = false; // 0x16 accepted: the boot-loader runs after the answer

    // Model clock (timing.h), microseconds.
    uint64_t clockUs = 0;     // end of the output report being handled
    uint64_t inFreeUs = 0;    // end of the last input report sent
    uint64_t cpuFreeUs = 0;   // the main processor is busy until then
    uint64_t flashFreeUs = 0; // the external flash is erasing until then

    // Where the write being handled sits on the wall clock.
    WallClock::time_point anchorWall{};
    uint64_t anchorModelUs = 0;
    WallClock::time_point lastDue{};

    std::deque<InReport> inbox;

    // Results of the report being handled.
    bool changed = false;  // storage changed: persist
    bool powerCut = false; // power failed: persist, unplug
    bool cutBefore = false; // ... before the operation began: leave it undone
};

// Stated time `us` when timing is on, else nothing.
inline uint64_t cost(const Device& d, uint64_t us) { return d.timing ? us : 0; }

// --- answers.cpp: every input report leaves through here.
enum class AnswerKind : uint8_t {
    Response, // framed (stream) or one packet (packet unit)
    Raw,      // unframed 7-byte blocks
    Status,   // an 8-byte status report, ready made
};
void sendAnswer(Device& d, AnswerKind kind, std::vector<uint8_t> message, uint64_t readyUs);
// The one answer for anything the unit cannot or will not do.
std::vector<uint8_t> refused();
// Data bytes a read answer carries: `asked`, or fewer once (short-read fault).
size_t readAnswerLength(Device& d, size_t asked);
// A program or erase is about to happen: true when the power fails in it
// (the caller then leaves it torn, or undone when cutBefore, and stops).
bool powerFailsDuring(Device& d, FaultKind kind);

// --- interface_processor.cpp
// Whether the unit takes an output report of this id and length.
bool takesReport(const Device& d, const uint8_t* data, size_t length);
// Size of the report that `data` is (by its id), for the trace.
size_t reportSizeOf(const Device& d, const uint8_t* data);
// One report that takesReport accepted.
void handleReport(Device& d, const uint8_t* data);
void setState(Device& d, MainState s);

// --- main_commands.cpp: one framed request to the running application.
void runCommand(Device& d, const std::vector<uint8_t>& request);

// --- memory_commands.cpp / program_commands.cpp: parts of runCommand. Each
// returns the answer; `t` is the model time, moved on by the work done.
std::vector<uint8_t> memoryCommand(Device& d, const std::vector<uint8_t>& request, uint64_t& t);
std::vector<uint8_t> programCommand(Device& d, const std::vector<uint8_t>& request, uint64_t& t);
bool isMemoryCommand(uint8_t code);
bool isProgramCommand(uint8_t code);
// After 0x16 was answered: the PIC18F4550 boot-loader takes the image from
// external flash (or stays, when there is none).
void runJump(Device& d, uint64_t& t);

// --- bootloader.cpp: one output report's bytes (after the id) to the boot-loader.
void runBootloader(Device& d, const uint8_t* bytes, size_t n);

} // namespace vunit
