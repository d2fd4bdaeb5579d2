#include <windows.h>

#include "platform/image_converter.h"

namespace vantrel::platform {

std::string SystemErrorText(HResult hr) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(hr),
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr) {
    text.assign(buffer, length);
    if (text.size() > 1 && text.back() == '\n') {
      text.pop_back();
      if (!text.empty() && text.back() == '\r') text.pop_back();
    }
  }
  if (buffer != nullptr) LocalFree(buffer);
  return text;
}

}  // namespace vantrel::platform
