// What the core does to the dialog it runs behind. Everything a dialog shows
// comes through here, so a window, a console or a test can be that dialog.
#pragma once

#include "zelusb.h"

#include <functional>
#include <mutex>
#include <string>

enum class MessageIcon { Information, Warning, Error };

// Every member may be left empty. They are called on the thread that holds
// the conversation: a worker's own, or the caller's for the refresh and the
// settings write.
struct DialogLink {
    std::function<void(const std::string& text)> status; // the status line
    std::function<void(int maximum)> progressRange;       // 0 to maximum
    std::function<void(int position)> progressPosition;
    // Returns once the user has dismissed it.
    std::function<void(const std::string& text, const std::string& caption, MessageIcon icon)> messageBox;
    std::function<void(int result)> end; // ends the dialog with this result
    // A status record the library posted while the dialog was registered
    // (message 1034); the core frees it afterwards.
    std::function<void(const _ZEL_STATUS_RECORD& record)> libraryStatus;
};

// The core's end of a DialogLink. Once cut, nothing reaches the dialog any
// more, nor whatever the caller runs through `ifAttached`: a cancelled
// worker may still be finishing a library call, but it no longer touches
// what its dialog's owner has moved on to.
class DialogPort {
public:
    explicit DialogPort(DialogLink link) : link_(std::move(link)) {}
    DialogPort(const DialogPort&) = delete;
    DialogPort& operator=(const DialogPort&) = delete;

    void status(const std::string& text);
    void progressRange(int maximum);
    void progressPosition(int position);
    void messageBox(const std::string& text, const std::string& caption, MessageIcon icon);
    void end(int result);
    void libraryStatus(const _ZEL_STATUS_RECORD& record);

    // Runs `action` unless the port is cut, and keeps it from being cut
    // meanwhile. False when it was cut.
    bool ifAttached(const std::function<void()>& action);
    // After this returns no call goes through. Waits for one under way.
    void cut();
    bool isCut();

private:
    std::mutex mutex_;
    bool cut_ = false;
    DialogLink link_;
};
