#include "textexport.h"

// A flag-layout family until a unit refresh says otherwise.
uint16_t eeFamily = 0x8100;
bool mergeDeadWildlife = true;
bool mergeCrossingWildlife = true;

MergeOptions mergeOptions() { return MergeOptions{mergeDeadWildlife, mergeCrossingWildlife}; }
