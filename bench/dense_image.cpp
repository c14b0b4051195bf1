#include "dense_image.h"

#include "logimage/logimage.h"
#include "sample_track.h"

std::vector<uint8_t> denseImage(std::size_t bytes) {
    std::vector<uint8_t> image;
    for (uint32_t i = 0;; ++i) {
        sampletrack::DriveOptions o;
        o.start = 1600000000 + static_cast<int64_t>(i) * 86400;
        o.seconds = 3600;
        o.seed = 100 + i;
        o.latitude = 40.0 + (i % 20) * 0.7;
        o.longitude = -80.0 + (i % 13) * 1.3;
        const auto run = logimage::encodeTrack(sampletrack::drive(o));
        if (image.size() + run.size() > bytes) break;
        image.insert(image.end(), run.begin(), run.end());
    }
    logimage::padTo(image, bytes);
    return image;
}
