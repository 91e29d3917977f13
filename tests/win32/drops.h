#pragma once

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/text.h"

namespace mirvane::platform::win32::test {

// An HDROP as a drop source builds it: DROPFILES, then the wide names, each ended by
// a null, and one more null.
inline HDROP MakeHdrop(const std::vector<std::string>& names) {
  std::wstring list;
  for (const std::string& name : names) list += Widen(name) + L'\0';
  list += L'\0';
  const std::size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(),
              list.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

}  // namespace mirvane::platform::win32::test
