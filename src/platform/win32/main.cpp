// Builds the program on Win32 and runs its message loop.

#include <objbase.h>
#include <ole2.h>

#include <exception>

#include "platform/win32/win32.h"
#include "platform/win32/win32_command_line.h"
#include "platform/win32/win32_viewer.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  namespace win32 = mirvane::platform::win32;
  // OLE for the drop target; it also sets up COM for the imaging component.
  if (FAILED(OleInitialize(nullptr))) return 1;
  int code = 1;
  try {
    const win32::Win32CommandLine command;
    win32::Win32Viewer viewer(command);
    viewer.Start();
    MSG message{};
    BOOL got = 0;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    code = got == 0 ? static_cast<int>(message.wParam) : 1;
  } catch (const std::exception&) {
    // No window could be made: nothing to show, nothing to save.
  }
  OleUninitialize();
  return code;
}
