// The module's two registry scripts (REGISTRY 101 and 102), run the way registration runs
// them, against a registry kept in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shellext/identifiers.h"
#include "shellext/registry/memory_registry.h"
#include "shellext/registry/registry_script.h"
#include "shellext/resources/registry_scripts.h"

namespace vantrel::registry {
namespace {

using Lines = std::vector<std::wstring>;

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

const std::wstring kClsid = Widen(shell::kClsidText);
const std::wstring kLibid = Widen(shell::kLibidText);
const std::wstring kAppid = Widen(shell::kAppidText);
const std::wstring kModule = L"C:\\Program Files\\Vantrel\\VantrelRX.dll";

class ModuleScripts : public ::testing::Test {
 protected:
  // DllRegisterServer's two script steps: the AppID script, then the class script.
  HResult Register(const std::wstring& module = kModule) {
    HResult hr = RunScript(shell::kAppIdScript, ScriptMode::kRegister, module);
    if (Succeeded(hr)) hr = RunScript(shell::kClassScript, ScriptMode::kRegister, module);
    return hr;
  }

  // DllUnregisterServer's script steps: the class script, then the AppID script.
  HResult Unregister() {
    HResult hr = RunScript(shell::kClassScript, ScriptMode::kUnregister, kModule);
    if (Succeeded(hr)) hr = RunScript(shell::kAppIdScript, ScriptMode::kUnregister, kModule);
    return hr;
  }

  HResult RunScript(const wchar_t* script, ScriptMode mode, const std::wstring& module) {
    ScriptError error;
    const HResult hr = RunRegistryScript(
        script, {{L"MODULE", QuoteForScript(module)}, {L"APPID", kAppid}}, mode, registry_, &error);
    EXPECT_TRUE(error.message.empty()) << "line " << error.line << ": " << error.message;
    return hr;
  }

  MemoryRegistry registry_;
};

TEST_F(ModuleScripts, RegistrationWritesTheClassAndAppIdEntries) {
  ASSERT_EQ(Register(), kSOk);
  const std::wstring key = L"CLSID\\" + kClsid;
  EXPECT_EQ(registry_.Dump(),
            (Lines{
                L"AppID",
                L"AppID\\Vantrel.DLL",
                L"AppID\\Vantrel.DLL AppID = '" + kAppid + L"'",
                L"AppID\\" + kAppid,
                L"AppID\\" + kAppid + L" @ = 'Vantrel'",
                L"CLSID",
                key,
                key + L" @ = 'RawImageExtractor Class'",
                key + L" AppID = '" + kAppid + L"'",
                key + L"\\InprocServer32",
                key + L"\\InprocServer32 @ = '" + kModule + L"'",
                key + L"\\InprocServer32 ThreadingModel = 'Apartment'",
                key + L"\\ProgID",
                key + L"\\ProgID @ = 'Vantrel.RawImageExtractor.1'",
                key + L"\\Programmable",
                key + L"\\TypeLib",
                key + L"\\TypeLib @ = '" + kLibid + L"'",
                key + L"\\VersionIndependentProgID",
                key + L"\\VersionIndependentProgID @ = 'Vantrel.RawImageExtractor'",
                L"Vantrel.RawImageExtractor",
                L"Vantrel.RawImageExtractor @ = 'RawImageExtractor Class'",
                L"Vantrel.RawImageExtractor\\CLSID",
                L"Vantrel.RawImageExtractor\\CLSID @ = '" + kClsid + L"'",
                L"Vantrel.RawImageExtractor\\CurVer",
                L"Vantrel.RawImageExtractor\\CurVer @ = 'Vantrel.RawImageExtractor.1'",
                L"Vantrel.RawImageExtractor.1",
                L"Vantrel.RawImageExtractor.1 @ = 'RawImageExtractor Class'",
                L"Vantrel.RawImageExtractor.1\\CLSID",
                L"Vantrel.RawImageExtractor.1\\CLSID @ = '" + kClsid + L"'",
            }));
}

TEST_F(ModuleScripts, RegisteringAgainGivesTheSameTreeWithoutStrays) {
  ASSERT_EQ(Register(), kSOk);
  const Lines once = registry_.Dump();
  ASSERT_EQ(Register(), kSOk);
  EXPECT_EQ(registry_.Dump(), once);

  const std::wstring key = L"CLSID\\" + kClsid;
  ASSERT_EQ(registry_.CreateKey(key + L"\\Stray\\Deeper"), kSOk);
  ASSERT_EQ(registry_.SetString(key, L"Stray", L"x"), kSOk);
  ASSERT_EQ(registry_.SetString(key + L"\\InprocServer32", L"Stray", L"x"), kSOk);
  ASSERT_EQ(Register(), kSOk);
  EXPECT_EQ(registry_.Dump(), once);
}

TEST_F(ModuleScripts, UnregistrationRemovesEverythingButTheSharedRoots) {
  // Other programs' entries under the shared keys, and one that the scripts never touch.
  ASSERT_EQ(registry_.CreateKey(L"CLSID\\{00000000-1111-2222-3333-444444444444}"), kSOk);
  ASSERT_EQ(registry_.CreateKey(L"AppID\\Other.DLL"), kSOk);
  ASSERT_EQ(registry_.CreateKey(L".nef"), kSOk);
  const Lines before = registry_.Dump();

  ASSERT_EQ(Register(), kSOk);
  EXPECT_EQ(Unregister(), kSOk);
  EXPECT_EQ(registry_.Dump(), before);

  // Into an empty registry the shared roots come with registration and stay afterwards.
  MemoryRegistry empty;
  std::swap(registry_, empty);
  ASSERT_EQ(Register(), kSOk);
  EXPECT_EQ(Unregister(), kSOk);
  EXPECT_EQ(registry_.Dump(), (Lines{L"AppID", L"CLSID"}));
  EXPECT_EQ(Unregister(), kSOk) << "unregistering what is not registered";
}

TEST_F(ModuleScripts, UnregistrationStopsAtAnUnlistedSubkey) {
  ASSERT_EQ(Register(), kSOk);
  const std::wstring key = L"CLSID\\" + kClsid;
  ASSERT_EQ(registry_.CreateKey(key + L"\\Implemented Categories"), kSOk);
  EXPECT_EQ(Unregister(), kErrorAccessDenied);
  EXPECT_TRUE(registry_.HasKey(key + L"\\Implemented Categories"));
  EXPECT_FALSE(registry_.HasKey(key + L"\\InprocServer32"));
  EXPECT_TRUE(registry_.HasKey(L"AppID\\Vantrel.DLL")) << "the AppID step is not run";
}

TEST_F(ModuleScripts, ModulePathKeepsItsQuotesAndPercentSigns) {
  for (const std::wstring path : {L"C:\\Users\\O'Brien\\Vantrel's ''tools''\\VantrelRX.dll",
                                  L"D:\\100% raw\\%MODULE%\\VantrelRX.dll"}) {
    ASSERT_EQ(Register(path), kSOk) << path;
    EXPECT_EQ(registry_.Value(L"CLSID\\" + kClsid + L"\\InprocServer32", L""), path);
  }
}

}  // namespace
}  // namespace vantrel::registry
