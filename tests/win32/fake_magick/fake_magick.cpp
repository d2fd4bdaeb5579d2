// A test-only stand-in for the ImageMagick COM component (ImageMagickObject): the same CLSID
// and image interface, with the conversion method at the same place in the vtable. It turns
// the 11-argument thumbnail list into a JPEG of the canvas size: the input (JPEG or PGM/PPM)
// fitted into the box, rotated by 90, 180 or 270 degrees and centred on white.
//
// The environment variable VANTREL_FAKE_MAGICK chooses how it behaves, read at each creation:
//   (unset) or "ok"      convert
//   "create-fails"        creation answers E_ACCESSDENIED
//   "no-interface"        the object has no image interface (E_NOINTERFACE)
//   "fail:HEX"            the conversion returns HRESULT HEX, without error information
//   "fail-info:HEX"       the same with error information: ISupportErrorInfo answers S_OK for the
//                         image interface and the description is kFailureDescription
//   "no-output"           the conversion succeeds and writes nothing
// When VANTREL_FAKE_MAGICK_LOG names a file, each conversion appends the array's shape and the
// arguments it received (UTF-8, "vt text" per line) to it.
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/guid.h"
#include "shellext/identifiers.h"
#include "tests/win32/wic_image.h"

namespace {

using vantrel::testing::RgbImage;

constexpr CLSID kClsid = vantrel::platform::GuidFromText(vantrel::shell::kImageMagickClsidText);
constexpr IID kImageIid = vantrel::platform::GuidFromText(vantrel::shell::kImageMagickImageIidText);
constexpr wchar_t kFailureDescription[] = L"Stand-in conversion failed as asked";
constexpr HRESULT kWrongMethod = static_cast<HRESULT>(0x8004FE01u);

// The image interface: IDispatch, six methods, the conversion method, and one more after it.
struct IImage : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Own1(SAFEARRAY**, VARIANT*) = 0;
  virtual HRESULT STDMETHODCALLTYPE Own2(SAFEARRAY**, VARIANT*) = 0;
  virtual HRESULT STDMETHODCALLTYPE Own3(SAFEARRAY**, VARIANT*) = 0;
  virtual HRESULT STDMETHODCALLTYPE Own4(SAFEARRAY**, VARIANT*) = 0;
  virtual HRESULT STDMETHODCALLTYPE Own5(SAFEARRAY**, VARIANT*) = 0;
  virtual HRESULT STDMETHODCALLTYPE Own6(SAFEARRAY**, VARIANT*) = 0;
  virtual HRESULT STDMETHODCALLTYPE Convert(SAFEARRAY** arguments, VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Own8(SAFEARRAY**, VARIANT*) = 0;
};

std::string Environment(const char* name) {
  char value[1024];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string Utf8(const wchar_t* text) {
  if (text == nullptr) return {};
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 1) return {};
  std::string out(std::size_t(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), needed, nullptr, nullptr);
  out.resize(std::size_t(needed - 1));
  return out;
}

std::wstring Wide(const std::string& utf8) {
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  if (needed <= 1) return {};
  std::wstring out(std::size_t(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), needed);
  out.resize(std::size_t(needed - 1));
  return out;
}

bool ReadAll(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
  std::FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return false;
  std::uint8_t buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  std::fclose(file);
  return true;
}

bool WriteAll(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

bool ParseSize(const std::string& text, int& width, int& height) {
  return std::sscanf(text.c_str(), "%dx%d", &width, &height) == 2 && width > 0 && height > 0 &&
         width <= 4096 && height <= 4096;
}

RgbImage Resize(const RgbImage& source, int boxWidth, int boxHeight) {
  // Fit into the box, keeping the aspect ratio.
  const double scale = std::min(double(boxWidth) / source.width, double(boxHeight) / source.height);
  const int width = std::max(1, int(source.width * scale + 0.5));
  const int height = std::max(1, int(source.height * scale + 0.5));
  RgbImage out = RgbImage::Filled(width, height, 0, 0, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int sx = std::min(source.width - 1, int(x * double(source.width) / width));
      const int sy = std::min(source.height - 1, int(y * double(source.height) / height));
      std::memcpy(out.At(x, y), source.At(sx, sy), 3);
    }
  }
  return out;
}

// Clockwise, as ImageMagick's -rotate.
RgbImage Rotate(const RgbImage& source, int degrees) {
  if (degrees != 90 && degrees != 180 && degrees != 270) return source;
  const bool quarter = degrees != 180;
  const int w = source.width, h = source.height;
  RgbImage out = RgbImage::Filled(quarter ? h : w, quarter ? w : h, 0, 0, 0);
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      int sx, sy;
      if (degrees == 90) {
        sx = y, sy = h - 1 - x;
      } else if (degrees == 180) {
        sx = w - 1 - x, sy = h - 1 - y;
      } else {
        sx = w - 1 - y, sy = x;
      }
      std::memcpy(out.At(x, y), source.At(sx, sy), 3);
    }
  }
  return out;
}

HRESULT MakeThumbnail(const std::vector<std::string>& args) {
  int boxWidth, boxHeight, canvasWidth, canvasHeight;
  if (!ParseSize(args[1], boxWidth, boxHeight) || !ParseSize(args[8], canvasWidth, canvasHeight)) {
    return E_INVALIDARG;
  }
  std::vector<std::uint8_t> input;
  RgbImage picture;
  if (!ReadAll(Wide(args[4]), input) || !vantrel::testing::DecodeImage(input, picture)) {
    return E_FAIL;
  }
  picture = Rotate(Resize(picture, boxWidth, boxHeight), std::atoi(args[3].c_str()));
  RgbImage canvas = RgbImage::Filled(canvasWidth, canvasHeight, 255, 255, 255);
  const int left = (canvasWidth - picture.width) / 2;
  const int top = (canvasHeight - picture.height) / 2;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const int cx = left + x, cy = top + y;
      if (cx >= 0 && cy >= 0 && cx < canvasWidth && cy < canvasHeight) {
        std::memcpy(canvas.At(cx, cy), picture.At(x, y), 3);
      }
    }
  }
  const std::vector<std::uint8_t> jpeg = vantrel::testing::EncodeJpeg(canvas);
  if (jpeg.empty() || !WriteAll(Wide(args[10]), jpeg)) return E_FAIL;
  return S_OK;
}

void LogCall(SAFEARRAY* array, const std::vector<std::pair<VARTYPE, std::string>>& entries) {
  const std::string path = Environment("VANTREL_FAKE_MAGICK_LOG");
  if (path.empty()) return;
  std::FILE* log = std::fopen(path.c_str(), "ab");
  if (log == nullptr) return;
  VARTYPE type = VT_EMPTY;
  SafeArrayGetVartype(array, &type);
  LONG lower = -1;
  SafeArrayGetLBound(array, 1, &lower);
  std::fprintf(log, "dims=%u vartype=%u lbound=%ld count=%lu locked=%d\n", SafeArrayGetDim(array),
               unsigned(type), long(lower), array->rgsabound[0].cElements,
               array->cLocks > 0 ? 1 : 0);
  for (const auto& [vt, text] : entries) std::fprintf(log, "%u %s\n", unsigned(vt), text.c_str());
  std::fclose(log);
}

class FakeImage final : public IImage, public ISupportErrorInfo {
 public:
  explicit FakeImage(std::string mode) : mode_(std::move(mode)) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *ppv = static_cast<IImage*>(this);
    } else if (IsEqualIID(riid, kImageIid) && mode_ != "no-interface") {
      *ppv = static_cast<IImage*>(this);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
      *ppv = static_cast<ISupportErrorInfo*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG count = InterlockedDecrement(&references_);
    if (count == 0) delete this;
    return ULONG(count);
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return E_NOTIMPL;
  }

  STDMETHODIMP Own1(SAFEARRAY**, VARIANT*) override { return kWrongMethod; }
  STDMETHODIMP Own2(SAFEARRAY**, VARIANT*) override { return kWrongMethod; }
  STDMETHODIMP Own3(SAFEARRAY**, VARIANT*) override { return kWrongMethod; }
  STDMETHODIMP Own4(SAFEARRAY**, VARIANT*) override { return kWrongMethod; }
  STDMETHODIMP Own5(SAFEARRAY**, VARIANT*) override { return kWrongMethod; }
  STDMETHODIMP Own6(SAFEARRAY**, VARIANT*) override { return kWrongMethod; }
  STDMETHODIMP Own8(SAFEARRAY**, VARIANT*) override { return kWrongMethod; }

  STDMETHODIMP Convert(SAFEARRAY** arguments, VARIANT* result) override {
    if (arguments == nullptr || *arguments == nullptr || result == nullptr) return E_POINTER;
    SAFEARRAY* array = *arguments;
    VARTYPE type = VT_EMPTY;
    if (SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetVartype(array, &type)) ||
        type != VT_VARIANT || array->rgsabound[0].cElements != 11) {
      return E_INVALIDARG;
    }
    const auto* entries = static_cast<const VARIANT*>(array->pvData);
    std::vector<std::pair<VARTYPE, std::string>> logged;
    std::vector<std::string> args;
    for (int i = 0; i < 11; ++i) {
      const VARIANT& entry = entries[i];
      args.push_back(entry.vt == VT_BSTR ? Utf8(entry.bstrVal) : std::string());
      logged.emplace_back(entry.vt, args.back());
    }
    LogCall(array, logged);

    const bool withInfo = mode_.rfind("fail-info:", 0) == 0;
    if (withInfo || mode_.rfind("fail:", 0) == 0) {
      const HRESULT code =
          static_cast<HRESULT>(std::strtoul(mode_.c_str() + mode_.find(':') + 1, nullptr, 16));
      if (withInfo) SetDescription();
      return code;
    }
    if (mode_ == "no-output") return S_OK;
    const HRESULT hr = MakeThumbnail(args);
    if (SUCCEEDED(hr)) {
      // Something for the caller to clear.
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(L"done");
    }
    return hr;
  }

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
    return mode_.rfind("fail-info:", 0) == 0 && IsEqualIID(riid, kImageIid) ? S_OK : S_FALSE;
  }

 private:
  ~FakeImage() = default;

  static void SetDescription() {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) return;
    create->SetGUID(kImageIid);
    create->SetSource(const_cast<LPOLESTR>(L"ImageMagickObject.MagickImage.1"));
    create->SetDescription(const_cast<LPOLESTR>(kFailureDescription));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }

  std::string mode_;
  LONG references_ = 0;
};

class Factory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    const std::string mode = Environment("VANTREL_FAKE_MAGICK");
    if (mode == "create-fails") return E_ACCESSDENIED;
    FakeImage* image = new FakeImage(mode);
    image->AddRef();
    const HRESULT hr = image->QueryInterface(riid, ppv);
    image->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

Factory gFactory;

std::string ClassKey() { return std::string("CLSID\\") + vantrel::shell::kImageMagickClsidText; }

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return gFactory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return S_FALSE; }

// Registers the stand-in as the in-process server of ImageMagickObject's class.
STDAPI DllRegisterServer() {
  char path[MAX_PATH];
  HMODULE self = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&DllRegisterServer), &self);
  const DWORD length = GetModuleFileNameA(self, path, sizeof path);
  if (length == 0 || length >= sizeof path) return E_FAIL;
  HKEY key = nullptr;
  const std::string name = ClassKey() + "\\InprocServer32";
  LSTATUS status = RegCreateKeyExA(HKEY_CLASSES_ROOT, name.c_str(), 0, nullptr, 0, KEY_WRITE,
                                   nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  status = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), length + 1);
  if (status == ERROR_SUCCESS) {
    static const char kModel[] = "Both";
    status = RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(kModel),
                            sizeof kModel);
  }
  RegCloseKey(key);
  return HRESULT_FROM_WIN32(status);
}

STDAPI DllUnregisterServer() {
  const LSTATUS status = RegDeleteTreeA(HKEY_CLASSES_ROOT, ClassKey().c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, ClassKey().c_str());
    return S_OK;
  }
  return HRESULT_FROM_WIN32(status);
}
