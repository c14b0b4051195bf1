#include "linux_sysfs.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace zelhid::hidraw {

namespace {

constexpr std::string_view kNodePrefix = "hidraw";
constexpr size_t kUeventLimit = 4096;

// The N of "hidrawN", or nullopt for any other name.
std::optional<unsigned> nodeNumber(std::string_view name) {
    if (name.size() <= kNodePrefix.size() || name.substr(0, kNodePrefix.size()) != kNodePrefix) return std::nullopt;
    const std::string_view digits = name.substr(kNodePrefix.size());
    unsigned n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return n;
}

std::optional<uint32_t> hexField(std::string_view field) {
    uint32_t value = 0;
    if (field.empty()) return std::nullopt;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value, 16);
    if (ec != std::errc() || end != field.data() + field.size()) return std::nullopt;
    return value;
}

} // namespace

std::optional<HidIds> parseHidId(std::string_view uevent) {
    constexpr std::string_view key = "HID_ID=";
    while (!uevent.empty()) {
        const size_t eol = uevent.find('\n');
        const std::string_view line = uevent.substr(0, eol);
        uevent = eol == std::string_view::npos ? std::string_view{} : uevent.substr(eol + 1);
        if (line.substr(0, key.size()) != key) continue;

        const std::string_view value = line.substr(key.size());
        const size_t first = value.find(':');
        const size_t second = first == std::string_view::npos ? first : value.find(':', first + 1);
        if (second == std::string_view::npos) return std::nullopt;
        const auto bus = hexField(value.substr(0, first));
        const auto vendor = hexField(value.substr(first + 1, second - first - 1));
        const auto product = hexField(value.substr(second + 1));
        if (!bus || !vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) return std::nullopt;
        return HidIds{static_cast<uint16_t>(*vendor), static_cast<uint16_t>(*product)};
    }
    return std::nullopt;
}

std::vector<DeviceInfo> listHidraw(const std::string& sysRoot) {
    const std::string classDir = sysRoot + "/class/hidraw";
    std::vector<std::pair<unsigned, DeviceInfo>> found;
    DIR* dir = opendir(classDir.c_str());
    if (!dir) return {};
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const auto number = nodeNumber(name);
        if (!number) continue;
        std::string uevent;
        if (!readSmallFile(classDir + "/" + name + "/device/uevent", uevent, kUeventLimit)) continue;
        const auto ids = parseHidId(uevent);
        if (!ids) continue;
        found.push_back({*number, DeviceInfo{"/dev/" + name, ids->vendorId, ids->productId}});
    }
    closedir(dir);

    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<DeviceInfo> devices;
    devices.reserve(found.size());
    for (auto& entry : found) devices.push_back(std::move(entry.second));
    return devices;
}

std::string reportDescriptorPath(const std::string& sysRoot, const std::string& devicePath) {
    const size_t slash = devicePath.rfind('/');
    const std::string name = slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
    if (!nodeNumber(name)) return {};
    return sysRoot + "/class/hidraw/" + name + "/device/report_descriptor";
}

bool readSmallFile(const std::string& path, std::string& contents, size_t limit) {
    contents.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    contents.resize(limit);
    size_t filled = 0;
    bool ok = true;
    while (filled < limit) {
        const ssize_t n = ::read(fd, contents.data() + filled, limit - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        filled += static_cast<size_t>(n);
    }
    ::close(fd);
    contents.resize(filled);
    return ok;
}

} // namespace zelhid::hidraw
