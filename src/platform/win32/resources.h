#pragma once

// Resource ids shared by mirvane.rc and the code.
#define MIRVANE_ICON_ID 1

#ifdef __cplusplus
namespace mirvane::platform::win32 {
inline constexpr int kIconId = MIRVANE_ICON_ID;
}  // namespace mirvane::platform::win32
#endif
