// Shows pictures in the Windows image slot and writes what it shows, for the fidelity
// test on Linux, which compares them with ImageMagick's fits:
//   mirvane_win32_render LIST
// Each line of LIST (UTF-8) is path<TAB>width<TAB>height<TAB>outfile, the box in device
// pixels. Each outfile gets the picture on view as a binary PPM whose comment
// "# picture W H" gives the picture's size before fitting, or nothing when the slot
// refused the file. One process for many pictures: Wine is slow to start.
#include <objbase.h>
#include <ole2.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/win32/text.h"
#include "platform/win32/win32.h"
#include "platform/win32/win32_rastrel.h"

namespace mirvane::platform::win32 {
namespace {

// Under Wine the test hands over its own (Unix) names; Windows names pass as they are.
std::wstring WindowsName(const std::string& name) {
  using ToDos = WCHAR*(CDECL*)(LPCSTR);
  static const auto to_dos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
  if (name.empty() || name[0] != '/' || to_dos == nullptr) return Widen(name);
  WCHAR* dos = to_dos(name.c_str());
  if (dos == nullptr) return Widen(name);
  std::wstring result(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

bool Write(const std::wstring& name, const std::string& bytes) {
  FILE* file = _wfopen(name.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::string Ppm(const Bitmap& shown, int picture_width, int picture_height) {
  std::ostringstream header;
  header << "P6\n# picture " << picture_width << ' ' << picture_height << '\n'
         << shown.width << ' ' << shown.height << "\n255\n";
  std::string bytes = header.str();
  bytes.reserve(bytes.size() + shown.pixels.size() * 3);
  for (const std::uint32_t argb : shown.pixels) {
    bytes += static_cast<char>((argb >> 16) & 0xff);
    bytes += static_cast<char>((argb >> 8) & 0xff);
    bytes += static_cast<char>(argb & 0xff);
  }
  return bytes;
}

LRESULT CALLBACK Frame(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

// Shows each picture of `list` in a slot in `frame`; the number of lines that failed.
int Show(std::istream& list, HWND frame) {
  Win32Rastrel slot(frame);
  slot.Visible(true);  // on view, as in the program: a hidden slot keeps nothing
  int failures = 0;
  std::string line;
  while (std::getline(list, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string path, width, height, out;
    if (!std::getline(fields, path, '\t') || !std::getline(fields, width, '\t') ||
        !std::getline(fields, height, '\t') || !std::getline(fields, out)) {
      std::cerr << "bad line: " << line << '\n';
      ++failures;
      continue;
    }
    const int w = std::stoi(width), h = std::stoi(height);
    SetWindowPos(frame, nullptr, 0, 0, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(slot.Handle(), nullptr, 0, 0, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    std::string bytes;
    try {
      slot.SourcePath(path);
      slot.Render();
      bytes = Ppm(slot.Shown(), slot.PictureWidth(), slot.PictureHeight());
    } catch (const Error& e) {
      std::cerr << e.what() << '\n';  // names the file
    }
    if (!Write(WindowsName(out), bytes)) {
      std::cerr << "cannot write " << out << '\n';
      ++failures;
    }
    // The slot's own messages (paint, an animation's next frame) between pictures, as
    // the program would have them; none comes between Render and Shown.
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return failures;
}

int Run(const std::string& list_name) {
  std::ifstream list(WindowsName(list_name).c_str(), std::ios::binary);
  if (!list) {
    std::cerr << "cannot read " << list_name << '\n';
    return 2;
  }
  WNDCLASSW frame_class{};
  frame_class.lpfnWndProc = Frame;
  frame_class.hInstance = GetModuleHandleW(nullptr);
  frame_class.lpszClassName = L"MirvaneRenderFrame";
  RegisterClassW(&frame_class);
  const HWND frame = CreateWindowExW(0, frame_class.lpszClassName, L"render", WS_POPUP, 0, 0, 64,
                                     64, nullptr, nullptr, frame_class.hInstance, nullptr);
  if (frame == nullptr) {
    std::cerr << "no window\n";
    return 2;
  }
  ShowWindow(frame, SW_SHOWNA);
  const int failures = Show(list, frame);
  DestroyWindow(frame);
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace mirvane::platform::win32

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::cerr << "usage: mirvane_win32_render LIST\n";
    return 2;
  }
  // Sizes are device pixels, as in the program, which says so in its manifest.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  // COM for the imaging component, as the program has it.
  if (FAILED(OleInitialize(nullptr))) return 2;
  int code = 2;
  try {
    code = mirvane::platform::win32::Run(mirvane::platform::win32::Narrow(argv[1]));
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
  }
  OleUninitialize();
  return code;
}
