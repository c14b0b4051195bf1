// Virtual units for the library's tests: made in a temporary folder, plugged
// in for one test, pulled out and removed after it.
#pragma once

#include "unit_state.h"
#include "vfactory/layout.h"
#include "vstore/folder.h"
#include "zelusb_virtual.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace testunits {

// Initialises the library once, with the fast clock unless told otherwise.
void initialiseLibrary();

struct UnitSpec {
    vunit::Kind kind = vunit::Kind::Stream;
    uint16_t vendor = 0x16B5;
    uint8_t chipCode = 20;
    std::array<uint8_t, 4> chips{};
    uint16_t cpuId = 0x1087;
    uint8_t firmwareMajor = 1, firmwareMinor = 29;
    uint16_t family = 0x8100;
    bool applicationValid = true;
    bool timing = false;
    bool trace = false;
};

struct Plugged {
    std::filesystem::path dir;
    std::string path; // as the host sees it
    Plugged() = default;
    Plugged(const Plugged&) = delete;
    Plugged& operator=(const Plugged&) = delete;
    ~Plugged();
    std::string trace() const; // the wire trace so far
};

// Makes a unit folder and plugs it in.
std::unique_ptr<Plugged> plugUnit(const UnitSpec& spec = {});
// The same for a unit laid out from a description.
std::unique_ptr<Plugged> plugUnit(const vfactory::UnitDescription& description, const vunit::Storage& storage,
                                  const vunit::FolderOptions& options = {});
// The description plugUnit(spec) lays out.
vfactory::UnitDescription describe(const UnitSpec& spec);
// Arms a fault in the unit's folder: it fires the next time the unit is spoken to.
void armFault(const Plugged& unit, const std::string& spec);
// The unit's storage as it is on disk now.
vunit::Storage storedState(const Plugged& unit);
// Replaces the storage on disk; the unit must not be open.
void restoreState(const Plugged& unit, vunit::Storage storage);

uint32_t lastError(int unit, uint32_t* detail = nullptr);

#if !defined(_WIN32)
// A sink that collects what the library posts.
struct Collector {
    std::mutex mutex;
    std::vector<_ZEL_STATUS_RECORD> records;
    std::vector<std::pair<uintptr_t, std::string>> deviceChanges; // event, path
    ZEL_SINK sink{&Collector::post, this};
    static void post(void* context, unsigned int message, uintptr_t wParam, intptr_t lParam);
};
#endif

// Opens the next unit and powers it up so framed commands are answered.
int openPowered();

} // namespace testunits
