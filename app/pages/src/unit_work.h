// The device work the dialogs run, and the dialog it reports to. The
// sequences themselves are the core's; the dialogs only show what they say.
#pragma once

#include <cstdint>

// Where a sequence reports: a status line, a progress bar, message boxes,
// the end of its dialog, and the cancel request it polls. Callable from a
// worker thread.
struct DialogLink {
    void* context;
    void (*status)(void* context, const char* text);
    void (*progressRange)(void* context, int maximum);
    void (*progressPosition)(void* context, int position);
    void (*messageBox)(void* context, const char* text, const char* caption, unsigned iconFlags);
    void (*communicationError)(void* context);
    void (*end)(void* context, int result);
    bool (*cancelled)(void* context);
};

// The unit refresh; fills unitState.
void refreshUnitSequence(DialogLink& dialog);
// The Configure page's settings write from unitState.
void writeSettingsSequence(DialogLink& dialog);
// The log-space preparation; appends its result to statusMessage.
void prepareLogSpaceSequence(DialogLink& dialog);
// The download into logFilePath; ends the dialog with 1 when it completed.
void downloadSequence(DialogLink& dialog);
