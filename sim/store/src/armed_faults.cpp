#include "vstore/armed_faults.h"

#include "files.h"
#include "platform.h"

#include <sstream>
#include <stdexcept>

namespace vunit {

namespace fs = std::filesystem;

namespace {

struct FaultsLock {
    platform::LockHandle handle;
    explicit FaultsLock(const fs::path& dir) : handle(platform::lockFile(dir / files::kFaultsLock)) {}
    FaultsLock(const FaultsLock&) = delete;
    FaultsLock& operator=(const FaultsLock&) = delete;
    ~FaultsLock() { platform::unlockFile(handle); }
};

std::vector<std::string> readFaults(const fs::path& dir) {
    std::vector<std::string> specs;
    const auto text = files::readText(dir / files::kFaults);
    if (!text) return specs;
    std::istringstream in(*text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) specs.push_back(line);
    }
    return specs;
}

void clearFaults(const fs::path& dir) {
    std::error_code ec;
    fs::remove(dir / files::kFaults, ec);
    if (ec) throw std::runtime_error("cannot clear " + (dir / files::kFaults).string() + ": " + ec.message());
}

} // namespace

void appendFault(const fs::path& dir, const std::string& spec) {
    if (spec.empty() || spec.find_first_of("\r\n") != std::string::npos)
        throw std::runtime_error("a fault spec is one non-empty line");
    if (!fs::is_regular_file(dir / files::kConfig)) throw std::runtime_error(dir.string() + " holds no virtual unit");
    FaultsLock lock(dir);
    std::string text;
    for (const std::string& s : readFaults(dir)) text += s + "\n";
    text += spec + "\n";
    files::writeText(dir / files::kFaults, text);
}

std::vector<std::string> pendingFaults(const fs::path& dir) {
    // A reader never sees a half-written file (it is replaced atomically),
    // so no lock is needed just to look.
    return readFaults(dir);
}

std::vector<std::string> takeFaults(const fs::path& dir) {
    return takeFaults(dir, [](const std::string&) { return true; });
}

std::vector<std::string> takeFaults(const fs::path& dir, const std::function<bool(const std::string&)>& accept) {
    std::error_code ec;
    if (!fs::exists(dir / files::kFaults, ec)) return {};
    FaultsLock lock(dir);
    std::vector<std::string> specs = readFaults(dir);
    for (const std::string& spec : specs)
        if (!accept(spec)) return {};
    if (!specs.empty()) clearFaults(dir);
    return specs;
}

} // namespace vunit
