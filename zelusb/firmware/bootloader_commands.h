// The boot-loader's unframed commands (7-byte requests, words low byte
// first). Command 1, setting the address counter, is ZELUnframedSetCounter;
// each of the others works at the counter and moves it on by the words it
// covers.
//
//   2, six zeros             -> the 14 words at the counter (28 bytes)
//   3, 1 word, zeros to 7    no answer
//   4, 3 words               no answer
//   5, 24 words (49 bytes)   no answer
//   6, six zeros             erases 32 words, no answer
//
// Commands 3 to 6 go out as one report each, with no answer awaited.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

// `words`: image bytes (2 per word) of 1, 3 or 24 words.
bool bootWrite(int unit, const uint8_t* words, uint32_t count);
bool bootErase(int unit);
// 28 bytes into `answer`.
bool bootRead(int unit, uint8_t* answer);

} // namespace zel
