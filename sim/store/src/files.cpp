#include "files.h"

#include "platform.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vunit::files {

std::filesystem::path sectorFile(const std::filesystem::path& dir, int sector) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d.bin", sector);
    return dir / kFlash / name;
}

int sectorOfName(const std::string& name) {
    if (name.size() != 7 || name.compare(3, 4, ".bin") != 0) return -1;
    int n = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = name[static_cast<std::size_t>(i)];
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n < 256 ? n : -1;
}

std::optional<std::vector<uint8_t>> readBytes(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    // In blocks: a sector file is read every time a unit is opened.
    std::vector<uint8_t> bytes;
    char block[16384];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        bytes.insert(bytes.end(), block, block + in.gcount());
        if (in.eof()) break;
    }
    if (in.bad()) throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

std::optional<std::string> readText(const std::filesystem::path& path) {
    auto bytes = readBytes(path);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

void writeText(const std::filesystem::path& path, const std::string& text, platform::Sync sync) {
    platform::replaceFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), sync);
}

} // namespace vunit::files
