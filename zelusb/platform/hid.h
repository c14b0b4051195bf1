// The host seam: everything zelusb needs from the operating system's HID
// stack, and nothing else. One backend per file:
//   hid_win32.cpp    SetupAPI + HID class driver, overlapped I/O (Windows)
//   hid_linux.cpp    hidraw via sysfs, netlink uevents for hot-plug (Linux)
//   hid_virtual.cpp  virtual Bexo units named by ZELUSB_VIRTUAL (any host)
// hid_select.cpp routes each call to the virtual backend when ZELUSB_VIRTUAL
// is set (or units were plugged programmatically), else to the native one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelhid {

struct DeviceInfo {
    std::string path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

struct Device; // an open device; owned by its backend

// Present HID interfaces in enumeration order, with their ids. Devices whose
// ids can't be read (no permission, gone) are left out.
std::vector<DeviceInfo> enumerate();

// Opens for reading and writing so that a second opener with write access,
// in this or another process, fails. nullptr on failure; `busy` tells a
// device that is open elsewhere from one that could not be opened at all.
Device* openExclusive(const std::string& path, bool* busy = nullptr);
void close(Device* device);

// The driver keeps this many input reports while nobody reads (Windows: 200).
void setInputBuffers(Device* device, int count);

enum class WriteStatus {
    Ok,
    Failed,    // the write was refused outright
    TimedOut,  // not complete within the time-out (waitResult 258)
    Abandoned, // the wait was abandoned (waitResult 128)
    Short      // completed with fewer bytes than asked
};
struct WriteResult {
    WriteStatus status = WriteStatus::Failed;
    uint32_t written = 0;
    uint32_t waitResult = 0;
};
// Writes one output report: `data[0]` is the report id, `length` the whole
// buffer as the caller built it. Cancels the I/O on any failure.
WriteResult writeReport(Device* device, const uint8_t* data, size_t length, int timeoutMs);

// Reads input reports (one or more whole reports) into `buffer`. Waits up to
// timeoutMs (negative: forever). Returns the bytes read, 0 on time-out, -1
// when the read failed, the device is gone, or stopReads was called.
int readReports(Device* device, uint8_t* buffer, size_t capacity, int timeoutMs);

// Makes a pending and every later readReports on this device return -1
// (the receive thread's stop event).
void stopReads(Device* device);

// Hot-plug: `notify` is called from a backend thread with arrived = true or
// false and the device's path, for HID interfaces only. One watcher per
// process; starting it again replaces the callback.
using DeviceNotify = void (*)(void* context, bool arrived, const std::string& path);
bool watchDevices(DeviceNotify notify, void* context);

// True when the device is a virtual unit (the fast clock may apply).
bool isVirtual(const Device* device);

} // namespace zelhid
