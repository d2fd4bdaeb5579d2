// The module's registration, type library and resources, and the installer, under Wine: what
// regsvr32, a script client and Explorer see. The tests write to HKEY_CLASSES_ROOT and
// Program Files of the test prefix.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "shellext/identifiers.h"
#include "tests/win32/win32_environment.h"

namespace {

const wchar_t kThumbnailHandler[] = L"{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}";

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

const std::wstring kClsid = Widen(vantrel::shell::kClsidText);
const std::wstring kIid = Widen(vantrel::shell::kIidText);
const std::wstring kLibid = Widen(vantrel::shell::kLibidText);
const std::wstring kAppid = Widen(vantrel::shell::kAppidText);
const std::wstring kClassKey = L"CLSID\\" + kClsid;

// A path of the build machine as Wine's Z: drive shows it.
std::wstring WindowsPath(const char* path) {
  std::wstring out = Widen(path);
  if (!out.empty() && out[0] == L'/') out = L"Z:" + out;
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  return out;
}

const std::wstring kBuiltDll = WindowsPath(VANTREL_RX_DLL);
const std::wstring kSetup = WindowsPath(VANTREL_SETUP_EXE);
const std::wstring kShellClient = WindowsPath(VANTREL_SHELL_CLIENT);
const std::wstring kSamples = WindowsPath(VANTREL_SAMPLES_DIR);
const std::wstring kWork = L"C:\\vantrel-tests";

GUID Guid(const std::wstring& text) {
  GUID guid = {};
  EXPECT_EQ(CLSIDFromString(text.c_str(), &guid), S_OK) << text.c_str();
  return guid;
}

bool KeyExists(const std::wstring& path, HKEY root = HKEY_CLASSES_ROOT) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::optional<std::wstring> ReadString(const std::wstring& path, const wchar_t* name = nullptr,
                                       HKEY root = HKEY_CLASSES_ROOT) {
  wchar_t buffer[1024];
  DWORD size = sizeof(buffer);
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(buffer);
}

struct ProcessResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output;
};

// Runs a command line to its end (at most two minutes) and collects what it prints.
ProcessResult RunProcess(const std::wstring& commandLine) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  std::wstring mutableLine = commandLine;
  const BOOL started = CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (started) {
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
      result.output.append(chunk, got);
    }
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(readEnd);
  std::erase(result.output, '\r');  // text-mode output ends its lines with CR LF
  EXPECT_TRUE(started) << "cannot start: " << std::string(commandLine.begin(), commandLine.end());
  return result;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

DWORD Regsvr32(const std::wstring& dll, bool unregister = false) {
  return RunProcess(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + Quoted(dll))
      .exitCode;
}

// A fresh copy of the built module at `directory`\VantrelRX.dll.
std::wstring CopyModuleTo(const std::wstring& directory) {
  CreateDirectoryW(kWork.c_str(), nullptr);
  CreateDirectoryW(directory.c_str(), nullptr);
  const std::wstring dll = directory + L"\\VantrelRX.dll";
  EXPECT_TRUE(CopyFileW(kBuiltDll.c_str(), dll.c_str(), FALSE)) << GetLastError();
  return dll;
}

// Every entry that registration writes is gone, and the shared roots are still there.
void ExpectUnregistered() {
  for (const std::wstring& key : {kClassKey, std::wstring(L"Vantrel.RawImageExtractor"),
                                  std::wstring(L"Vantrel.RawImageExtractor.1"), L"AppID\\" + kAppid,
                                  std::wstring(L"AppID\\Vantrel.DLL"), L"TypeLib\\" + kLibid}) {
    EXPECT_FALSE(KeyExists(key)) << std::string(key.begin(), key.end());
  }
  EXPECT_TRUE(KeyExists(L"CLSID"));
  EXPECT_TRUE(KeyExists(L"AppID"));
}

class ComSession {
 public:
  ComSession() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComSession() { CoUninitialize(); }
};

// ---- Type library ----

TYPEATTR Attributes(ITypeInfo* info) {
  TYPEATTR* attributes = nullptr;
  TYPEATTR copy = {};
  EXPECT_EQ(info->GetTypeAttr(&attributes), S_OK);
  if (attributes != nullptr) {
    copy = *attributes;
    info->ReleaseTypeAttr(attributes);
  }
  return copy;
}

// The type's name and help string.
std::pair<std::wstring, std::wstring> Documentation(ITypeInfo* info) {
  BSTR name = nullptr;
  BSTR help = nullptr;
  EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
  std::pair<std::wstring, std::wstring> out(name != nullptr ? name : L"",
                                            help != nullptr ? help : L"");
  SysFreeString(name);
  SysFreeString(help);
  return out;
}

// The type that `info` implements or derives from at `index` (-1: a dual interface's
// interface half).
ITypeInfo* Implemented(ITypeInfo* info, UINT index) {
  HREFTYPE reference = 0;
  ITypeInfo* out = nullptr;
  EXPECT_EQ(info->GetRefTypeOfImplType(index, &reference), S_OK);
  EXPECT_EQ(info->GetRefTypeInfo(reference, &out), S_OK);
  return out;
}

TEST(TypeLibrary, DescribesTheDualInterfaceAndTheClass) {
  ComSession com;
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadTypeLibEx(kBuiltDll.c_str(), REGKIND_NONE, &library), S_OK);
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, Guid(kLibid)));
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 0);
  EXPECT_EQ(attributes->lcid, 0u);
  EXPECT_EQ(attributes->syskind, SYS_WIN32);
  library->ReleaseTLibAttr(attributes);
  BSTR name = nullptr;
  BSTR help = nullptr;
  ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"VantrelLib");
  EXPECT_STREQ(help, L"Vantrel 1.0 Type Library");
  SysFreeString(name);
  SysFreeString(help);
  EXPECT_EQ(library->GetTypeInfoCount(), 2u) << "the interface and the class, nothing else";

  // The dual interface: its dispatch half holds only IUnknown's and IDispatch's entries, its
  // interface half carries the flags dual, nonextensible, oleautomation and dispatchable.
  ITypeInfo* dispatch = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(Guid(kIid), &dispatch), S_OK);
  TYPEATTR type = Attributes(dispatch);
  EXPECT_EQ(type.typekind, TKIND_DISPATCH);
  EXPECT_EQ(type.wTypeFlags & 0x10C0, 0x10C0);
  EXPECT_EQ(type.cFuncs, 7);
  EXPECT_EQ(type.cVars, 0);
  EXPECT_EQ(Documentation(dispatch), std::make_pair(std::wstring(L"IRawImageExtractor"),
                                                    std::wstring(L"IRawImageExtractor Interface")));
  ITypeInfo* interfaceHalf = Implemented(dispatch, static_cast<UINT>(-1));
  ASSERT_NE(interfaceHalf, nullptr);
  type = Attributes(interfaceHalf);
  EXPECT_EQ(type.typekind, TKIND_INTERFACE);
  EXPECT_EQ(type.wTypeFlags, 0x11C0);
  EXPECT_EQ(type.cFuncs, 0);
  EXPECT_EQ(type.wMajorVerNum, 0);
  EXPECT_EQ(type.wMinorVerNum, 0);
  EXPECT_TRUE(IsEqualGUID(type.guid, Guid(kIid)));
  ITypeInfo* base = Implemented(interfaceHalf, 0);
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(Documentation(base).first, L"IDispatch");
  base->Release();
  interfaceHalf->Release();
  dispatch->Release();

  // The class: creatable, with the interface as its default.
  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(Guid(kClsid), &coclass), S_OK);
  type = Attributes(coclass);
  EXPECT_EQ(type.typekind, TKIND_COCLASS);
  EXPECT_EQ(type.wTypeFlags, 0x2);
  EXPECT_EQ(type.cImplTypes, 1);
  EXPECT_EQ(type.wMajorVerNum, 0);
  EXPECT_EQ(type.wMinorVerNum, 0);
  EXPECT_EQ(Documentation(coclass), std::make_pair(std::wstring(L"RawImageExtractor"),
                                                   std::wstring(L"RawImageExtractor Class")));
  INT implFlags = 0;
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
  EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
  ITypeInfo* defaultInterface = Implemented(coclass, 0);
  ASSERT_NE(defaultInterface, nullptr);
  EXPECT_TRUE(IsEqualGUID(Attributes(defaultInterface).guid, Guid(kIid)));
  defaultInterface->Release();
  coclass->Release();
  library->Release();
}

// ---- Resources ----

class ModuleResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(kBuiltDll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  // The bytes of a resource in English (United States).
  std::string Resource(const wchar_t* type, const wchar_t* name) {
    HRSRC found =
        FindResourceExW(module_, type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (found == nullptr) return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    return std::string(data, SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

TEST_F(ModuleResources, HoldsScriptsTypeLibraryStringAndIcons) {
  EXPECT_NE(Resource(L"REGISTRY", MAKEINTRESOURCEW(101)).find("NoRemove AppID"), std::string::npos);
  EXPECT_NE(Resource(L"REGISTRY", MAKEINTRESOURCEW(102))
                .find("ForceRemove " + std::string(vantrel::shell::kClsidText)),
            std::string::npos);
  EXPECT_EQ(Resource(L"TYPELIB", MAKEINTRESOURCEW(1)).substr(0, 4), "MSFT");
  EXPECT_FALSE(
      Resource(MAKEINTRESOURCEW(6) /* RT_STRING */, MAKEINTRESOURCEW(100 / 16 + 1)).empty());
  wchar_t text[32] = {};
  EXPECT_EQ(LoadStringW(module_, 100, text, 32), 7);
  EXPECT_STREQ(text, L"Vantrel");

  for (WORD group : {202, 207}) {
    const std::string directory =
        Resource(MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, MAKEINTRESOURCEW(group));
    ASSERT_GE(directory.size(), 6u + 4 * 14) << group;
    const auto u16 = [&](std::size_t at) {
      return static_cast<unsigned>(static_cast<unsigned char>(directory[at]) |
                                   static_cast<unsigned char>(directory[at + 1]) << 8);
    };
    EXPECT_EQ(u16(2), 1u);
    ASSERT_EQ(u16(4), 4u) << group;
    const unsigned expected[4][2] = {{32, 24}, {16, 32}, {48, 32}, {64, 32}};
    for (std::size_t i = 0; i < 4; ++i) {
      const std::size_t entry = 6 + 14 * i;  // GRPICONDIRENTRY
      EXPECT_EQ(static_cast<unsigned char>(directory[entry]), expected[i][0]) << group;
      EXPECT_EQ(static_cast<unsigned char>(directory[entry + 1]), expected[i][0]) << group;
      EXPECT_EQ(u16(entry + 6), expected[i][1]) << group;
      EXPECT_FALSE(
          Resource(MAKEINTRESOURCEW(3) /* RT_ICON */, MAKEINTRESOURCEW(u16(entry + 12))).empty())
          << group;
    }
  }
}

TEST_F(ModuleResources, VersionBlock) {
  ASSERT_FALSE(Resource(MAKEINTRESOURCEW(16) /* RT_VERSION */, MAKEINTRESOURCEW(1)).empty());
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(kBuiltDll.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(kBuiltDll.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x001D0000u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x001D0000u);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
  EXPECT_EQ(fixed->dwFileSubtype, 0u);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1250);

  const std::pair<const wchar_t*, const wchar_t*> strings[] = {
      {L"FileDescription", L"Raw image shell extension"},
      {L"FileVersion", L"1.0.029"},
      {L"ProductVersion", L"1.0.029"},
      {L"InternalName", L"VantrelRX.dll"},
      {L"OriginalFilename", L"VantrelRX.dll"},
      {L"CompanyName", nullptr},
      {L"ProductName", nullptr},
      {L"LegalCopyright", nullptr},
  };
  for (const auto& [field, value] : strings) {
    wchar_t* text = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904e2\\") + field;
    ASSERT_TRUE(
        VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length))
        << std::string(query.begin(), query.end());
    if (value != nullptr) {
      EXPECT_STREQ(text, value);
    } else {
      EXPECT_GT(std::wcslen(text), 0u);
    }
  }
}

// ---- Registration ----

TEST(Registration, Regsvr32WritesAndRemovesTheEntries) {
  const std::wstring dll = CopyModuleTo(kWork + L"\\registered");
  ASSERT_EQ(Regsvr32(dll), 0u);

  EXPECT_EQ(ReadString(kClassKey), L"RawImageExtractor Class");
  EXPECT_EQ(ReadString(kClassKey, L"AppID"), kAppid);
  EXPECT_EQ(ReadString(kClassKey + L"\\InprocServer32"), dll);
  EXPECT_EQ(ReadString(kClassKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(ReadString(kClassKey + L"\\ProgID"), L"Vantrel.RawImageExtractor.1");
  EXPECT_EQ(ReadString(kClassKey + L"\\VersionIndependentProgID"), L"Vantrel.RawImageExtractor");
  EXPECT_TRUE(KeyExists(kClassKey + L"\\Programmable"));
  EXPECT_EQ(ReadString(kClassKey + L"\\TypeLib"), kLibid);
  EXPECT_EQ(ReadString(L"Vantrel.RawImageExtractor\\CLSID"), kClsid);
  EXPECT_EQ(ReadString(L"Vantrel.RawImageExtractor\\CurVer"), L"Vantrel.RawImageExtractor.1");
  EXPECT_EQ(ReadString(L"Vantrel.RawImageExtractor.1\\CLSID"), kClsid);
  EXPECT_EQ(ReadString(L"AppID\\" + kAppid), L"Vantrel");
  EXPECT_EQ(ReadString(L"AppID\\Vantrel.DLL", L"AppID"), kAppid);
  for (const wchar_t* extension : {L".nef", L".cr2", L".x3f"}) {
    EXPECT_FALSE(KeyExists(std::wstring(extension) + L"\\shellex\\" + kThumbnailHandler))
        << "registration binds no file type";
  }

  {
    ComSession com;
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadRegTypeLib(Guid(kLibid), 1, 0, 0, &library), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->syskind, SYS_WIN32);
    library->ReleaseTLibAttr(attributes);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(Guid(kIid), &info), S_OK);
    ITypeInfo* interfaceHalf = Implemented(info, static_cast<UINT>(-1));
    ASSERT_NE(interfaceHalf, nullptr);
    EXPECT_EQ(Attributes(interfaceHalf).wTypeFlags, 0x11C0);
    interfaceHalf->Release();
    info->Release();
    library->Release();
    BSTR path = nullptr;
    ASSERT_EQ(QueryPathOfRegTypeLib(Guid(kLibid), 1, 0, 0, &path), S_OK);
    EXPECT_STREQ(path, dll.c_str());
    SysFreeString(path);
  }

  // A stray subkey under the class's key does not survive registering again.
  HKEY stray = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (kClassKey + L"\\Stray\\Deeper").c_str(), 0, nullptr,
                            0, KEY_WRITE, nullptr, &stray, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(stray);
  ASSERT_EQ(Regsvr32(dll), 0u);
  EXPECT_FALSE(KeyExists(kClassKey + L"\\Stray"));
  EXPECT_EQ(ReadString(kClassKey + L"\\InprocServer32"), dll);

  ASSERT_EQ(Regsvr32(dll, /*unregister=*/true), 0u);
  ExpectUnregistered();
  ComSession com;
  ITypeLib* library = nullptr;
  EXPECT_NE(LoadRegTypeLib(Guid(kLibid), 1, 0, 0, &library), S_OK);
}

TEST(Registration, PathWithQuotesIsRegisteredIntact) {
  const std::wstring dll = CopyModuleTo(kWork + L"\\O'Brien's ''raw'' 100%");
  ASSERT_EQ(Regsvr32(dll), 0u);
  EXPECT_EQ(ReadString(kClassKey + L"\\InprocServer32"), dll);
  EXPECT_EQ(Regsvr32(dll, /*unregister=*/true), 0u);
  ExpectUnregistered();
}

TEST(Registration, TypeLibraryComesFromTheTlbFileWhenTheModuleHasNone) {
  const std::wstring directory = kWork + L"\\without-typelib";
  const std::wstring dll = CopyModuleTo(directory);
  const std::wstring tlb = directory + L"\\VantrelRX.tlb";
  DeleteFileW(tlb.c_str());
  // The type library moves out of the module into VantrelRX.tlb beside it; the module keeps
  // only a resource that is no type library.
  {
    HMODULE module = LoadLibraryExW(kBuiltDll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), L"TYPELIB");
    ASSERT_NE(found, nullptr);
    HANDLE file = CreateFileW(tlb.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, LockResource(LoadResource(module, found)), SizeofResource(module, found),
              &written, nullptr);
    CloseHandle(file);
    FreeLibrary(module);
    HANDLE update = BeginUpdateResourceW(dll.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    char notATypeLibrary[] = "none";
    ASSERT_TRUE(UpdateResourceW(update, L"TYPELIB", MAKEINTRESOURCEW(1),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), notATypeLibrary,
                                sizeof(notATypeLibrary)));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
  }
  ASSERT_EQ(Regsvr32(dll), 0u);
  {
    ComSession com;
    BSTR path = nullptr;
    ASSERT_EQ(QueryPathOfRegTypeLib(Guid(kLibid), 1, 0, 0, &path), S_OK);
    EXPECT_STREQ(path, tlb.c_str());
    SysFreeString(path);
    EXPECT_EQ(ReadString(L"TypeLib\\" + kLibid + L"\\1.0\\HELPDIR"), directory + L"\\");
  }
  EXPECT_EQ(Regsvr32(dll, /*unregister=*/true), 0u);
  ExpectUnregistered();

  // Without either, registration stops at the type library, after the scripts' entries.
  ASSERT_TRUE(DeleteFileW(tlb.c_str()));
  EXPECT_NE(Regsvr32(dll), 0u);
  EXPECT_EQ(ReadString(kClassKey + L"\\InprocServer32"), dll);
  EXPECT_FALSE(KeyExists(L"TypeLib\\" + kLibid));
  EXPECT_NE(Regsvr32(dll, /*unregister=*/true), 0u) << "nothing to take from the type library";
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey.c_str());
  for (const wchar_t* key :
       {L"Vantrel.RawImageExtractor", L"Vantrel.RawImageExtractor.1", L"AppID\\Vantrel.DLL"}) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
  }
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"AppID\\" + kAppid).c_str());
  ExpectUnregistered();
}

TEST(Registration, ModulePathOf260CharactersWritesNothing) {
  // C:\vantrel-tests\long\aaaa...\VantrelRX.dll, 260 characters in all.
  CreateDirectoryW(kWork.c_str(), nullptr);
  std::wstring directory = kWork + L"\\long";
  CreateDirectoryW(directory.c_str(), nullptr);
  directory += L"\\" + std::wstring(260 - directory.size() - 1 - 14, L'a');
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + directory).c_str(), nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);
  const std::wstring dll = directory + L"\\VantrelRX.dll";
  ASSERT_EQ(dll.size(), 260u);
  ASSERT_TRUE(CopyFileW(kBuiltDll.c_str(), (L"\\\\?\\" + dll).c_str(), FALSE)) << GetLastError();

  HMODULE module = LoadLibraryW(dll.c_str());
  if (module == nullptr) GTEST_SKIP() << "the loader takes no path this long: " << GetLastError();
  using Entry = HRESULT(STDAPICALLTYPE*)();
  const auto registerServer =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  const auto unregisterServer = reinterpret_cast<Entry>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
  ASSERT_NE(registerServer, nullptr);
  ASSERT_NE(unregisterServer, nullptr);
  EXPECT_EQ(registerServer(), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  ExpectUnregistered();
  EXPECT_EQ(unregisterServer(), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  FreeLibrary(module);
}

TEST(Registration, ScriptClientCreatesTheObjectByItsProgId) {
  const std::wstring dll = CopyModuleTo(kWork + L"\\scripted");
  ASSERT_EQ(Regsvr32(dll), 0u);
  const std::wstring script = kWork + L"\\create.js";
  const char source[] =
      "var extractor = new ActiveXObject(\"Vantrel.RawImageExtractor\");\r\n"
      "WScript.Echo(typeof extractor);\r\n"
      "try { extractor.Extract(); WScript.Echo(\"invoked\"); }\r\n"
      "catch (e) { WScript.Echo(\"no member\"); }\r\n";
  HANDLE file = CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, source, sizeof(source) - 1, &written, nullptr);
  CloseHandle(file);

  const ProcessResult result = RunProcess(L"cscript.exe //nologo " + Quoted(script));
  EXPECT_EQ(result.exitCode, 0u) << result.output;
  EXPECT_EQ(result.output, "object\nno member\n");
  EXPECT_EQ(Regsvr32(dll, /*unregister=*/true), 0u);
}

// The object's IDispatch is answered from the registered type library's description of
// IRawImageExtractor, loaded once and shared by every object on every thread.
TEST(Registration, ObjectDispatchComesFromTheRegisteredTypeLibrary) {
  const std::wstring dll = CopyModuleTo(kWork + L"\\dispatch");
  ASSERT_EQ(Regsvr32(dll), 0u);
  const GUID clsid = Guid(kClsid);
  // The type information of a new object, made on the calling thread.
  auto typeInfoOfNewObject = [&] {
    IDispatch* dispatch = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&dispatch)),
              S_OK);
    if (dispatch == nullptr) return static_cast<ITypeInfo*>(nullptr);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);

    wchar_t member[] = L"Extract";
    LPOLESTR names[] = {member};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    DISPPARAMS none = {};
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    dispatch->Release();
    return info;
  };

  {
    ComSession com;
    // An object that keeps the module loaded while the others come and go.
    IUnknown* keeper = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&keeper)),
              S_OK);
    ITypeInfo* here = typeInfoOfNewObject();
    ASSERT_NE(here, nullptr);
    const TYPEATTR type = Attributes(here);
    EXPECT_TRUE(IsEqualGUID(type.guid, Guid(kIid)));
    EXPECT_EQ(type.typekind, TKIND_DISPATCH);
    ITypeInfo* there = nullptr;
    vantrel::testing::RunOnNewThread([&] {
      ComSession threadCom;
      there = typeInfoOfNewObject();
      if (there != nullptr) there->Release();  // only its address is compared
    });
    EXPECT_EQ(there, here);
    here->Release();
    keeper->Release();
  }
  EXPECT_EQ(Regsvr32(dll, /*unregister=*/true), 0u);
}

// ---- Installer ----

// The text of a registry tree as "reg export" writes it.
std::string RegistrySnapshot(const std::wstring& root) {
  const std::wstring file = kWork + L"\\snapshot.reg";
  CreateDirectoryW(kWork.c_str(), nullptr);
  DeleteFileW(file.c_str());
  EXPECT_EQ(RunProcess(L"reg.exe export " + Quoted(root) + L" " + Quoted(file) + L" /y").exitCode,
            0u);
  std::string text;
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(handle, chunk, sizeof(chunk), &got, nullptr) && got > 0)
      text.append(chunk, got);
    CloseHandle(handle);
  }
  DeleteFileW(file.c_str());
  EXPECT_FALSE(text.empty());
  return text;
}

std::wstring ProgramFiles() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"ProgramW6432", buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? buffer : L"C:\\Program Files";
}

TEST(Installer, BindsRawFilesToTheHandlerAndTakesItAllAway) {
  const std::wstring raf = kSamples + L"\\fujifilm-s5pro.raf";
  const std::wstring handler = std::wstring(L"\\shellex\\") + kThumbnailHandler;
  const std::wstring foreign = L"{0D1B2C3A-0000-4000-8000-00000000FACE}";
  // Another program's thumbnail handler for one of the extensions comes back afterwards.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (L".rwl" + handler).c_str(), 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(foreign.c_str()),
                 static_cast<DWORD>((foreign.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  ASSERT_FALSE(KeyExists(L".raf")) << "the test prefix starts without .raf";
  const std::string classesBefore = RegistrySnapshot(L"HKEY_CLASSES_ROOT");
  const std::string softwareBefore = RegistrySnapshot(L"HKEY_LOCAL_MACHINE\\Software");

  ASSERT_EQ(RunProcess(Quoted(kSetup) + L" /S").exitCode, 0u);
  const std::wstring installDir = ProgramFiles() + L"\\Vantrel";
  const std::wstring dll = installDir + L"\\VantrelRX.dll";
  EXPECT_NE(GetFileAttributesW(dll.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadString(kClassKey + L"\\InprocServer32"), dll);
  for (const wchar_t* extension : {L".crw", L".cr2", L".nef", L".mrw", L".raf", L".x3f", L".dcr",
                                   L".kdc", L".dng", L".orf", L".pef", L".rw2", L".rdc", L".rwl"}) {
    EXPECT_EQ(ReadString(extension + handler), kClsid)
        << std::string(extension, extension + std::wcslen(extension));
  }

  const ProcessResult extracted =
      RunProcess(Quoted(kShellClient) + L" " + Quoted(raf) + L" 120 80");
  EXPECT_EQ(extracted.exitCode, 0u) << extracted.output;
  EXPECT_EQ(extracted.output, "bitmap 120x80\n");

  // The uninstaller runs from a copy of itself in the temporary directory: wait for its end.
  ASSERT_EQ(RunProcess(Quoted(installDir + L"\\Uninstall Vantrel.exe") + L" /S").exitCode, 0u);
  const std::wstring uninstallKey =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantrel";
  for (int i = 0; i < 300 && (KeyExists(uninstallKey, HKEY_LOCAL_MACHINE) ||
                              GetFileAttributesW(installDir.c_str()) != INVALID_FILE_ATTRIBUTES);
       ++i) {
    Sleep(100);
  }
  EXPECT_FALSE(KeyExists(uninstallKey, HKEY_LOCAL_MACHINE));
  EXPECT_EQ(GetFileAttributesW(installDir.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(KeyExists(L"Software\\Vantrel", HKEY_LOCAL_MACHINE));
  ExpectUnregistered();
  EXPECT_FALSE(KeyExists(L".raf")) << "the extension key it created is gone";
  EXPECT_EQ(ReadString(L".rwl" + handler), foreign);
  EXPECT_TRUE(RegistrySnapshot(L"HKEY_CLASSES_ROOT") == classesBefore)
      << "HKEY_CLASSES_ROOT is as it was before the installation";
  EXPECT_TRUE(RegistrySnapshot(L"HKEY_LOCAL_MACHINE\\Software") == softwareBefore)
      << "HKEY_LOCAL_MACHINE\\Software is as it was before the installation";
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L".rwl");

  const ProcessResult after = RunProcess(Quoted(kShellClient) + L" " + Quoted(raf) + L" 120 80");
  EXPECT_EQ(after.exitCode, 3u) << after.output;
  EXPECT_EQ(after.output, "no handler\n");
}

}  // namespace
