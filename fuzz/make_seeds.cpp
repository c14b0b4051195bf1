// fuzz_parselog_seeds DIR: small images of every log family for the corpus.
#include "logimage/logimage.h"
#include "sample_track.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool write(const std::string& dir, const std::string& name, const std::vector<uint8_t>& image) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    return static_cast<bool>(out.flush());
}

std::vector<logimage::Fix> shortDrive(uint32_t seed, double lat, double lon) {
    sampletrack::DriveOptions o;
    o.seconds = 150;
    o.seed = seed;
    o.latitude = lat;
    o.longitude = lon;
    o.observationEvery = 40;
    return sampletrack::drive(o);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_parselog_seeds DIR\n");
        return 2;
    }
    using namespace logimage;
    const std::string dir = argv[1];
    bool ok = true;
    for (int family : {3, 4, 5})
        ok &= write(dir, "drive-family" + std::to_string(family), encodeTrack(shortDrive(1, 45.4, -75.7), {family}));
    ok &= write(dir, "drive-south-east", encodeTrack(shortDrive(2, -37.8, 144.9)));
    ok &= write(dir, "drive-interval5", encodeTrack(shortDrive(3, 64.8, -147.7), {5, 5}));

    std::vector<uint8_t> undated;
    FamilyOneFields f1;
    f1.latOrigin = familyOneOrigin(49, 1000);
    f1.lonOrigin = familyOneOrigin(100, 2000);
    f1.latRange = 70000;
    f1.latDivisor = f1.lonDivisor = 4096;
    f1.latValue = f1.lonValue = 65000;
    appendRun(undated, {1, familyOneHeader(f1), {{-1, 64, 140, 120}, {-1, 64, 0xFE, 0xFE}, {-1, 64, 100, 150}}});
    appendRun(undated, {2, familyTwoHeader({40, 80, 1000, 2000}), {{-1, 64, 130, 126}, {-1, 64, 131, 125}}});
    undated.push_back(0x00);
    ok &= write(dir, "undated", undated);

    auto padded = encodeTrack(shortDrive(4, 45.4, -75.7));
    padTo(padded, padded.size() + 256);
    ok &= write(dir, "padded", padded);

    if (!ok) {
        std::fprintf(stderr, "fuzz_parselog_seeds: cannot write to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
