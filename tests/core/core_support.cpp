#include "core_support.h"

#include "unitlink.h"
#include "vfactory/layout.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace coretest {

void useFastWaits() {
    testunits::initialiseLibrary();
    const std::string none = (std::filesystem::temp_directory_path() / "bexo-core-tests-no-unit").string();
#if defined(_WIN32)
    _putenv_s("ZELUSB_VIRTUAL", none.c_str());
#else
    setenv("ZELUSB_VIRTUAL", none.c_str(), 1);
#endif
}

void armNow(const testunits::Plugged& unit, const std::string& spec) {
    testunits::armFault(unit, spec);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

vfactory::UnitDescription stockUnit(vunit::Kind kind) {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.identity.kind = kind;
    d.eeprom.serial = 42;
    d.logFiles = true;
    return d;
}

std::unique_ptr<testunits::Plugged> plugWithLogs(const vfactory::UnitDescription& d,
                                                 const std::vector<uint8_t>& logged) {
    vunit::Storage storage = vfactory::buildUnit(d);
    if (!logged.empty()) vfactory::appendLog(storage, d.identity, logged);
    return testunits::plugUnit(d, storage);
}

DialogLink RecordingDialog::link() {
    DialogLink l;
    l.status = [this](const std::string& text) {
        add("status " + text);
        if (onStatus) onStatus(text);
    };
    l.progressRange = [this](int maximum) { add("range " + std::to_string(maximum)); };
    l.progressPosition = [this](int position) { add("position " + std::to_string(position)); };
    l.messageBox = [this](const std::string& text, const std::string& caption, MessageIcon icon) {
        const char* kind = icon == MessageIcon::Error ? "error" : icon == MessageIcon::Warning ? "warning" : "information";
        add("box " + caption + "|" + kind + "|" + text);
    };
    l.libraryStatus = [this](const _ZEL_STATUS_RECORD&) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++records_;
    };
    l.end = [this](int result) {
        add("end " + std::to_string(result));
        std::lock_guard<std::mutex> lock(mutex_);
        end_ = result;
    };
    return l;
}

void RecordingDialog::add(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
}

std::vector<std::string> RecordingDialog::events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<std::string> RecordingDialog::statuses() {
    std::vector<std::string> out;
    for (const std::string& e : events())
        if (e.rfind("status ", 0) == 0) out.push_back(e.substr(7));
    return out;
}

std::vector<std::string> RecordingDialog::boxes() {
    std::vector<std::string> out;
    for (const std::string& e : events())
        if (e.rfind("box ", 0) == 0) out.push_back(e.substr(4));
    return out;
}

int RecordingDialog::libraryRecords() {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

int RecordingDialog::endResult() {
    std::lock_guard<std::mutex> lock(mutex_);
    return end_;
}

OpenUnit::OpenUnit() { openNextUnit(handle); }
OpenUnit::~OpenUnit() { closeUnit(handle); }

bool reopens(const testunits::Plugged&) {
    const int unit = ZELOpenNextAvailableDevice();
    if (unit < 0) return false;
    ZELCloseDevice(unit);
    return true;
}

} // namespace coretest
