#include "plain_pass.h"

namespace {
volatile unsigned char sink;
}

void plainPass(const unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) sink = data[i];
}
