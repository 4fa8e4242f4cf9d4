// The host's message queue, single-threaded. The host (or a test) posts key-down and paint
// events; the library peeks at them and removes them as the channel's keyboard poll describes.
#pragma once

#include "common/wintypes.h"

namespace korvat::platform {

struct Event {
    enum Kind { KeyDown, Paint, Other } kind;
    int key;      // virtual key code of a KeyDown
    HWND window;  // the window a Paint belongs to
};

// Appends an event at the end of the queue. The queue holds 256 events; more are dropped.
void PostEvent(const Event& e);
// True when the queue holds a key-down event.
bool HasKeyEvent();
// True when the queue holds any event.
bool HasEvent();
// Removes the oldest event into e. False when the queue is empty.
bool TakeEvent(Event* e);
// Empties the queue.
void ClearEvents();

// What receives a paint event that the library passes on to its window. Default: nothing.
using PaintHandler = void (*)(HWND window);
void SetPaintHandler(PaintHandler handler);
void DispatchPaint(HWND window);

}  // namespace korvat::platform
