#include "tests/win32/wic_image.h"

#include <wincodec.h>
#include <windows.h>

#include <cctype>
#include <cstring>

namespace vantrel::testing {
namespace {

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p != nullptr) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

bool CreateFactory(ComPtr<IWICImagingFactory>& factory) {
  return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)));
}

// Reads one header number of a PNM file, skipping white space and comments.
bool PnmNumber(const std::vector<std::uint8_t>& bytes, std::size_t& at, int& value) {
  while (at < bytes.size()) {
    if (bytes[at] == '#') {
      while (at < bytes.size() && bytes[at] != '\n') ++at;
    } else if (std::isspace(bytes[at])) {
      ++at;
    } else {
      break;
    }
  }
  long long number = 0;
  const std::size_t start = at;
  while (at < bytes.size() && std::isdigit(bytes[at]) && number < 1000000) {
    number = number * 10 + (bytes[at] - '0');
    ++at;
  }
  value = static_cast<int>(number);
  return at > start && number > 0 && number < 1000000;
}

bool DecodePnm(const std::vector<std::uint8_t>& bytes, RgbImage& image) {
  const int channels = bytes[1] == '6' ? 3 : 1;
  std::size_t at = 2;
  int width = 0, height = 0, maxval = 0;
  if (!PnmNumber(bytes, at, width) || !PnmNumber(bytes, at, height) ||
      !PnmNumber(bytes, at, maxval) || maxval > 65535 || width > 20000 || height > 20000) {
    return false;
  }
  ++at;  // the single white-space character after maxval
  const int sampleBytes = maxval > 255 ? 2 : 1;
  const std::size_t needed = std::size_t(width) * height * channels * sampleBytes;
  if (at > bytes.size() || bytes.size() - at < needed) return false;
  image = RgbImage::Filled(width, height, 0, 0, 0);
  const std::uint8_t* data = bytes.data() + at;
  for (std::size_t pixel = 0; pixel < std::size_t(width) * height; ++pixel) {
    for (int c = 0; c < 3; ++c) {
      const std::size_t sample = pixel * channels + (channels == 3 ? c : 0);
      unsigned value =
          sampleBytes == 2 ? (data[2 * sample] << 8 | data[2 * sample + 1]) : data[sample];
      image.rgb[pixel * 3 + c] = static_cast<std::uint8_t>(value * 255u / unsigned(maxval));
    }
  }
  return true;
}

bool DecodeWithWic(const std::vector<std::uint8_t>& bytes, RgbImage& image) {
  ComPtr<IWICImagingFactory> factory;
  if (!CreateFactory(factory)) return false;
  ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()),
                                          static_cast<DWORD>(bytes.size())))) {
    return false;
  }
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                              &decoder))) {
    return false;
  }
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, &frame))) return false;
  ComPtr<IWICBitmapSource> converted;
  if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat24bppBGR, frame.p, &converted))) {
    return false;
  }
  UINT width = 0, height = 0;
  if (FAILED(converted->GetSize(&width, &height)) || width == 0 || height == 0 || width > 20000 ||
      height > 20000) {
    return false;
  }
  const UINT stride = (width * 3 + 3) & ~3u;
  std::vector<std::uint8_t> bgr(std::size_t(stride) * height);
  if (FAILED(converted->CopyPixels(nullptr, stride, static_cast<UINT>(bgr.size()), bgr.data()))) {
    return false;
  }
  image = RgbImage::Filled(int(width), int(height), 0, 0, 0);
  for (UINT y = 0; y < height; ++y) {
    for (UINT x = 0; x < width; ++x) {
      const std::uint8_t* source = bgr.data() + std::size_t(y) * stride + x * 3;
      std::uint8_t* target = image.At(int(x), int(y));
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
    }
  }
  return true;
}

}  // namespace

RgbImage RgbImage::Filled(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  RgbImage image;
  image.width = width;
  image.height = height;
  image.rgb.resize(std::size_t(width) * height * 3);
  for (std::size_t i = 0; i < image.rgb.size(); i += 3) {
    image.rgb[i] = r;
    image.rgb[i + 1] = g;
    image.rgb[i + 2] = b;
  }
  return image;
}

std::vector<std::uint8_t> EncodeJpeg(const RgbImage& image) {
  std::vector<std::uint8_t> out;
  ComPtr<IWICImagingFactory> factory;
  if (!CreateFactory(factory)) return out;
  IStream* memory = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &memory))) return out;
  ComPtr<IStream> stream;
  stream.p = memory;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  const UINT stride = (UINT(image.width) * 3 + 3) & ~3u;
  std::vector<std::uint8_t> bgr(std::size_t(stride) * image.height);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* source = image.At(x, y);
      std::uint8_t* target = bgr.data() + std::size_t(y) * stride + x * 3;
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
    }
  }
  if (FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(UINT(image.width), UINT(image.height))) ||
      FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) ||
      FAILED(frame->WritePixels(UINT(image.height), stride, UINT(bgr.size()), bgr.data())) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
    return out;
  }
  HGLOBAL global = nullptr;
  if (FAILED(GetHGlobalFromStream(stream.p, &global))) return out;
  STATSTG stat = {};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return out;
  const auto* data = static_cast<const std::uint8_t*>(GlobalLock(global));
  if (data == nullptr) return out;
  out.assign(data, data + stat.cbSize.QuadPart);
  GlobalUnlock(global);
  return out;
}

bool DecodeImage(const std::vector<std::uint8_t>& bytes, RgbImage& image) {
  if (bytes.size() > 2 && bytes[0] == 'P' && (bytes[1] == '5' || bytes[1] == '6')) {
    return DecodePnm(bytes, image);
  }
  return DecodeWithWic(bytes, image);
}

}  // namespace vantrel::testing
