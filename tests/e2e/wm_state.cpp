// Asks the window manager to maximise a window or to undo it, the way a panel or a
// title-bar button does: a _NET_WM_STATE client message to the root window.
//
//   wm_state WINDOW maximize|unmaximize

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: wm_state WINDOW maximize|unmaximize\n");
    return 2;
  }
  const std::string action = argv[2];
  if (action != "maximize" && action != "unmaximize") return 2;
  int screen_number = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screen_number);
  if (xcb_connection_has_error(connection) != 0) return 1;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screen_number; ++i) xcb_screen_next(&screens);

  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
  message.type = Atom(connection, "_NET_WM_STATE");
  message.data.data32[0] = action == "maximize" ? 1 : 0;  // add or remove
  message.data.data32[1] = Atom(connection, "_NET_WM_STATE_MAXIMIZED_VERT");
  message.data.data32[2] = Atom(connection, "_NET_WM_STATE_MAXIMIZED_HORZ");
  message.data.data32[3] = 2;  // from a pager or the user
  xcb_send_event(connection, 0, screens.data->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  // A round trip, so that the server has taken the request before the connection ends.
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  xcb_disconnect(connection);
  return 0;
}
