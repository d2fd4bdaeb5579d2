#include "platform/picture_loader.h"

#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <cstdio>

#include "core/report.h"
#include "platform/win32/com_scope.h"

namespace vantrel::platform {
namespace {

HResult LastErrorOr(HResult fallback) {
  const DWORD error = GetLastError();
  return error != 0 ? static_cast<HResult>(HRESULT_FROM_WIN32(error)) : fallback;
}

HResult Load(const char* path, Bitmap& out) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    ReportError(kEUnexpected, "Couldn't open Image File.");
    return kEUnexpected;
  }
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  HGLOBAL block =
      size < 0 ? nullptr : GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
  if (block == nullptr) {
    std::fclose(file);
    ReportError(kEOutOfMemory, "Couldn't allocate memory to load image file.");
    return kEOutOfMemory;
  }
  std::fseek(file, 0, SEEK_SET);
  // A fixed block's handle is its address. A short read leaves zeros for the decoder to judge.
  (void)std::fread(static_cast<void*>(block), 1, static_cast<std::size_t>(size), file);
  std::fclose(file);

  IStream* stream = nullptr;
  HRESULT hr = CreateStreamOnHGlobal(block, FALSE, &stream);
  if (hr != S_OK) {
    GlobalFree(block);
    ReportError(hr, "Couldn't create a stream on HGLOBAL");
    return hr;
  }
  IPicture* picture = nullptr;
  hr = OleLoadPicture(stream, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
  // The picture keeps its own copy of the decoded bits: neither the block nor the stream is
  // needed any more.
  GlobalFree(block);
  stream->Release();
  if (hr != S_OK) {
    if (picture != nullptr) picture->Release();
    ReportError(hr, "OLE Load picture failed");
    return hr;
  }

  OLE_HANDLE handle = 0;
  hr = picture->get_Handle(&handle);
  if (hr != S_OK) {
    picture->Release();
    ReportError(hr, "IPicture.get_Handle failed.");
    return hr;
  }
  SetLastError(0);
  HANDLE copy = CopyImage(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0,
                          0, LR_COPYRETURNORG);
  if (copy == nullptr) {
    // Handing the shell "success" without a bitmap would leave it with nothing to show and no
    // record of why.
    const HResult failure = LastErrorOr(kEOutOfMemory);
    picture->Release();
    ReportError(failure, "Couldn't copy the picture's bitmap.");
    return failure;
  }
  picture->Release();

  BITMAP info = {};
  GetObject(copy, sizeof info, &info);
  out = Bitmap{};
  out.width = info.bmWidth;
  out.height = info.bmHeight;
  out.handle = copy;
  return kSOk;
}

}  // namespace

HResult LoadPicture(const char* path, Bitmap& out) {
  // The shell's threads have COM initialised; the command line's may not. The picture decoder
  // may need it, so a thread without it gets it for the length of the load.
  ComScope com;
  return Load(path, out);
}

}  // namespace vantrel::platform
