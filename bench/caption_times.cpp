// Times a slide show from outside, as a user sees it: starts the program on a display and
// prints when each new caption appears on its windows.
//   mirvane_caption_times LAST_CAPTION|#COUNT PROGRAM [ARGS...]
// Stops when the caption LAST_CAPTION appears, or after COUNT captions naming a picture
// (or after 60 s), kills the program and prints the gaps between those captions.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

std::string Caption(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t utf8) {
  xcb_get_property_reply_t* reply =
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, utf8, 0, 4096), nullptr);
  std::string text;
  if (reply != nullptr) {
    text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                xcb_get_property_value_length(reply));
  }
  std::free(reply);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s LAST_CAPTION PROGRAM [ARGS...]\n", argv[0]);
    return 2;
  }
  const std::string last = argv[1];
  const long count =
      last.size() > 1 && last[0] == '#' ? std::strtol(last.c_str() + 1, nullptr, 10) : 0;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) != 0) return 1;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const xcb_atom_t net_name = Atom(c, "_NET_WM_NAME"), utf8 = Atom(c, "UTF8_STRING");
  const uint32_t root_mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &root_mask);
  xcb_flush(c);

  pid_t pid = 0;
  if (posix_spawn(&pid, argv[2], nullptr, nullptr, argv + 2, environ) != 0) return 1;
  const auto start = std::chrono::steady_clock::now();
  const auto ms = [&] {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
  };
  std::vector<double> times;
  std::string shown;
  bool done = false;
  while (!done && ms() < 60000 + count * 2000) {
    xcb_generic_event_t* event = xcb_poll_for_event(c);
    if (event == nullptr) {
      if (xcb_connection_has_error(c) != 0) break;
      timespec pause{0, 200000};
      nanosleep(&pause, nullptr);
      continue;
    }
    const int type = event->response_type & 0x7f;
    if (type == XCB_CREATE_NOTIFY) {
      const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
      const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
      xcb_change_window_attributes(c, created->window, XCB_CW_EVENT_MASK, &mask);
      xcb_flush(c);
    } else if (type == XCB_PROPERTY_NOTIFY) {
      const auto* changed = reinterpret_cast<xcb_property_notify_event_t*>(event);
      if (changed->atom == net_name) {
        const std::string caption = Caption(c, changed->window, net_name, utf8);
        if (caption != shown && caption.find('[') != std::string::npos) {  // names a picture
          shown = caption;
          times.push_back(ms());
          std::printf("%9.1f ms  %s\n", times.back(), caption.c_str());
          done = caption == last || (count > 0 && static_cast<long>(times.size()) >= count);
        }
      }
    }
    std::free(event);
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  xcb_disconnect(c);
  if (times.size() < 2) return 1;
  std::vector<double> gaps;
  for (std::size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
  std::sort(gaps.begin(), gaps.end());
  std::printf("gaps ms: min %.1f median %.1f max %.1f\n", gaps.front(), gaps[gaps.size() / 2],
              gaps.back());
  std::printf("%zu captions, first to last %.1f ms\n", times.size(), times.back() - times.front());
  return done ? 0 : 1;
}
