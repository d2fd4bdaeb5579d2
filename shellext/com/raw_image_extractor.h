// RawImageExtractor: the COM class through which the shell asks for a raw file's thumbnail. A
// thin adapter over vantrel::Extractor: it converts texts between UTF-16 and ANSI, and hands
// the bitmap and date stamp over in the shell's types.
#pragma once

#include <objidl.h>
#include <oleauto.h>
#include <shobjidl.h>
#include <windows.h>

#include "shellext/extractor.h"

namespace vantrel::shell {

// The class's own dual interface. It declares nothing beyond IDispatch.
struct IRawImageExtractor : public IDispatch {};

// Three entry points: the primary one (IRawImageExtractor, IDispatch and IUnknown), the
// IPersistFile one, and the IExtractImage2 one (serving IExtractImage too). As part of an
// aggregate, those delegate IUnknown to the outer object, and the creator receives a separate
// inner IUnknown that owns the count and the interface map.
class RawImageExtractor final : public IRawImageExtractor,
                                public IPersistFile,
                                public IExtractImage2 {
 public:
  // Makes an object (aggregated when `outer` is not null) and asks it for `riid`; the object
  // is destroyed again when that fails. `outer` requires `riid` IID_IUnknown: the class factory
  // checks that. E_OUTOFMEMORY when it cannot be allocated.
  static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

  // IUnknown, delegating to the outer object in an aggregate.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch, served from the type library.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* parameters,
                      VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

  // IPersist, IPersistFile. Only Load is supported.
  STDMETHODIMP GetClassID(CLSID* classId) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPCOLESTR fileName, DWORD mode) override;
  STDMETHODIMP Save(LPCOLESTR fileName, BOOL remember) override;
  STDMETHODIMP SaveCompleted(LPCOLESTR fileName) override;
  STDMETHODIMP GetCurFile(LPOLESTR* fileName) override;

  // IExtractImage, IExtractImage2.
  STDMETHODIMP GetLocation(LPWSTR pathBuffer, DWORD cch, DWORD* priority, const SIZE* size,
                           DWORD colorDepth, DWORD* flags) override;
  STDMETHODIMP Extract(HBITMAP* bitmap) override;
  STDMETHODIMP GetDateStamp(FILETIME* dateStamp) override;

 private:
  // The non-delegating IUnknown: the object's own count and interface map.
  class InnerUnknown final : public IUnknown {
   public:
    explicit InnerUnknown(RawImageExtractor* owner) : owner_(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

   private:
    RawImageExtractor* owner_;
  };

  explicit RawImageExtractor(IUnknown* outer);
  ~RawImageExtractor();

  IUnknown* Primary() { return static_cast<IRawImageExtractor*>(this); }
  HRESULT InnerQueryInterface(REFIID riid, void** ppv);
  ULONG InnerAddRef();
  ULONG InnerRelease();

  IUnknown* outer_;  // the controlling outer object, or null
  InnerUnknown inner_;
  ULONG references_ = 0;  // apartment threaded: one caller at a time
  Extractor extractor_;
};

}  // namespace vantrel::shell
