// The module: DllGetClassObject, the class object, the lock count behind DllCanUnloadNow, and
// the exports of VantrelRX.dll itself.
#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "tests/win32/com_support.h"
#include "tests/win32/win32_environment.h"

namespace vantrel::testing {
namespace {

TEST(DllGetClassObject, AnswersForItsClassOnly) {
  EXPECT_EQ(DllGetClassObject(shell::kClsidRawImageExtractor, IID_IClassFactory, nullptr),
            E_POINTER);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(DllGetClassObject(shell::kIidRawImageExtractor, IID_IClassFactory, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(DllGetClassObject(shell::kClsidRawImageExtractor, IID_IDispatch, &object),
            E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  Ref<IUnknown> unknown;
  Ref<IClassFactory> factory;
  ASSERT_EQ(DllGetClassObject(shell::kClsidRawImageExtractor, IID_IUnknown, unknown.OutVoid()),
            S_OK);
  ASSERT_EQ(GetFactory(factory.Out()), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(factory.get()), unknown.get()) << "one class object";
}

TEST(DllCanUnloadNow, EveryHolderOfTheModuleCounts) {
  ASSERT_EQ(DllCanUnloadNow(), S_OK);
  Ref<IClassFactory> factory;
  ASSERT_EQ(GetFactory(factory.Out()), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a client of the class object";

  Ref<IUnknown> first, second;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, first.OutVoid()), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IExtractImage, second.OutVoid()), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "two objects and a server lock";
  first.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "one object and a server lock";
  second.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a server lock";

  ASSERT_EQ(GetFactory(factory.Out()), S_OK);
  Ref<IClassFactory> again;
  ASSERT_EQ(GetFactory(again.Out()), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "the second client of the class object";
  again.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

// VantrelRX.dll loaded afresh, its exports looked up by name.
class VantrelDll : public ::testing::Test {
 protected:
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using NoArguments = HRESULT(STDAPICALLTYPE*)();

  void SetUp() override {
    module_ = LoadLibraryA((ExecutableDirectory() + "VantrelRX.dll").c_str());
    ASSERT_NE(module_, nullptr);
    getClassObject_ = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    canUnloadNow_ = reinterpret_cast<NoArguments>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    ASSERT_NE(getClassObject_, nullptr);
    ASSERT_NE(canUnloadNow_, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  HMODULE module_ = nullptr;
  GetClassObject getClassObject_ = nullptr;
  NoArguments canUnloadNow_ = nullptr;
};

TEST_F(VantrelDll, ExportsTheFourEntryPoints) {
  EXPECT_NE(GetProcAddress(module_, "DllRegisterServer"), nullptr);
  EXPECT_NE(GetProcAddress(module_, "DllUnregisterServer"), nullptr);

  Ref<IClassFactory> factory;
  ASSERT_EQ(getClassObject_(shell::kClsidRawImageExtractor, IID_IClassFactory, factory.OutVoid()),
            S_OK);
  Ref<IExtractImage2> extract;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IExtractImage2, extract.OutVoid()), S_OK);
  factory.Reset();
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  DWORD flags = 0;
  const SIZE size = {96, 96};
  EXPECT_EQ(extract->GetLocation(nullptr, 0, nullptr, &size, 32, &flags), S_OK);
  EXPECT_EQ(flags, 0x2u);
  extract.Reset();
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(VantrelDll, TwoThreadsAskingAtOnceGetTheSameClassObject) {
  IUnknown* objects[2] = {};
  HRESULT results[2] = {E_FAIL, E_FAIL};
  std::latch start(2);
  auto ask = [&](int i) {
    start.arrive_and_wait();
    results[i] = getClassObject_(shell::kClsidRawImageExtractor, IID_IUnknown,
                                 reinterpret_cast<void**>(&objects[i]));
  };
  std::thread first(ask, 0), second(ask, 1);
  first.join();
  second.join();
  ASSERT_EQ(results[0], S_OK);
  ASSERT_EQ(results[1], S_OK);
  EXPECT_EQ(objects[0], objects[1]);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  objects[0]->Release();
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "one client still holds it";
  objects[1]->Release();
  EXPECT_EQ(canUnloadNow_(), S_OK) << "the cache's own reference does not lock the module";
}

}  // namespace
}  // namespace vantrel::testing
