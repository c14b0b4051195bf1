#include "reset_vector.h"

#include "program_flash.h"

namespace vunit {

namespace {

bool is4550(const Device& d) { return (d.id.cpuId & 0xFFF0) == 0x1200; }

uint32_t blockBytes(const Device& d) { return 2 * d.chip.firstBlockWords; }

void leadTo(Device& d, bool application, bool broken, const char* why) {
    if (d.storage.applicationValid == application && d.storage.resetVectorBroken == broken) return;
    d.storage.applicationValid = application;
    d.storage.resetVectorBroken = broken;
    d.storage.stateDirty = true;
    traceEvent(d.trace, d.clockUs, why);
}

void breakIt(Device& d, const char* why) {
    d.resetWordsWritten = 0;
    leadTo(d, d.storage.applicationValid, true, why);
}

} // namespace

bool touchesResetVector(const Device& d, uint32_t offset, size_t n) { return n > 0 && offset < blockBytes(d); }

void applicationErasedRow(Device& d, uint32_t offset) {
    if (is4550(d) || offset >= kRowBytes) return;
    breakIt(d, "reset vector erased: the unit starts nothing until it is written");
}

void applicationWrote(Device& d, uint32_t offset, size_t n, bool wasErased) {
    if (is4550(d) || !touchesResetVector(d, offset, n)) return;
    const bool vectors = offset == 0 && n >= 2 * d.chip.vectorWords && (wasErased || !d.chip.eraseBeforeWrite);
    if (vectors)
        leadTo(d, false, false, "boot-loader vectors in place: the unit now starts its boot-loader");
    else
        breakIt(d, "reset vector overwritten: the unit starts nothing");
}

void bootloaderErasedRow(Device& d, uint32_t offset) {
    if (offset >= kRowBytes) return;
    breakIt(d, "reset vector erased: the unit starts nothing until it is written");
}

void bootloaderWrote(Device& d, uint32_t offset, size_t n, bool wasErased) {
    if (!touchesResetVector(d, offset, n)) return;
    if (d.chip.eraseBeforeWrite && !wasErased) {
        breakIt(d, "reset vector written over without an erase: the unit starts nothing");
        return;
    }
    const uint32_t words = d.chip.firstBlockWords;
    for (uint32_t w = offset / 2; w < words && w < (offset + n + 1) / 2; ++w) d.resetWordsWritten |= 1u << w;
    const uint32_t whole = words >= 32 ? 0xFFFFFFFFu : (1u << words) - 1;
    if (d.resetWordsWritten == whole)
        leadTo(d, true, false, "first block written: the unit now starts its application");
    else
        leadTo(d, d.storage.applicationValid, true, "reset vector part written: the unit starts nothing yet");
}

void tornByPowerCut(Device& d, uint32_t offset, size_t n) {
    if (touchesResetVector(d, offset, n)) breakIt(d, "reset vector torn: the unit starts nothing");
}

void imageInstalled(Device& d) { leadTo(d, true, false, "boot-loader: the unit now starts its application"); }

bool startsApplication(const Storage& s) { return s.applicationValid && !s.resetVectorBroken; }
bool startsNothing(const Storage& s) { return s.resetVectorBroken; }

} // namespace vunit
