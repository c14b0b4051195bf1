// Parser throughput on a 4 MiB image of dense drives, against a plain byte
// loop over the same buffer. Best of several repetitions.
#include "bexolog_parser.h"
#include "dense_image.h"
#include "plain_pass.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t kImageBytes = 4u << 20;
constexpr int kRepetitions = 9;

template <typename Pass>
double bestMBps(Pass pass) {
    double best = 0;
    for (int r = 0; r < kRepetitions; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        pass();
        const std::chrono::duration<double> dt = std::chrono::steady_clock::now() - t0;
        best = std::max(best, static_cast<double>(kImageBytes) / 1e6 / dt.count());
    }
    return best;
}

} // namespace

int main() {
    const std::vector<uint8_t> image = denseImage(kImageBytes);
    const int length = static_cast<int>(image.size());
    int count = 0;
    parselog(image.data(), length, nullptr, &count);
    std::vector<LogRecord> records(static_cast<std::size_t>(count));
    int runs = 0;
    parselog(image.data(), length, records.data(), &count);
    for (const LogRecord& r : records) runs += r.flags & 1;

    const double plain = bestMBps([&] { plainPass(image.data(), image.size()); });
    const double counting = bestMBps([&] {
        int n = 0;
        parselog(image.data(), length, nullptr, &n);
    });
    const double filling = bestMBps([&] {
        int n = 0;
        parselog(image.data(), length, records.data(), &n);
    });
    std::printf("image            %d bytes, %d records, %d runs\n", length, count, runs);
    std::printf("plain byte loop  %8.1f MB/s\n", plain);
    std::printf("parselog count   %8.1f MB/s  ratio %.2f\n", counting, counting / plain);
    std::printf("parselog fill    %8.1f MB/s  ratio %.2f\n", filling, filling / plain);
    return 0;
}
