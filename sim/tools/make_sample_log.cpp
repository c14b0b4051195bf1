// bexo-make-sample-log OUTPUT [FILES [FILE_SIZE]]
// Writes a raw log image as a unit's log files would read out: a day's drive
// per file, logged once a second, each file padded with 0xFF.
#include "logimage/logimage.h"
#include "sample_track.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: bexo-make-sample-log OUTPUT [FILES [FILE_SIZE]]\n");
        return 2;
    }
    const long files = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 2;
    const long fileSize = argc > 3 ? std::strtol(argv[3], nullptr, 0) : 65536;
    if (files < 1 || files > 64 || fileSize < 1024 || fileSize > (16L << 20)) {
        std::fprintf(stderr, "bexo-make-sample-log: FILES must be 1-64 and FILE_SIZE 1024 to 16 MiB\n");
        return 2;
    }
    try {
        std::vector<uint8_t> image;
        for (long i = 0; i < files; ++i) {
            sampletrack::DriveOptions drive;
            // The first drive runs over midnight UTC, the others start a day apart.
            drive.start = 1718407800 + i * 86400; // 2024-06-14 23:30 UTC
            drive.seconds = 5400;
            drive.seed = static_cast<uint32_t>(7 + i);
            drive.latitude = 45.42 + 0.05 * static_cast<double>(i);
            std::vector<uint8_t> file = logimage::encodeTrack(sampletrack::drive(drive));
            if (file.size() > static_cast<std::size_t>(fileSize)) {
                std::fprintf(stderr, "bexo-make-sample-log: a drive needs %zu bytes, more than FILE_SIZE\n", file.size());
                return 1;
            }
            logimage::padTo(file, static_cast<std::size_t>(fileSize));
            image.insert(image.end(), file.begin(), file.end());
        }
        std::ofstream out(argv[1], std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "bexo-make-sample-log: cannot write %s\n", argv[1]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bexo-make-sample-log: %s\n", e.what());
        return 1;
    }
    return 0;
}
