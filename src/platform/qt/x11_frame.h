#pragma once

#include <QByteArray>
#include <QMargins>
#include <QWidget>
#include <optional>

namespace mirvane::platform::qt {

// The frame that an X11 window manager has put around the top-level `window`, as it
// states it in _NET_FRAME_EXTENTS. Nothing off X11, before the window is managed, or
// under a window manager that does not say. Qt's own frame margins are not used:
// Qt 6.4 keeps them from the last configure and misses a frame that changes alone.
std::optional<QMargins> X11FrameExtents(const QWidget& window);

// Whether the native event `message` of `type` says that a window's
// _NET_FRAME_EXTENTS changed.
bool IsFrameExtentsChange(const QByteArray& type, const void* message);

}  // namespace mirvane::platform::qt
