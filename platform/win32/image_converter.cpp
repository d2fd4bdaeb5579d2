#include "platform/image_converter.h"

#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include "platform/win32/code_page.h"
#include "platform/win32/com_scope.h"
#include "platform/win32/guid.h"
#include "shellext/identifiers.h"

namespace vantrel::platform {

// The component's image interface, a dual interface. Only the place of the conversion method
// matters: it is the seventh of the interface's own methods, after IDispatch's four. The six
// before it are never called. Declared outside the unnamed namespace: the compiler must not
// conclude that no object of the type can exist and bind the calls statically.
struct IImageMagickImage : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE OwnMethod1() = 0;
  virtual HRESULT STDMETHODCALLTYPE OwnMethod2() = 0;
  virtual HRESULT STDMETHODCALLTYPE OwnMethod3() = 0;
  virtual HRESULT STDMETHODCALLTYPE OwnMethod4() = 0;
  virtual HRESULT STDMETHODCALLTYPE OwnMethod5() = 0;
  virtual HRESULT STDMETHODCALLTYPE OwnMethod6() = 0;
  virtual HRESULT STDMETHODCALLTYPE Convert(SAFEARRAY** arguments, VARIANT* result) = 0;
};

namespace {

constexpr CLSID kImageMagickClsid = GuidFromText(shell::kImageMagickClsidText);
constexpr IID kImageInterfaceIid = GuidFromText(shell::kImageMagickImageIidText);
constexpr DWORD kCreateContext = CLSCTX_ALL;  // in-process server and handler, local, remote
static_assert(kCreateContext == 23);

// The argument list: a locked SAFEARRAY of 11 VARIANTs, lower bound 0.
class ArgumentArray {
 public:
  ~ArgumentArray() { Destroy(); }

  HRESULT Create(const ConvertArguments& arguments) {
    SAFEARRAYBOUND bound = {static_cast<ULONG>(arguments.size()), 0};
    array_ = SafeArrayCreate(VT_VARIANT, 1, &bound);
    if (array_ == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = SafeArrayLock(array_);
    if (FAILED(hr)) {
      SafeArrayDestroy(array_);
      array_ = nullptr;
      return hr;
    }
    VARIANT* entries = static_cast<VARIANT*>(array_->pvData);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      VARIANT& entry = entries[i];
      VariantInit(&entry);
      const std::wstring text = AnsiToWide(arguments[i].c_str());
      BSTR string = SysAllocString(text.c_str());
      if (string != nullptr) {
        entry.vt = VT_BSTR;
        entry.bstrVal = string;
      } else {
        entry.vt = VT_ERROR;
        entry.scode = E_OUTOFMEMORY;
      }
    }
    return S_OK;
  }

  SAFEARRAY** address() { return &array_; }

  // Unlocks and destroys the array, which frees its strings.
  void Destroy() {
    if (array_ == nullptr) return;
    SafeArrayUnlock(array_);
    SafeArrayDestroy(array_);
    array_ = nullptr;
  }

 private:
  SAFEARRAY* array_ = nullptr;
};

std::string DescriptionOf(IErrorInfo* info) {
  std::string text;
  BSTR description = nullptr;
  if (SUCCEEDED(info->GetDescription(&description)) && description != nullptr) {
    const int needed =
        WideCharToMultiByte(CP_ACP, 0, description, -1, nullptr, 0, nullptr, nullptr);
    if (needed > 1) {
      text.resize(static_cast<std::size_t>(needed));
      WideCharToMultiByte(CP_ACP, 0, description, -1, text.data(), needed, nullptr, nullptr);
      text.resize(static_cast<std::size_t>(needed - 1));
    }
  }
  SysFreeString(description);
  return text;
}

// The component's error information for a failed call, when it says it gives some.
std::string ErrorDescription(IImageMagickImage* image) {
  ISupportErrorInfo* support = nullptr;
  if (FAILED(image->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))) ||
      support == nullptr) {
    return {};
  }
  const HRESULT supported = support->InterfaceSupportsErrorInfo(kImageInterfaceIid);
  support->Release();
  if (supported != S_OK) return {};
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return {};
  std::string text = DescriptionOf(info);
  info->Release();
  return text;
}

// Creates the component and asks it for its image interface. E_NOINTERFACE on the way leaves
// `image` null with S_OK; every other failure is returned.
HRESULT CreateComponent(IImageMagickImage*& image) {
  image = nullptr;
  IUnknown* unknown = nullptr;
  HRESULT hr = CoCreateInstance(kImageMagickClsid, nullptr, kCreateContext, IID_IUnknown,
                                reinterpret_cast<void**>(&unknown));
  if (SUCCEEDED(hr)) hr = OleRun(unknown);
  if (SUCCEEDED(hr))
    hr = unknown->QueryInterface(kImageInterfaceIid, reinterpret_cast<void**>(&image));
  if (unknown != nullptr) unknown->Release();
  if (FAILED(hr)) {
    image = nullptr;
    return hr == E_NOINTERFACE ? S_OK : hr;
  }
  return S_OK;
}

ConversionOutcome Convert(const ConvertArguments& arguments) {
  ConversionOutcome outcome;
  IImageMagickImage* image = nullptr;
  HRESULT hr = CreateComponent(image);
  if (FAILED(hr)) {
    outcome.hr = hr;
    return outcome;
  }
  if (image == nullptr) {
    outcome.hr = kEUnexpected;
    outcome.noInterface = true;
    return outcome;
  }

  ArgumentArray array;
  hr = array.Create(arguments);
  if (FAILED(hr)) {
    image->Release();
    outcome.hr = hr;
    return outcome;
  }
  VARIANT result;
  VariantInit(&result);
  hr = image->Convert(array.address(), &result);
  if (FAILED(hr)) {
    outcome.description = ErrorDescription(image);
    VariantClear(&result);
    array.Destroy();
    image->Release();
    outcome.hr = hr;
    return outcome;
  }
  hr = VariantClear(&result);
  if (FAILED(hr)) {
    array.Destroy();
    image->Release();
    outcome.hr = hr;
    return outcome;
  }
  image->Release();
  array.Destroy();
  return outcome;
}

}  // namespace

ConversionOutcome RunImageConverter(const ConvertArguments& arguments) {
  // Every COM object of the conversion is gone before the scope balances the initialisation.
  ComScope com;
  return Convert(arguments);
}

}  // namespace vantrel::platform
