#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shellext/registry/memory_registry.h"
#include "shellext/registry/registry_script.h"

namespace vantrel::registry {
namespace {

using Lines = std::vector<std::wstring>;

HResult RunScript(std::wstring_view script, ScriptMode mode, MemoryRegistry& registry,
                  const std::vector<Replacement>& replacements = {}) {
  ScriptError error;
  const HResult hr = RunRegistryScript(script, replacements, mode, registry, &error);
  EXPECT_TRUE(error.message.empty()) << "line " << error.line << ": " << error.message;
  return hr;
}

TEST(RegistryScript, ReadsTheWholeLanguage) {
  // Keywords in any case, quoted names that are not keywords, brace words as names, doubled
  // quotes, %% and replacement names in any case, several root blocks.
  const wchar_t script[] =
      L"hkcr\n"
      L"{\n"
      L"  noremove Things { 'NoRemove' = S 'it''s %Name%' { VAL 'val' = s '100%%' } }\n"
      L"  {0000-AB} = s '' { \tval x=s'y' }\n"
      L"}\n"
      L"HKEY_CLASSES_ROOT { 'with space' { Inner } }\n";
  MemoryRegistry registry;
  EXPECT_EQ(
      RunScript(script, ScriptMode::kRegister, registry, {{L"NAME", QuoteForScript(L"a 'b'")}}),
      kSOk);
  EXPECT_EQ(registry.Dump(), (Lines{
                                 L"Things",
                                 L"Things\\NoRemove",
                                 L"Things\\NoRemove @ = 'it's a 'b''",
                                 L"Things\\NoRemove val = '100%'",
                                 L"with space",
                                 L"with space\\Inner",
                                 L"{0000-AB}",
                                 L"{0000-AB} @ = ''",
                                 L"{0000-AB} x = 'y'",
                             }));
}

TEST(RegistryScript, ReportsFaultsWithTheirLine) {
  const struct {
    const wchar_t* script;
    int line;
    const char* message;
  } cases[] = {
      {L"HKLM { }", 1, "unsupported root key 'HKLM' (only HKCR is written)"},
      {L"HKCR Key", 1, "expected '{' after the root key, found 'Key'"},
      {L"HKCR {\n  Key = s 'open\n}\n", 2, "quoted text without its closing quote"},
      {L"HKCR {\n  Key = d '1'\n}", 2, "unsupported value type 'd' (only s, text, is written)"},
      {L"HKCR {\n  Key = s text\n}", 2, "expected quoted text after s, found 'text'"},
      {L"HKCR {\n  Key {\n    val = s 'x'\n  }\n}", 3, "expected a value name, found '='"},
      {L"HKCR {\n  Key {\n    val Name s 'x'\n  }\n}", 3,
       "expected '=' after the value name, found 's'"},
      {L"HKCR {\n  Key {\n", 3, "expected '}' to close the block, found the end of the script"},
      {L"HKCR {\n  %NOPE%\n}", 2, "unknown replacement variable %NOPE%"},
      {L"HKCR {\n  50% off\n}", 2, "a '%' without its closing '%'"},
      {L"HKCR {\n  val Name = s 'x'\n}", 2, "values cannot be set on the root key"},
      {L"HKCR {\n  NoRemove ForceRemove Key\n}", 2,
       "a key cannot be both NoRemove and ForceRemove"},
      {L"HKCR {\n  'a\\b'\n}", 2, "key name 'a\\b' holds a backslash"},
      {L"HKCR {\n  ''\n}", 2, "a key name is empty"},
      {L"HKCR {\n  NoRemove }\n", 2, "expected a key name, found '}'"},
      {L"HKCR { }\n}", 2, "expected the root key HKCR, found '}'"},
  };
  for (const auto& c : cases) {
    MemoryRegistry registry;
    ScriptError error;
    EXPECT_EQ(RunRegistryScript(c.script, {}, ScriptMode::kRegister, registry, &error),
              kScriptSyntaxError)
        << c.script;
    EXPECT_EQ(error.line, c.line) << c.script;
    EXPECT_EQ(error.message, c.message) << c.script;
    EXPECT_TRUE(registry.Dump().empty()) << "a faulty script writes nothing: " << c.script;
  }
}

TEST(RegistryScript, NestingIsBounded) {
  auto nested = [](int depth) {
    std::wstring script = L"HKCR {";
    for (int i = 0; i < depth; ++i) script += L" K {";
    for (int i = 0; i <= depth; ++i) script += L" }";
    return script;
  };
  MemoryRegistry registry;
  EXPECT_EQ(RunScript(nested(kMaxKeyDepth), ScriptMode::kRegister, registry), kSOk);
  for (int depth : {kMaxKeyDepth + 1, 100000}) {
    ScriptError error;
    EXPECT_EQ(RunRegistryScript(nested(depth), {}, ScriptMode::kRegister, registry, &error),
              kScriptSyntaxError);
    EXPECT_EQ(error.message, "keys nested more than 32 deep");
  }
}

TEST(RegistryScript, ForceRemoveReplacesTheWholeKey) {
  MemoryRegistry registry;
  ASSERT_EQ(registry.CreateKey(L"Plain\\Stray"), kSOk);
  ASSERT_EQ(registry.CreateKey(L"Forced\\Stray"), kSOk);
  ASSERT_EQ(registry.SetString(L"Forced", L"Old", L"1"), kSOk);
  ASSERT_EQ(registry.SetString(L"Plain", L"Old", L"1"), kSOk);
  EXPECT_EQ(RunScript(L"HKCR { Plain = s 'p' ForceRemove Forced = s 'f' { Sub } }",
                      ScriptMode::kRegister, registry),
            kSOk);
  EXPECT_EQ(registry.Dump(), (Lines{
                                 L"Forced",
                                 L"Forced @ = 'f'",
                                 L"Forced\\Sub",
                                 L"Plain",
                                 L"Plain @ = 'p'",
                                 L"Plain Old = '1'",
                                 L"Plain\\Stray",
                             }));
}

TEST(RegistryScript, UnregisterRemovesWhatItListsAndPassesOverWhatIsMissing) {
  const wchar_t script[] =
      L"HKCR {\n"
      L"  Missing { Below { val V = s 'x' } }\n"
      L"  NoRemove Shared { Mine = s 'm' { val Gone = s '' val NeverSet = s '' } }\n"
      L"  Own { Sub }\n"
      L"}\n";
  MemoryRegistry registry;
  ASSERT_EQ(RunScript(script, ScriptMode::kRegister, registry), kSOk);
  ASSERT_EQ(registry.DeleteKey(L"Missing\\Below"), kSOk);
  ASSERT_EQ(registry.DeleteKey(L"Missing"), kSOk);
  ASSERT_EQ(registry.DeleteValue(L"Shared\\Mine", L"NeverSet"), kSOk);
  ASSERT_EQ(registry.CreateKey(L"Shared\\Theirs"), kSOk);
  ASSERT_EQ(registry.SetString(L"Shared", L"Kept", L"k"), kSOk);

  EXPECT_EQ(RunScript(script, ScriptMode::kUnregister, registry), kSOk);
  EXPECT_EQ(registry.Dump(), (Lines{L"Shared", L"Shared Kept = 'k'", L"Shared\\Theirs"}));
  EXPECT_EQ(RunScript(script, ScriptMode::kUnregister, registry), kSOk) << "again: nothing left";
}

TEST(RegistryScript, UnregisterStopsAtARefusedDeletion) {
  const wchar_t script[] = L"HKCR { First Second { Sub } Third }";
  MemoryRegistry registry;
  ASSERT_EQ(RunScript(script, ScriptMode::kRegister, registry), kSOk);
  ASSERT_EQ(registry.CreateKey(L"Second\\Unlisted"), kSOk);
  EXPECT_EQ(RunScript(script, ScriptMode::kUnregister, registry), kErrorAccessDenied);
  EXPECT_EQ(registry.Dump(), (Lines{L"Second", L"Second\\Unlisted", L"Third"}));
}

TEST(RegistryScript, AFailedWriteEndsTheRunAndKeepsWhatWasWritten) {
  const wchar_t script[] = L"HKCR { A = s 'a' B = s 'b' { val V = s 'v' } C = s 'c' }";
  MemoryRegistry registry;
  registry.FailWritesAt(L"B", kErrorAccessDenied);
  EXPECT_EQ(RunScript(script, ScriptMode::kRegister, registry), kErrorAccessDenied);
  EXPECT_EQ(registry.Dump(), (Lines{L"A", L"A @ = 'a'"}));
}

TEST(RegistryScript, QuoteForScriptDoublesSingleQuotes) {
  EXPECT_EQ(QuoteForScript(L"C:\\O'Brien's ''x''\\a.dll"), L"C:\\O''Brien''s ''''x''''\\a.dll");
  EXPECT_EQ(QuoteForScript(L""), L"");
}

}  // namespace
}  // namespace vantrel::registry
