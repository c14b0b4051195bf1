#include "exchange.h"

#include "../link/transport.h"

namespace zel {

Outcome exchangeOutcome(int unit, const std::vector<uint8_t>& request, const Exchange& how,
                        std::vector<uint8_t>& response, uint32_t refusedDetail) {
    response.clear();
    if (!sendMessage(unit, request.data(), request.size())) {
        orOperation(unit, how.transportOp);
        return Outcome::NoAnswer;
    }
    response.assign(how.bufferSize, 0);
    size_t length = response.size();
    if (!receiveResponse(unit, response.data(), &length, kResponseTimeoutMs)) {
        orOperation(unit, how.transportOp);
        response.clear();
        return Outcome::NoAnswer;
    }
    response.resize(length);
    if (response.empty() || response[0] != how.expectedCode) {
        if (how.refusedOp) setError(unit, static_cast<uint32_t>(how.refusedOp) << 24, refusedDetail);
        return Outcome::Refused;
    }
    return Outcome::Ok;
}

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

} // namespace zel
