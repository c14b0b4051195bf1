// Faults a unit can be told to show, each once.
//
// Syntax: one or more specs separated by commas or white space; each is
// NAME or NAME:N with N a decimal number >= 1. An answer is anything the unit
// sends back for one request: a framed or packet response, the 7-byte blocks
// of an unframed answer, or a status report.
//
//   drop-response          the next answer is not sent (its command still runs)
//   late-response[:ms]     the next answer is sent ms later (default 6000, past
//                          the host's 5000 ms wait), in wall time and model time;
//                          later answers queue behind it
//   wrong-code             the next response message (not a status report)
//                          goes out with its first byte replaced by 0xEE
//   short-read[:bytes]     the next answer to a read (0x12 memory, 0x09 EEPROM,
//                          0x10 program flash) carries only `bytes` data bytes
//                          (default: half of what was asked, rounded down)
//   garbage[:reports]      the next answer is preceded by `reports` (default 3)
//                          input reports of seeded random bytes (stream units:
//                          id 1; packet units: id 0xC9)
//   unplug-after:N         the unit is unplugged once N more reports have
//                          crossed the wire (output reports when written, input
//                          reports when read); an output report that is the Nth
//                          is still acted on, but its answers are lost
//   power-cut-program:N    the Nth program operation from now (0x14 write, 0x15
//                          copy, 0x11 write, boot-loader writes 3/4/5, the
//                          PIC18F4550 install) is cut off part-way
//   power-cut-erase:N      the Nth erase from now (0x13 sector, 0x1C block,
//                          boot-loader 6) is cut off part-way
//   power-cut:N            the Nth program or erase operation from now,
//                          whichever kind, is cut off part-way (for sweeping
//                          a cut over every flash operation of a host's work)
//   power-off:N            the power fails just before the Nth program or
//                          erase operation from now: nothing of it is done
//   stall-output[:ms]      from the next output report on, the unit takes no
//                          output reports for ms (default 6000, past the
//                          host's 5000 ms write wait): its endpoint NAKs them
//
// A power cut leaves the page, row or sector torn: a seeded number of bytes
// done, one byte half done, the rest as before. The storage is persisted and
// the unit unplugged without answering; it can be made again from what the
// storage then holds. Several faults may be armed at once, also of one kind;
// counted faults count from their own arming.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vunit {

enum class FaultKind : uint8_t {
    DropResponse,
    LateResponse,
    WrongCode,
    ShortRead,
    Garbage,
    UnplugAfter,
    PowerCutProgram,
    PowerCutErase,
    PowerCut, // program or erase
    PowerOff, // before a program or erase
    StallOutput,
};

struct FaultSpec {
    FaultKind kind = FaultKind::DropResponse;
    bool hasValue = false;
    uint32_t value = 0;
};

// All specs of `text`, or nothing when any part is not understood.
std::optional<std::vector<FaultSpec>> parseFaults(const std::string& text);

// Armed faults of one unit, oldest first.
struct Faults {
    std::vector<FaultSpec> armed; // counted kinds keep their remaining count in `value`
};

void arm(Faults& faults, const std::vector<FaultSpec>& specs);
// Fires (and removes) the oldest armed fault of `kind`.
std::optional<FaultSpec> take(Faults& faults, FaultKind kind);
// One more event of a counted kind: counts every armed fault of that kind
// down and fires the first one that reaches zero.
bool countDown(Faults& faults, FaultKind kind);

} // namespace vunit
