// The first free unit, and the one way a failed conversation is reported.
#pragma once

// Initialises zelusb and opens the first free unit; none: a message on
// stderr and exit code 1.
int openFirstUnit();
// "bexolog: WHAT failed (error ..., detail ...)" on stderr, the unit closed,
// exit code 2.
[[noreturn]] void failUnit(int unit, const char* what);
