#include "shellext/com/raw_image_extractor.h"

#include <new>

#include "platform/win32/code_page.h"
#include "shellext/com/guids.h"
#include "shellext/com/module.h"
#include "shellext/com/registration.h"

namespace vantrel::shell {

HRESULT RawImageExtractor::Create(IUnknown* outer, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  RawImageExtractor* object = new (std::nothrow) RawImageExtractor(outer);
  if (object == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = object->InnerQueryInterface(riid, ppv);
  if (FAILED(hr)) delete object;
  return hr;
}

RawImageExtractor::RawImageExtractor(IUnknown* outer) : outer_(outer), inner_(this) {
  LockModule();
}

RawImageExtractor::~RawImageExtractor() { UnlockModule(); }

// --- The object's own IUnknown ---------------------------------------------------------------

HRESULT RawImageExtractor::InnerQueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  IUnknown* entry = nullptr;
  if (IsEqualIID(riid, IID_IUnknown)) {
    // Standing alone the object's identity is its primary entry point; in an aggregate the
    // outer object owns the identity and asks through the inner IUnknown.
    entry = outer_ != nullptr ? static_cast<IUnknown*>(&inner_) : Primary();
  } else if (IsEqualIID(riid, kIidRawImageExtractor) || IsEqualIID(riid, IID_IDispatch)) {
    entry = Primary();
  } else if (IsEqualIID(riid, IID_IPersistFile)) {
    entry = static_cast<IPersistFile*>(this);
  } else if (IsEqualIID(riid, IID_IExtractImage) || IsEqualIID(riid, IID_IExtractImage2)) {
    entry = static_cast<IExtractImage2*>(this);
  }
  if (entry == nullptr) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  entry->AddRef();
  *ppv = entry;
  return S_OK;
}

ULONG RawImageExtractor::InnerAddRef() { return ++references_; }

ULONG RawImageExtractor::InnerRelease() {
  const ULONG count = --references_;
  if (count == 0) delete this;
  return count;
}

STDMETHODIMP RawImageExtractor::InnerUnknown::QueryInterface(REFIID riid, void** ppv) {
  return owner_->InnerQueryInterface(riid, ppv);
}
STDMETHODIMP_(ULONG) RawImageExtractor::InnerUnknown::AddRef() { return owner_->InnerAddRef(); }
STDMETHODIMP_(ULONG) RawImageExtractor::InnerUnknown::Release() { return owner_->InnerRelease(); }

// --- IUnknown of every entry point -----------------------------------------------------------

STDMETHODIMP RawImageExtractor::QueryInterface(REFIID riid, void** ppv) {
  if (outer_ != nullptr) return outer_->QueryInterface(riid, ppv);
  return InnerQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) RawImageExtractor::AddRef() {
  if (outer_ != nullptr) return outer_->AddRef();
  return InnerAddRef();
}

STDMETHODIMP_(ULONG) RawImageExtractor::Release() {
  if (outer_ != nullptr) return outer_->Release();
  return InnerRelease();
}

// --- IDispatch -------------------------------------------------------------------------------

STDMETHODIMP RawImageExtractor::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP RawImageExtractor::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return GetExtractorTypeInfo(info);
}

STDMETHODIMP RawImageExtractor::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                              DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = GetExtractorTypeInfo(&info);
  if (FAILED(hr)) return hr;
  hr = DispGetIDsOfNames(info, names, count, ids);
  info->Release();
  return hr;
}

STDMETHODIMP RawImageExtractor::Invoke(DISPID id, REFIID riid, LCID, WORD flags,
                                       DISPPARAMS* parameters, VARIANT* result,
                                       EXCEPINFO* exception, UINT* argumentError) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = GetExtractorTypeInfo(&info);
  if (FAILED(hr)) return hr;
  hr = DispInvoke(static_cast<IRawImageExtractor*>(this), info, id, flags, parameters, result,
                  exception, argumentError);
  info->Release();
  return hr;
}

// --- IPersistFile ----------------------------------------------------------------------------

STDMETHODIMP RawImageExtractor::GetClassID(CLSID*) { return E_NOTIMPL; }

STDMETHODIMP RawImageExtractor::IsDirty() { return E_NOTIMPL; }

STDMETHODIMP RawImageExtractor::Load(LPCOLESTR fileName, DWORD) {
  if (fileName == nullptr) return E_POINTER;
  char path[kPathChars];
  // A path that does not fit is not cut short, which could name another file: the object
  // forgets its path, so that a later Extract fails to open it and GetDateStamp fails.
  if (!platform::WideToAnsi(fileName, path, kPathChars)) path[0] = '\0';
  return extractor_.Load(path);
}

STDMETHODIMP RawImageExtractor::Save(LPCOLESTR, BOOL) { return E_NOTIMPL; }

STDMETHODIMP RawImageExtractor::SaveCompleted(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP RawImageExtractor::GetCurFile(LPOLESTR*) { return E_NOTIMPL; }

// --- IExtractImage, IExtractImage2 -----------------------------------------------------------

STDMETHODIMP RawImageExtractor::GetLocation(LPWSTR pathBuffer, DWORD cch, DWORD*, const SIZE* size,
                                            DWORD, DWORD* flags) {
  if (size == nullptr || flags == nullptr || (pathBuffer == nullptr && cch != 0)) {
    return E_POINTER;
  }
  // The path, cut to leave room for the terminator, and zeros up to cch characters.
  const std::wstring path = platform::AnsiToWide(extractor_.state().sourcePath);
  for (DWORD i = 0; i < cch; ++i) {
    pathBuffer[i] = i + 1 < cch && i < path.size() ? path[i] : L'\0';
  }
  std::uint32_t requestFlags = *flags;
  const HRESULT hr = extractor_.GetLocation(size->cx, size->cy, requestFlags);
  *flags = requestFlags;
  return hr;
}

STDMETHODIMP RawImageExtractor::Extract(HBITMAP* bitmap) {
  if (bitmap == nullptr) return E_POINTER;
  *bitmap = nullptr;
  platform::Bitmap picture;
  const HRESULT hr = extractor_.Extract(picture);
  if (FAILED(hr)) {
    platform::ReleaseNativeBitmap(picture);
    return hr;
  }
  // The shell owns the bitmap from here on.
  *bitmap = static_cast<HBITMAP>(picture.handle);
  return S_OK;
}

STDMETHODIMP RawImageExtractor::GetDateStamp(FILETIME* dateStamp) {
  if (dateStamp == nullptr) return E_POINTER;
  std::uint64_t time = 0;
  const HRESULT hr = extractor_.GetDateStamp(time);
  if (FAILED(hr)) return hr;
  dateStamp->dwLowDateTime = static_cast<DWORD>(time);
  dateStamp->dwHighDateTime = static_cast<DWORD>(time >> 32);
  return S_OK;
}

}  // namespace vantrel::shell
