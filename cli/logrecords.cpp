#include "logrecords.h"

#include <climits>

bool parseImage(const std::vector<unsigned char>& image, std::vector<LogRecord>& records, std::string& error) {
    records.clear();
    if (image.size() > static_cast<size_t>(INT_MAX)) {
        error = "image too large";
        return false;
    }
    const int length = static_cast<int>(image.size());
    int count = 0;
    parselog(image.data(), length, nullptr, &count);
    records.resize(static_cast<size_t>(count));
    // The count may be 0 while points exist (old log family): the fill call
    // would then write past an empty array.
    if (count > 0) parselog(image.data(), length, records.data(), &count);
    return true;
}

bool endsInsideRun(const std::vector<unsigned char>& image) {
    return !image.empty() && image.back() != 0x00 && image.back() != 0xFF;
}
