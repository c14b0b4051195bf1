#include "dialoglink.h"

void DialogPort::status(const std::string& text) {
    ifAttached([&] {
        if (link_.status) link_.status(text);
    });
}

void DialogPort::progressRange(int maximum) {
    ifAttached([&] {
        if (link_.progressRange) link_.progressRange(maximum);
    });
}

void DialogPort::progressPosition(int position) {
    ifAttached([&] {
        if (link_.progressPosition) link_.progressPosition(position);
    });
}

void DialogPort::messageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
    ifAttached([&] {
        if (link_.messageBox) link_.messageBox(text, caption, icon);
    });
}

void DialogPort::end(int result) {
    ifAttached([&] {
        if (link_.end) link_.end(result);
    });
}

void DialogPort::libraryStatus(const _ZEL_STATUS_RECORD& record) {
    ifAttached([&] {
        if (link_.libraryStatus) link_.libraryStatus(record);
    });
}

bool DialogPort::ifAttached(const std::function<void()>& action) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cut_) return false;
    action();
    return true;
}

void DialogPort::cut() {
    std::lock_guard<std::mutex> lock(mutex_);
    cut_ = true;
}

bool DialogPort::isCut() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cut_;
}
