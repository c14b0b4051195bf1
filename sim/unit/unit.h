// A running virtual Bexo unit, spoken to only through HID reports, the way
// the host's HID backend speaks to a real one. Thread-safe: one writer thread
// and one reader thread (the host's receive thread) may use it at once.
#pragma once

#include "unit_state.h"

#include <functional>
#include <memory>
#include <string>

namespace vunit {

struct Unit; // opaque

struct UnitOptions {
    // Full-speed interrupt pacing (one report per ms each way) and stated
    // command times. Off: reports and commands take no time.
    bool timing = false;
    // Wire trace file ("" = none): every report, each direction, hex, with
    // the model's own timestamp so a script gives the same trace every time.
    std::string tracePath;
    // Called (on the writer's thread) after every command that changed the
    // storage, and at a power cut before the unit disappears.
    std::function<void(Storage&)> persist;
};

std::unique_ptr<Unit, void (*)(Unit*)> makeUnit(const Identity& identity, Storage storage, const UnitOptions& options);

// One output report as the host writes it (the whole buffer, byte 0 the
// report id). Returns the bytes taken, or -1 when the unit is unplugged. As
// the HID driver would, it takes nothing (returns 0) from a buffer that is not
// the unit's output report length (321 bytes for stream units, 271 for
// packet units) or whose id the unit does not have. With timing on it returns
// after the report's frames. See README.md for what the unit does with it.
// It also takes nothing while its output endpoint is stalled (a fault):
// outputStalled then says so, and the report may be tried again.
int writeReport(Unit& unit, const uint8_t* data, size_t length);
bool outputStalled(const Unit& unit);

// Waits up to timeoutMs (negative: forever) for the next input report.
// Returns its length (report id included), 0 on time-out, -1 when the unit
// is unplugged or the wait was cancelled with cancelRead. A buffer shorter
// than the report gets its first `capacity` bytes, and that count.
int readReport(Unit& unit, uint8_t* buffer, size_t capacity, int timeoutMs);
// Ends the current (or else the next) readReport with -1, once per call.
void cancelRead(Unit& unit);

void unplug(Unit& unit);
bool isPlugged(const Unit& unit);

// Arms a fault (see faults.h for the syntax); false when the text is
// not understood.
bool armFault(Unit& unit, const std::string& spec);

const Identity& identityOf(const Unit& unit);
// The model clock: how long the unit's own work (frames, stated command
// times) has taken so far, in microseconds. The bound any host can reach.
uint64_t modelTimeUs(const Unit& unit);
// For persistence and inspection; don't hold it across report calls.
Storage& storageOf(Unit& unit);

} // namespace vunit
