#include "platform/image_writer.h"

#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <cstdio>
#include <vector>

namespace vantrel::platform {
namespace {

template <typename T>
class Held {
 public:
  ~Held() {
    if (object_ != nullptr) object_->Release();
  }
  T** operator&() { return &object_; }
  T* operator->() const { return object_; }
  T* get() const { return object_; }

 private:
  T* object_ = nullptr;
};

bool Fail(std::string& error, const char* what, HRESULT hr) {
  char text[96];
  std::snprintf(text, sizeof text, "%s (0x%08lX)", what, static_cast<unsigned long>(hr));
  error = text;
  return false;
}

// Encodes the pixels with WIC into a memory stream and returns its bytes.
bool Encode(const Bitmap& bitmap, ImageFileType type, std::vector<std::uint8_t>& bytes,
            std::string& error) {
  Held<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return Fail(error, "the imaging component is not available", hr);
  Held<IStream> stream;
  hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (FAILED(hr)) return Fail(error, "out of memory", hr);

  const UINT width = static_cast<UINT>(bitmap.width);
  const UINT height = static_cast<UINT>(bitmap.height);
  const UINT stride = (width * 3 + 3) & ~3u;
  std::vector<BYTE> bgr(static_cast<std::size_t>(stride) * height);
  for (UINT y = 0; y < height; ++y) {
    for (UINT x = 0; x < width; ++x) {
      const std::uint8_t* source =
          bitmap.rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
      BYTE* target = bgr.data() + static_cast<std::size_t>(y) * stride + x * 3;
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
    }
  }

  Held<IWICBitmapEncoder> encoder;
  Held<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  const GUID& container =
      type == ImageFileType::kJpeg ? GUID_ContainerFormatJpeg : GUID_ContainerFormatPng;
  if (FAILED(hr = factory->CreateEncoder(container, nullptr, &encoder)) ||
      FAILED(hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(hr = encoder->CreateNewFrame(&frame, nullptr)) ||
      FAILED(hr = frame->Initialize(nullptr)) || FAILED(hr = frame->SetSize(width, height)) ||
      FAILED(hr = frame->SetPixelFormat(&format))) {
    return Fail(error, "cannot start the encoder", hr);
  }
  if (!IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
    return Fail(error, "the encoder does not take 24-bit pixels", E_FAIL);
  }
  if (FAILED(hr = frame->WritePixels(height, stride, static_cast<UINT>(bgr.size()), bgr.data())) ||
      FAILED(hr = frame->Commit()) || FAILED(hr = encoder->Commit())) {
    return Fail(error, "cannot encode the picture", hr);
  }

  HGLOBAL memory = nullptr;
  STATSTG stat = {};
  if (FAILED(hr = GetHGlobalFromStream(stream.get(), &memory)) ||
      FAILED(hr = stream->Stat(&stat, STATFLAG_NONAME))) {
    return Fail(error, "cannot read the encoded picture", hr);
  }
  const auto* data = static_cast<const std::uint8_t*>(GlobalLock(memory));
  if (data == nullptr) return Fail(error, "cannot read the encoded picture", E_FAIL);
  bytes.assign(data, data + stat.cbSize.QuadPart);
  GlobalUnlock(memory);
  return true;
}

}  // namespace

bool WriteImageFile(const char* path, const Bitmap& bitmap, ImageFileType type,
                    std::string& error) {
  if (bitmap.width <= 0 || bitmap.height <= 0 ||
      bitmap.rgb.size() != static_cast<std::size_t>(bitmap.width) * bitmap.height * 3) {
    error = "the bitmap holds no pixels";
    return false;
  }
  const HRESULT init = CoInitialize(nullptr);
  std::vector<std::uint8_t> bytes;
  const bool encoded = Encode(bitmap, type, bytes, error);
  if (SUCCEEDED(init)) CoUninitialize();
  if (!encoded) return false;

  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    error = "cannot create the file";
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !written) {
    error = "cannot write the file";
    return false;
  }
  return true;
}

}  // namespace vantrel::platform
