// The application's external-flash commands (addresses: sector << 16 | offset;
// every byte a command touches must lie in a present sector, or it is refused).
//
//   12 addr(4) len(2)   -> 06 + min(len, largest) bytes. The largest read is
//                          4079 bytes on packet units (an 0xCB report holds
//                          4080 bytes after its id) and 256 on stream units
//                          (the application's read buffer); a bigger request
//                          gets that many bytes, a short reply the host
//                          retries with the shorter length. Never more than asked.
//   14 addr(4) data     -> 01; programs NOR-wise (old AND data); the message
//                          may be as long as the framing carries.
//   13 addr(4)          -> 01 at once; the sector holding addr becomes 0xFF.
//                          With timing the chip then erases for 700 ms.
//   23 addr(4)          -> 05 while that erase is still running, else 01.
//   15 ss so(2) ds do(2) count(2)
//                       -> 01; programs count bytes from ss:so into ds:do
//                          NOR-wise (the source is read first, so overlap is
//                          harmless).
// Commands other than 23 wait until an erase in progress has finished.
#include "device.h"
#include "nor_flash.h"
#include "timing.h"

#include <algorithm>

namespace vunit {

namespace {

constexpr size_t kMaxStreamRead = 256;
constexpr size_t kMaxPacketRead = 4079;

uint32_t le32(const std::vector<uint8_t>& r, size_t i) {
    return static_cast<uint32_t>(r[i]) | static_cast<uint32_t>(r[i + 1]) << 8 | static_cast<uint32_t>(r[i + 2]) << 16 |
           static_cast<uint32_t>(r[i + 3]) << 24;
}

uint32_t le16(const std::vector<uint8_t>& r, size_t i) {
    return static_cast<uint32_t>(r[i]) | static_cast<uint32_t>(r[i + 1]) << 8;
}

bool sectorPresent(const Device& d, uint32_t address) {
    return (address >> 16) < kMaxSectors && !d.storage.sectors[address >> 16].empty();
}

uint64_t pagesTouched(uint32_t address, size_t n) {
    if (n == 0) return 0;
    return ((static_cast<uint64_t>(address) + n - 1) >> 8) - (address >> 8) + 1;
}

std::vector<uint8_t> readMemory(Device& d, const std::vector<uint8_t>& r) {
    if (r.size() != 7) return refused();
    const uint32_t address = le32(r, 1);
    const size_t largest = d.id.kind == Kind::Packet ? kMaxPacketRead : kMaxStreamRead;
    const size_t n = std::min<size_t>(le16(r, 5), largest);
    if (!flashRangePresent(d.storage, address, n)) return refused();
    std::vector<uint8_t> a{0x06};
    const auto data = readFlash(d.storage, address, readAnswerLength(d, n));
    a.insert(a.end(), data.begin(), data.end());
    return a;
}

std::vector<uint8_t> writeMemory(Device& d, const std::vector<uint8_t>& r, uint64_t& t) {
    if (r.size() < 5) return refused();
    const uint32_t address = le32(r, 1);
    const size_t n = r.size() - 5;
    if (!flashRangePresent(d.storage, address, n)) return refused();
    if (n == 0) return {0x01};
    d.changed = true;
    if (powerFailsDuring(d, FaultKind::PowerCutProgram)) {
        if (!d.cutBefore) programFlashTorn(d.storage, address, r.data() + 5, n, d.rng);
        return {};
    }
    programFlash(d.storage, address, r.data() + 5, n);
    t += cost(d, timing::kPageProgramUs * pagesTouched(address, n));
    return {0x01};
}

std::vector<uint8_t> erase(Device& d, const std::vector<uint8_t>& r, uint64_t t) {
    if (r.size() != 5) return refused();
    const uint32_t address = le32(r, 1);
    if (!sectorPresent(d, address)) return refused();
    d.changed = true;
    if (powerFailsDuring(d, FaultKind::PowerCutErase)) {
        if (!d.cutBefore) eraseSectorTorn(d.storage, address >> 16, d.rng);
        return {};
    }
    eraseSector(d.storage, address >> 16);
    d.flashFreeUs = t + cost(d, timing::kSectorEraseUs);
    return {0x01};
}

std::vector<uint8_t> eraseFollowUp(const Device& d, const std::vector<uint8_t>& r, uint64_t t) {
    if (r.size() != 5 || !sectorPresent(d, le32(r, 1))) return refused();
    return {static_cast<uint8_t>(t < d.flashFreeUs ? 0x05 : 0x01)};
}

std::vector<uint8_t> copy(Device& d, const std::vector<uint8_t>& r, uint64_t& t) {
    if (r.size() != 9) return refused();
    const uint32_t source = static_cast<uint32_t>(r[1]) << 16 | le16(r, 2);
    const uint32_t dest = static_cast<uint32_t>(r[4]) << 16 | le16(r, 5);
    const size_t n = le16(r, 7);
    if (!flashRangePresent(d.storage, source, n) || !flashRangePresent(d.storage, dest, n)) return refused();
    if (n == 0) return {0x01};
    const auto data = readFlash(d.storage, source, n);
    d.changed = true;
    if (powerFailsDuring(d, FaultKind::PowerCutProgram)) {
        if (!d.cutBefore) programFlashTorn(d.storage, dest, data.data(), n, d.rng);
        return {};
    }
    programFlash(d.storage, dest, data.data(), n);
    t += cost(d, timing::kCopyPerByteUs * n);
    return {0x01};
}

} // namespace

bool isMemoryCommand(uint8_t code) {
    return code == 0x12 || code == 0x13 || code == 0x14 || code == 0x15 || code == 0x23;
}

std::vector<uint8_t> memoryCommand(Device& d, const std::vector<uint8_t>& r, uint64_t& t) {
    if (r[0] == 0x23) return eraseFollowUp(d, r, t);
    t = std::max(t, d.flashFreeUs);
    switch (r[0]) {
    case 0x12: return readMemory(d, r);
    case 0x14: return writeMemory(d, r, t);
    case 0x13: return erase(d, r, t);
    default: return copy(d, r, t);
    }
}

} // namespace vunit
