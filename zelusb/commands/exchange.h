// The one pattern every device command follows: send the request, wait up to
// 5000 ms for the answer, check its response code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zel {

struct Exchange {
    uint8_t expectedCode;
    uint8_t transportOp; // ORed into bits 24-31 when sending or receiving fails
    uint8_t refusedOp;   // the whole error code when the answer is wrong (0: no refused code)
    size_t bufferSize = 1024;
};

enum class Outcome { Ok, NoAnswer, Refused };

// `response` holds the whole answer (response code first) whenever one came.
// `refusedDetail` is the detail stored with a refused code.
Outcome exchangeOutcome(int unit, const std::vector<uint8_t>& request, const Exchange& how,
                        std::vector<uint8_t>& response, uint32_t refusedDetail = 0);
inline bool exchange(int unit, const std::vector<uint8_t>& request, const Exchange& how,
                     std::vector<uint8_t>& response, uint32_t refusedDetail = 0) {
    return exchangeOutcome(unit, request, how, response, refusedDetail) == Outcome::Ok;
}

// Little-endian helpers for requests.
void put16(std::vector<uint8_t>& b, uint32_t v);
void put32(std::vector<uint8_t>& b, uint32_t v);

} // namespace zel
