// The export program's core against virtual units: a unit plugged for one
// test, and a dialog that records what the core shows it.
#pragma once

#include "../zelusb_virtual/virtual_units.h"
#include "dialoglink.h"
#include "unitrefresh.h"
#include "vfactory/logfiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace coretest {

// The library's and the program's waits shortened (the program's only while
// ZELUSB_VIRTUAL is set: it names no unit here, units are plugged).
void useFastWaits();

// Faults armed in the folder reach an open unit within a tenth of a second.
void armNow(const testunits::Plugged& unit, const std::string& spec);

// A stock unit (32-sector stream unit, three sounds) with the log space laid
// out and `logged` bytes of log in it.
vfactory::UnitDescription stockUnit(vunit::Kind kind = vunit::Kind::Stream);
std::unique_ptr<testunits::Plugged> plugWithLogs(const vfactory::UnitDescription& d,
                                                 const std::vector<uint8_t>& logged);

// Everything a dialog was told, one line each: "status Reading...",
// "range 6", "position 1", "box Error|text", "end 1".
class RecordingDialog {
public:
    DialogLink link();
    std::vector<std::string> events();
    std::vector<std::string> statuses();
    std::vector<std::string> boxes();
    int endResult(); // -1 when not ended
    int libraryRecords(); // status records the library posted to it
    // Runs on the conversation's thread when a status line is shown, before
    // the step it names: where a test arms a fault for that step.
    std::function<void(const std::string&)> onStatus;

private:
    void add(const std::string& event);
    std::mutex mutex_;
    std::vector<std::string> events_;
    int end_ = -1;
    int records_ = 0;
};

// A unit opened by the core's own call, closed at the end of the test.
struct OpenUnit {
    std::atomic<int> handle{-1};
    OpenUnit();
    ~OpenUnit();
};

// The slot can be opened again: nothing holds the device.
bool reopens(const testunits::Plugged& unit);

} // namespace coretest
