// parselog as the export program calls it: count, then fill exactly that many
// heap records. ASan reports any write past them; both calls must agree.
#include "bexolog_parser.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void countThenFill(const uint8_t* data, int length) {
    int count = -1;
    if (parselog(data, length, nullptr, &count) != 1 || count < 0) std::abort();
    if (count == 0) return;
    const auto records = std::make_unique<LogRecord[]>(static_cast<std::size_t>(count));
    int filled = -1;
    if (parselog(data, length, records.get(), &filled) != 1 || filled != count) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size > INT_MAX) return 0;
    const int length = static_cast<int>(size);
    countThenFill(data, length); // the gate as shipped
    set_oldest_usable_version(0); // and with every family counted
    countThenFill(data, length);
    set_oldest_usable_version(4);
    return 0;
}
