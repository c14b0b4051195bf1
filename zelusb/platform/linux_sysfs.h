// What sysfs says about hidraw nodes: which exist, and the USB ids and
// report descriptor of the HID device behind each.
#pragma once

#include "hid.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelhid::hidraw {

struct HidIds {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// The ids in a HID device's uevent text ("HID_ID=0003:000016B5:00000001").
std::optional<HidIds> parseHidId(std::string_view uevent);

// The hidraw nodes under `sysRoot` ("/sys" on a live system) whose ids can be
// read, as "/dev/hidrawN" in increasing N.
std::vector<DeviceInfo> listHidraw(const std::string& sysRoot);

// Where the report descriptor of the device at `devicePath` lives, or "" when
// the path names no hidraw node.
std::string reportDescriptorPath(const std::string& sysRoot, const std::string& devicePath);

// At most `limit` bytes of a file; false when it can't be opened or read.
bool readSmallFile(const std::string& path, std::string& contents, size_t limit);

} // namespace zelhid::hidraw
