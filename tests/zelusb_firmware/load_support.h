// Loading firmware into virtual units for the tests: files, one load with
// what it printed and posted, and the load as the unit saw it on the wire.
#pragma once

#include "../zelusb_virtual/virtual_units.h"
#include "hex_text.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace loadtest {

using Bytes = std::vector<uint8_t>;

struct Files {
    std::string bootloader, firmware;
    Bytes image; // what the unit's program memory should hold where the files put words
    uint32_t bootStart = 0, bootEnd = 0, firmwareEnd = 0;
    std::string chip;
};

// A boot-loader (vector words at 0, a body at bootStart) and a firmware of
// firmwareWords words from word 0, both made up, for one chip.
Files madeUpFiles(const std::string& chip, uint32_t firmwareWords, uint32_t bootStart, uint32_t bootWords);

// Everything ZELLoadFirmware printed on standard output while `call` ran.
std::string printedBy(const std::function<void()>& call);

struct Outcome {
    int result = -1;
    std::string printed;
    std::vector<_ZEL_STATUS_RECORD> records; // empty on Windows (no sink)
};
Outcome loadFiles(int unit, const Files& files, uint16_t cpuId, const std::string& chipName);

// ZELInitDevice's answers, as bexolog passes them on to the loader.
struct Identified {
    bool ok = false;
    unsigned char bootMode = 9;
    unsigned short cpuId = 0;
    char name[16] = {};
};
Identified identify(int unit);

// The unit's program memory words [from, to) as image bytes.
Bytes programWords(const vunit::Storage& s, uint32_t from, uint32_t to);
Bytes imageWords(const Bytes& image, uint32_t from, uint32_t to);

// What crossed the wire, read back from the unit's trace.
struct Wire {
    std::vector<Bytes> framed; // requests the application took, unstuffed (or a packet unit's)
    std::vector<Bytes> boot;   // requests the boot-loader took (each report's bytes after its id)
    int statusRequests = 0;
    size_t outputReports = 0;
    // Every request in order, named: "1C 7000" (framed: command, address),
    // "boot 6", "boot 1:64", "status", "pins", "reframe", "probe" (unframed
    // bytes the application ignores).
    std::vector<std::string> sequence;
    // For each report crossing the wire (either way, in order): how many
    // requests had been made by then.
    std::vector<size_t> requestsAtReport;
};
Wire wireOf(const std::string& trace);
// Boot-loader requests as "1:64" (counter value) or their command byte.
std::vector<std::string> bootCommandNames(const Wire& wire);
// a followed by b.
Bytes concat(Bytes a, const Bytes& b);
// Framed requests with command `code`.
std::vector<Bytes> framedWith(const Wire& wire, uint8_t code);

} // namespace loadtest
