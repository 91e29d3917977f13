#include "platform/qt/x11_frame.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace mirvane::platform::qt {
namespace {

xcb_connection_t* Connection() {
  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr ? x11->connection() : nullptr;
}

// Interned once: atoms live as long as the X server.
xcb_atom_t FrameExtentsAtom(xcb_connection_t* connection) {
  static const xcb_atom_t atom = [connection] {
    static constexpr char kName[] = "_NET_FRAME_EXTENTS";
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }();
  return atom;
}

}  // namespace

std::optional<QMargins> X11FrameExtents(const QWidget& window) {
  xcb_connection_t* connection = Connection();
  if (connection == nullptr || !window.testAttribute(Qt::WA_WState_Created)) return std::nullopt;
  const xcb_atom_t atom = FrameExtentsAtom(connection);
  if (atom == XCB_ATOM_NONE) return std::nullopt;
  const auto id = static_cast<xcb_window_t>(window.winId());
  const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
      xcb_get_property_reply(
          connection, xcb_get_property(connection, 0, id, atom, XCB_ATOM_CARDINAL, 0, 4), nullptr),
      &std::free);
  if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 16) {
    return std::nullopt;
  }
  const auto* value = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  const auto side = [value](int i) { return static_cast<int>(std::min(value[i], 10000u)); };
  // Left, right, top, bottom.
  return QMargins(side(0), side(2), side(1), side(3));
}

bool IsFrameExtentsChange(const QByteArray& type, const void* message) {
  if (type != "xcb_generic_event_t" || message == nullptr) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
  xcb_connection_t* connection = Connection();
  return connection != nullptr && static_cast<const xcb_property_notify_event_t*>(message)->atom ==
                                      FrameExtentsAtom(connection);
}

}  // namespace mirvane::platform::qt
