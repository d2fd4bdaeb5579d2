#include "platform/win32/code_page.h"

#include <windows.h>

#include <cstdlib>

namespace vantrel::platform {
namespace {

bool IsNt5OrLater() {
  // GetVersionExA reports the system as the module's manifest lets it; any NT 5.0 or later
  // answer is enough here.
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
}

unsigned ChooseCodePage() {
  if (IsNt5OrLater()) return CP_THREAD_ACP;
  char number[8] = {};
  if (GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, number, sizeof number) > 0) {
    const unsigned page = static_cast<unsigned>(std::strtoul(number, nullptr, 10));
    if (page != 0) return page;
  }
  return GetACP();
}

}  // namespace

unsigned ConversionCodePage() {
  static const unsigned page = ChooseCodePage();
  return page;
}

std::wstring AnsiToWide(const char* text) {
  if (text == nullptr || *text == '\0') return {};
  const UINT page = ConversionCodePage();
  const int needed = MultiByteToWideChar(page, 0, text, -1, nullptr, 0);
  if (needed <= 1) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(page, 0, text, -1, wide.data(), needed);
  wide.resize(static_cast<std::size_t>(needed - 1));
  return wide;
}

bool WideToAnsi(const wchar_t* text, char* out, int capacity) {
  if (capacity <= 0) return false;
  out[0] = '\0';
  if (text == nullptr) return true;
  const UINT page = ConversionCodePage();
  const int needed = WideCharToMultiByte(page, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0 || needed > capacity) return false;
  WideCharToMultiByte(page, 0, text, -1, out, capacity, nullptr, nullptr);
  return true;
}

}  // namespace vantrel::platform
