// Asks for a thumbnail the way Explorer does: the file's extension names a thumbnail handler
// under its shellex key, the handler's CLSID is created in process, and the object is given the
// file through IPersistFile::Load, the size through IExtractImage::GetLocation, and asked for
// the bitmap through IExtractImage::Extract.
//
//   vantrel-shell-client FILE WIDTH HEIGHT
//
// Prints "bitmap WIDTHxHEIGHT" (exit 0), "no handler" (exit 3), or where it failed (exit 1).
#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kThumbnailHandler[] = L"{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}";

int Fail(const char* step, HRESULT hr) {
  std::printf("failed at %s: 0x%08lX\n", step, static_cast<unsigned long>(hr));
  return 1;
}

int Run(const wchar_t* file, int width, int height) {
  const std::wstring key =
      std::wstring(PathFindExtensionW(file)) + L"\\shellex\\" + kThumbnailHandler;
  wchar_t clsidText[64] = {};
  DWORD size = sizeof(clsidText);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, clsidText,
                   &size) != ERROR_SUCCESS) {
    std::printf("no handler\n");
    return 3;
  }
  CLSID clsid;
  HRESULT hr = CLSIDFromString(clsidText, &clsid);
  if (FAILED(hr)) return Fail("CLSIDFromString", hr);

  IPersistFile* persist = nullptr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFile,
                        reinterpret_cast<void**>(&persist));
  if (FAILED(hr)) return Fail("CoCreateInstance", hr);
  IExtractImage* extract = nullptr;
  hr = persist->Load(file, STGM_READ);
  if (SUCCEEDED(hr)) {
    hr = persist->QueryInterface(IID_IExtractImage, reinterpret_cast<void**>(&extract));
  }
  persist->Release();
  if (FAILED(hr)) return Fail("IPersistFile::Load", hr);

  wchar_t location[MAX_PATH];
  DWORD priority = 0;
  SIZE wanted = {width, height};
  DWORD flags = IEIFLAG_ORIGSIZE;
  hr = extract->GetLocation(location, MAX_PATH, &priority, &wanted, 32, &flags);
  HBITMAP bitmap = nullptr;
  if (SUCCEEDED(hr)) hr = extract->Extract(&bitmap);
  extract->Release();
  if (FAILED(hr)) return Fail("IExtractImage", hr);

  BITMAP info = {};
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0) {
    return Fail("GetObject", E_FAIL);
  }
  std::printf("bitmap %ldx%ld\n", static_cast<long>(info.bmWidth),
              static_cast<long>(info.bmHeight));
  DeleteObject(bitmap);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::printf("usage: vantrel-shell-client FILE WIDTH HEIGHT\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  const int status = Run(argv[1], _wtoi(argv[2]), _wtoi(argv[3]));
  CoUninitialize();
  return status;
}
