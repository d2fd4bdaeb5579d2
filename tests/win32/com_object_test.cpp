// RawImageExtractor as the shell sees it: identity and counts, aggregation, and the calls
// before Extract (Load, GetLocation, GetDateStamp, the rest of IPersistFile, IDispatch).
#include <gtest/gtest.h>

#include <vector>

#include "tests/fixtures/temp_file.h"
#include "tests/win32/com_support.h"
#include "tests/win32/win32_environment.h"

namespace vantrel::testing {
namespace {

IUnknown* Ask(IUnknown* object, REFIID riid) {
  IUnknown* answer = nullptr;
  EXPECT_EQ(object->QueryInterface(riid, reinterpret_cast<void**>(&answer)), S_OK);
  if (answer != nullptr) answer->Release();
  return answer;
}

TEST(RawImageExtractorIdentity, InterfaceMapAndCounts) {
  Ref<IUnknown> object;
  ASSERT_EQ(CreateExtractor(IID_IUnknown, object), S_OK);

  // Every entry point answers every interface with the same pointer for each group.
  IUnknown* primary = Ask(object.get(), IID_IUnknown);
  IUnknown* persist = Ask(object.get(), IID_IPersistFile);
  IUnknown* extract = Ask(object.get(), IID_IExtractImage);
  EXPECT_EQ(primary, object.get());
  EXPECT_NE(persist, primary);
  EXPECT_NE(extract, primary);
  EXPECT_NE(extract, persist);
  for (IUnknown* from : {primary, persist, extract}) {
    EXPECT_EQ(Ask(from, IID_IUnknown), primary);
    EXPECT_EQ(Ask(from, IID_IDispatch), primary);
    EXPECT_EQ(Ask(from, shell::kIidRawImageExtractor), primary);
    EXPECT_EQ(Ask(from, IID_IPersistFile), persist);
    EXPECT_EQ(Ask(from, IID_IExtractImage), extract);
    EXPECT_EQ(Ask(from, IID_IExtractImage2), extract);
  }

  void* answer = reinterpret_cast<void*>(1);
  for (const IID& other : {IID_IPersist, IID_IClassFactory, IID_IPersistStream, IID_IStream}) {
    EXPECT_EQ(extract->QueryInterface(other, &answer), E_NOINTERFACE);
    EXPECT_EQ(answer, nullptr);
  }
  EXPECT_EQ(persist->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  // One count for all entry points; the last release frees the object and its module lock.
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(extract->AddRef(), 2u);
  EXPECT_EQ(persist->AddRef(), 3u);
  EXPECT_EQ(primary->Release(), 2u);
  EXPECT_EQ(extract->Release(), 1u);
  object.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

// An outer object that aggregates a RawImageExtractor and counts its own references.
class Outer final : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner != nullptr ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }
  ULONG references = 1;
  IUnknown* inner = nullptr;
};

TEST(RawImageExtractorAggregation, InnerUnknownOwnsTheObjectAndTheRestDelegate) {
  Ref<IClassFactory> factory;
  ASSERT_EQ(GetFactory(factory.Out()), S_OK);
  Outer outer;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
            S_OK);
  ASSERT_NE(outer.inner, nullptr);
  EXPECT_EQ(outer.references, 1u) << "creating the inner object does not count on the outer";

  // The inner IUnknown answers for itself and hands out delegating entry points.
  IUnknown* self = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&self)), S_OK);
  EXPECT_EQ(self, outer.inner);
  self->Release();

  IExtractImage* extract = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_IExtractImage, reinterpret_cast<void**>(&extract)),
            S_OK);
  EXPECT_EQ(outer.references, 2u) << "the interface's reference counts on the outer object";
  IUnknown* identity = nullptr;
  ASSERT_EQ(extract->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, &outer);
  identity->Release();
  extract->Release();
  EXPECT_EQ(outer.references, 1u);

  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(outer.inner->Release(), 0u);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(RawImageExtractorAggregation, OnlyTheInnerUnknownMayBeAskedFor) {
  Ref<IClassFactory> factory;
  ASSERT_EQ(GetFactory(factory.Out()), S_OK);
  Outer outer;
  for (const IID& riid : {IID_IExtractImage, IID_IPersistFile, IID_IDispatch}) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, riid, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
  }
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_OK) << "a refused object is not left behind";
}

TEST(RawImageExtractorPersistFile, OnlyLoadIsSupported) {
  Ref<IPersistFile> persist;
  ASSERT_EQ(CreateExtractor(IID_IPersistFile, persist), S_OK);
  CLSID classId = IID_IStream;
  EXPECT_EQ(persist->GetClassID(&classId), E_NOTIMPL);
  EXPECT_TRUE(IsEqualGUID(classId, IID_IStream)) << "not written";
  EXPECT_EQ(persist->IsDirty(), E_NOTIMPL);
  EXPECT_EQ(persist->Save(L"C:\\a.nef", TRUE), E_NOTIMPL);
  EXPECT_EQ(persist->SaveCompleted(L"C:\\a.nef"), E_NOTIMPL);
  LPOLESTR current = reinterpret_cast<LPOLESTR>(1);
  EXPECT_EQ(persist->GetCurFile(&current), E_NOTIMPL);
  EXPECT_EQ(current, reinterpret_cast<LPOLESTR>(1));
  EXPECT_EQ(persist->Load(L"C:\\does\\not\\matter.nef", STGM_READ), S_OK);
}

TEST(RawImageExtractorDispatch, OneTypeInfo) {
  Ref<IDispatch> dispatch;
  ASSERT_EQ(CreateExtractor(IID_IDispatch, dispatch), S_OK);
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(dispatch->GetTypeInfoCount(nullptr), E_POINTER);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  EXPECT_EQ(info, nullptr);
}

// An object with a raw file loaded, whose last-write time lies in 2004.
class LoadedExtractor : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateExtractor(IID_IExtractImage2, extract_), S_OK);
    ASSERT_EQ(extract_->QueryInterface(IID_IPersistFile, persist_.OutVoid()), S_OK);
    const SYSTEMTIME when = {2004, 1, 5, 2, 3, 4, 5, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&when, &fileTime_));
    HANDLE handle = CreateFileA(file_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    SetFileTime(handle, nullptr, nullptr, &fileTime_);
    CloseHandle(handle);
    ASSERT_EQ(persist_->Load(Wide(file_.path()).c_str(), STGM_READ), S_OK);
  }

  HRESULT Locate(DWORD& flags, DWORD cch = 0, wchar_t* buffer = nullptr) {
    const SIZE size = {120, 80};
    DWORD priority = 0xDEADBEEF;
    const HRESULT hr = extract_->GetLocation(buffer, cch, &priority, &size, 32, &flags);
    EXPECT_EQ(priority, 0xDEADBEEFu) << "the priority is neither read nor written";
    return hr;
  }

  // The date stamp, and whether it is the file's time rather than the current time.
  bool StampIsFileTime() {
    FILETIME stamp = {};
    EXPECT_EQ(extract_->GetDateStamp(&stamp), S_OK);
    return Join(stamp) == Join(fileTime_);
  }

  fixtures::TempFile file_{fixtures::Bytes(64, 0), "loaded.nef"};
  FILETIME fileTime_ = {};
  Ref<IExtractImage2> extract_;
  Ref<IPersistFile> persist_;
};

TEST_F(LoadedExtractor, GetLocationFlagRule) {
  struct Case {
    DWORD in;
    DWORD out;
    HRESULT hr;
    bool stampIsNow;
  };
  const Case cases[] = {
      {0x0, 0x2, S_OK, false},      {0x2, 0x2, S_OK, false},       {0x20, 0x20, S_OK, true},
      {0x22, 0x20, S_OK, true},     {0x60, 0x62, S_OK, false},     {0x40, 0x42, S_OK, false},
      {0x1, 0x3, E_PENDING, false}, {0x21, 0x21, E_PENDING, true}, {0x322, 0x320, S_OK, true},
      {0x280, 0x282, S_OK, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    ASSERT_EQ(persist_->Load(Wide(file_.path()).c_str(), STGM_READ), S_OK);
    DWORD flags = c.in;
    EXPECT_EQ(Locate(flags), c.hr);
    EXPECT_EQ(flags, c.out);
    EXPECT_EQ(StampIsFileTime(), !c.stampIsNow);
  }
}

TEST_F(LoadedExtractor, DateStampIsTheFileTimeUntilAScreenRequestAndAgainAfterLoad) {
  EXPECT_TRUE(StampIsFileTime());

  DWORD flags = 0x20;
  FILETIME before, after, stamp = {};
  GetSystemTimeAsFileTime(&before);
  Locate(flags);
  ASSERT_EQ(extract_->GetDateStamp(&stamp), S_OK);
  GetSystemTimeAsFileTime(&after);
  EXPECT_GE(Join(stamp) + 10000, Join(before));
  EXPECT_LE(Join(stamp), Join(after));

  flags = 0x60;  // not a screen request: the stamp stays "now"
  Locate(flags);
  EXPECT_FALSE(StampIsFileTime());

  ASSERT_EQ(persist_->Load(Wide(file_.path()).c_str(), STGM_READ), S_OK);
  EXPECT_TRUE(StampIsFileTime());
}

TEST_F(LoadedExtractor, DateStampFailsWhenTheFileCannotBeOpened) {
  // Held open for writing elsewhere: the open shares reading only, also for a "now" stamp.
  HANDLE writer = CreateFileA(file_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  DWORD flags = 0x20;
  Locate(flags);
  FILETIME stamp = {1, 2};
  EXPECT_EQ(extract_->GetDateStamp(&stamp), E_FAIL);
  EXPECT_EQ(stamp.dwLowDateTime, 1u);
  EXPECT_EQ(stamp.dwHighDateTime, 2u);
  CloseHandle(writer);
  EXPECT_EQ(extract_->GetDateStamp(&stamp), S_OK);

  fixtures::TempPath missing;
  ASSERT_EQ(persist_->Load(Wide(missing.path()).c_str(), STGM_READ), S_OK);
  EXPECT_EQ(extract_->GetDateStamp(&stamp), E_FAIL);
}

TEST_F(LoadedExtractor, GetLocationCopiesThePathWithinTheBuffer) {
  const std::wstring path = Wide(file_.path());
  const std::size_t kGuard = 4;

  // Room to spare: the path, then zeros up to cch characters, and nothing past them.
  std::vector<wchar_t> buffer(path.size() + 10 + kGuard, L'#');
  DWORD flags = 0;
  Locate(flags, static_cast<DWORD>(path.size() + 10), buffer.data());
  EXPECT_EQ(std::wstring(buffer.data()), path);
  for (std::size_t i = path.size(); i < path.size() + 10; ++i) EXPECT_EQ(buffer[i], L'\0') << i;
  for (std::size_t i = path.size() + 10; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], L'#') << i;

  // Too small: cut to leave room for the terminator, never past cch.
  std::vector<wchar_t> small(5 + kGuard, L'#');
  Locate(flags, 5, small.data());
  EXPECT_EQ(std::wstring(small.data()), path.substr(0, 4));
  for (std::size_t i = 5; i < small.size(); ++i) EXPECT_EQ(small[i], L'#') << i;

  EXPECT_EQ(Locate(flags, 0, nullptr), S_OK);
}

TEST_F(LoadedExtractor, PathsTheCodePageCannotHoldOrThatDoNotFit) {
  wchar_t buffer[MAX_PATH];
  DWORD flags = 0;
  if (GetACP() != CP_UTF8) {
    // A character outside the ANSI code page becomes its replacement character.
    ASSERT_EQ(persist_->Load(L"C:\\raw\\\x4E2D.nef", STGM_READ), S_OK);
    Locate(flags, MAX_PATH, buffer);
    EXPECT_EQ(std::wstring(buffer), L"C:\\raw\\?.nef");
    FILETIME stamp;
    EXPECT_EQ(extract_->GetDateStamp(&stamp), E_FAIL);
  }
  // 260 characters need 261 bytes: the path is dropped rather than cut to another file's name.
  const std::wstring tooLong = L"C:\\" + std::wstring(257, L'a');
  ASSERT_EQ(persist_->Load(tooLong.c_str(), STGM_READ), S_OK);
  Locate(flags, MAX_PATH, buffer);
  EXPECT_EQ(std::wstring(buffer), L"");
  FILETIME stamp;
  EXPECT_EQ(extract_->GetDateStamp(&stamp), E_FAIL);
}

}  // namespace
}  // namespace vantrel::testing
