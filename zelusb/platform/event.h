// The receive event handed out by ZELGetReceiveEventHandle: an auto-reset
// event, a real Win32 event on Windows so callers can wait on it there.
#pragma once

namespace zelplat {

struct Event;

Event* createAutoResetEvent();
void destroyEvent(Event* event);
void signalEvent(Event* event);
// 1 when signalled (and reset), 0 on time-out; negative time-out waits forever.
int waitEvent(Event* event, long timeoutMs);
// What ZELGetReceiveEventHandle returns: the HANDLE on Windows, else the Event.
void* nativeHandle(Event* event);
Event* fromNativeHandle(void* handle);

} // namespace zelplat
