#pragma once
// UTF-16 text of the Win32 wide calls and the internal code page.

#include <string>

// UTF-16 (as the wide calls give it) -> internal text.
std::string WideToInternal(const std::wstring& wide);

// Internal text -> UTF-16, for the wide calls.
std::wstring InternalToWide(const std::string& internal);
