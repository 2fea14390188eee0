// The few places where the runtime touches the operating system: the heap that
// holds every value and the box that reports a fatal error. Windows builds use
// the process heap and MessageBoxA; the native build (sanitizer and fuzzing
// checks of the text runtime only) uses the C heap and standard error.
#pragma once

#include <cstddef>

namespace varneth {

// A zero-filled block, or nullptr when the heap refuses it.
void* PlatformAllocate(std::size_t size);
// Resizes in place or moves, keeping the contents; nullptr on failure, and the
// old block then stays valid. The new tail is not cleared.
void* PlatformResize(void* block, std::size_t size);
void PlatformFree(void* block);

// Shows a modal error box (no owner window, error icon, OK only).
void PlatformShowErrorBox(const char* text, const char* caption);

// Tests watch fatal boxes through this observer: when set, it is told the
// text and caption of every box before the box is shown.
using ErrorBoxObserver = void (*)(const char* text, const char* caption);
void SetErrorBoxObserver(ErrorBoxObserver observer);

}  // namespace varneth
