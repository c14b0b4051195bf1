#include "virtual_units.h"

#include "vstore/armed_faults.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace testunits {

namespace {
std::atomic<int> g_counter{0};

// CTest runs test cases in parallel processes: each gets its own folder.
std::filesystem::path freshFolder() {
    static const std::string run = std::to_string(std::random_device{}());
    return std::filesystem::temp_directory_path() / ("zelusb-test-" + run) / ("unit" + std::to_string(g_counter++));
}
} // namespace

void initialiseLibrary() {
    static bool done = [] {
#if defined(_WIN32)
        _putenv_s("ZELUSB_FAST_CLOCK", "1");
#else
        setenv("ZELUSB_FAST_CLOCK", "1", 1);
#endif
        ZELDLLInitialize();
        return true;
    }();
    (void)done;
}

Plugged::~Plugged() {
    ZELVirtualUnplug(dir.string().c_str());
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::string Plugged::trace() const {
    std::ifstream in(dir / "trace.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

vfactory::UnitDescription describe(const UnitSpec& spec) {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.identity.kind = spec.kind;
    d.identity.vendorId = spec.vendor;
    d.identity.chipCode = spec.chipCode;
    d.identity.chips = spec.chips;
    d.identity.cpuId = spec.cpuId;
    d.identity.firmwareMajor = spec.firmwareMajor;
    d.identity.firmwareMinor = spec.firmwareMinor;
    d.eeprom.family = spec.family;
    if (vunit::sectorCountOf(d.identity) < 32) d.items.clear(); // small units hold no sounds
    return d;
}

std::unique_ptr<Plugged> plugUnit(const vfactory::UnitDescription& d, const vunit::Storage& storage,
                                  const vunit::FolderOptions& options) {
    initialiseLibrary();
    auto unit = std::make_unique<Plugged>();
    unit->dir = freshFolder();
    std::filesystem::remove_all(unit->dir);
    vunit::createUnitFolder(unit->dir, d.identity, storage, options);
    unit->path = vunit::loadUnitFolder(unit->dir).identity.path;
    EXPECT_EQ(ZELVirtualPlug(unit->dir.string().c_str()), 1);
    return unit;
}

std::unique_ptr<Plugged> plugUnit(const UnitSpec& spec) {
    initialiseLibrary();
    const vfactory::UnitDescription d = describe(spec);
    vunit::Storage storage = vfactory::buildUnit(d);
    storage.applicationValid = spec.applicationValid;
    vunit::FolderOptions options;
    options.timing = spec.timing;
    if (spec.trace) options.tracePath = "trace.log";
    return plugUnit(d, storage, options);
}

void armFault(const Plugged& unit, const std::string& spec) { vunit::appendFault(unit.dir, spec); }

vunit::Storage storedState(const Plugged& unit) { return vunit::loadUnitFolder(unit.dir).storage; }

void restoreState(const Plugged& unit, vunit::Storage storage) {
    const vunit::Storage now = storedState(unit);
    for (size_t s = 0; s < storage.sectors.size(); ++s) storage.dirtySectors[s] = storage.sectors[s] != now.sectors[s];
    storage.eepromDirty = storage.eeprom != now.eeprom;
    storage.programFlashDirty = storage.programFlash != now.programFlash;
    storage.stateDirty = storage.applicationValid != now.applicationValid;
    vunit::saveStorage(unit.dir, storage, false);
}

uint32_t lastError(int unit, uint32_t* detail) {
    unsigned long code = 0, d = 0;
    EXPECT_EQ(ZELGetLastError(unit, code, d), 1);
    if (detail) *detail = static_cast<uint32_t>(d);
    return static_cast<uint32_t>(code);
}

#if !defined(_WIN32)
void Collector::post(void* context, unsigned int message, uintptr_t wParam, intptr_t lParam) {
    auto* self = static_cast<Collector*>(context);
    std::lock_guard<std::mutex> lock(self->mutex);
    if (message == ZEL_STATUS_MESSAGE) {
        auto* r = reinterpret_cast<_ZEL_STATUS_RECORD*>(lParam);
        self->records.push_back(*r);
        ZELFreeStatusBuffer(r);
    } else if (message == WM_DEVICECHANGE) {
        const char* record = reinterpret_cast<const char*>(lParam);
        self->deviceChanges.emplace_back(wParam, std::string(record + 28));
    }
}

#endif

int openPowered() {
    const int unit = ZELOpenNextAvailableDevice();
    if (unit >= 0) ZELPowerOn(unit);
    return unit;
}

} // namespace testunits
