#pragma once
// The small window in which a running job shows the frames it encodes.
//
// Only the window library may use Qt Widgets, so the engine knows the window through this
// interface and makes it with the factory the window library installs at start-up. Without a
// factory (the command line, tests) there is no preview window and the engine skips the
// conversion it would need.
//
// A job makes, uses and destroys its window on its worker thread. An implementation therefore
// does its widget work on the user-interface thread and must not wait there for anything the
// user-interface thread may be holding: copying the picture and posting it without waiting is
// the safe way.

#include <cstdint>
#include <functional>
#include <memory>

class IPreviewWindow {
public:
    virtual ~IPreviewWindow() = default;
    // Shows one picture: height rows of width 32-bit pixels (blue, green, red, unused), top row
    // first, stride bytes apart, valid only during the call; frameNumber and the time in
    // microseconds are for the caption. False when it could not be shown (the job then stops
    // previewing in the window).
    virtual bool Show(const std::uint8_t* bits, int width, int height, int stride, std::int64_t frameNumber,
                      std::int64_t timeMicroseconds) = 0;
    // True once the user has closed the window: Show's false is then no failure.
    virtual bool ClosedByUser() const { return false; }
};

using TPreviewWindowFactory = std::function<std::unique_ptr<IPreviewWindow>()>;

// Installs the factory (an empty one removes it). Call it before jobs start.
void SetPreviewWindowFactory(TPreviewWindowFactory factory);
// Whether a factory is installed.
bool HasPreviewWindowFactory();
// A new window from the installed factory, or nullptr when there is none.
std::unique_ptr<IPreviewWindow> CreatePreviewWindow();
