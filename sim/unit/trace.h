// Wire trace: one line per report or event, stamped with the model clock.
//
//      12.003 OUT 10 02 0D 04 00 00 00 03 [+313]
//      12.004 IN  01 02 08 01 1D 14 87 10
//      12.010 --- power OFF -> HELD
//      12.011 --- dropped, never read (unplugged): IN  01 02 08 01 1D 14 87 10
//
// Time is seconds.milliseconds of model time (right-aligned, 9 wide). A
// report line shows the report's own bytes (the size its id gives, report id
// first); for reports longer than 16 bytes trailing zeros are left out. A
// closing "[+N]" says that N more bytes were written or sent than shown:
// trimmed zeros, or bytes of the host's fixed-size buffer past the report's
// size, which the unit ignores. Lines come in the order the unit handles
// things, so the same script gives the same file. Input reports are traced
// when the unit sends them; one that the host never got (the cable went, or
// the power, before it was read) is traced again as dropped, so that a trace
// shows exactly what reached the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

namespace vunit {

struct Trace {
    std::ofstream out;
    bool on = false;
};

void openTrace(Trace& trace, const std::string& path);
// `shown` bytes of `data` belong to the report; `total` were on the wire.
void traceReport(Trace& trace, uint64_t timeUs, bool output, const uint8_t* data, size_t shown, size_t total);
void traceEvent(Trace& trace, uint64_t timeUs, const std::string& text);
// An input report that was sent but never read, and why.
void traceDropped(Trace& trace, uint64_t timeUs, const uint8_t* data, size_t size, const std::string& why);

} // namespace vunit
