#pragma once

#include <cstddef>

// The simplest pass over a buffer: every byte read once, into a volatile sink.
void plainPass(const unsigned char* data, std::size_t size);
