// The registration scripts: a small language that describes keys under HKEY_CLASSES_ROOT and
// their text values, run in register mode to write them and in unregister mode to take them
// away again.
//
//   HKCR
//   {
//     NoRemove CLSID
//     {
//       ForceRemove {GUID} = s 'Class name'
//       {
//         val AppID = s '%APPID%'
//         InprocServer32 = s '%MODULE%'
//       }
//     }
//   }
//
// - The root is HKCR (or HKEY_CLASSES_ROOT); a script may hold several root blocks.
// - A key is a name, optionally followed by "= s 'text'" (its default value) and by a block in
//   braces holding its subkeys and its named values ("val NAME = s 'text'"). Braces open and
//   close a block when they stand alone; a word such as {GUID} is a name.
// - Marks before a key's name: NoRemove (left in place by unregistration, though what it lists
//   is still processed) and ForceRemove (deleted with everything under it before registration
//   creates it afresh).
// - Names are bare words or quoted text; text is quoted with single quotes, a quote inside it
//   doubled. Keywords (HKCR, NoRemove, ForceRemove, val, s) are matched without regard to case;
//   a quoted name is never a keyword.
// - %NAME% is replaced by the value given for NAME (names matched without regard to case)
//   before the script is read, in quoted text and bare words alike; %% stands for one %. The
//   values are inserted as they are: a value meant for quoted text has its quotes doubled by
//   the caller (QuoteForScript).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/hresult.h"
#include "shellext/registry/registry.h"

namespace vantrel::registry {

// What a script error is answered with: the HRESULT form of ERROR_INVALID_DATA.
inline constexpr HResult kScriptSyntaxError = kErrorInvalidData;

// Keys may nest this deep below the root.
inline constexpr int kMaxKeyDepth = 32;

enum class KeyMark { kNone, kNoRemove, kForceRemove };

enum class ScriptMode { kRegister, kUnregister };

// One entry of a script: a key with its default value and its entries, or a named value.
struct ScriptEntry {
  enum class Kind { kKey, kValue };
  Kind kind = Kind::kKey;
  std::wstring name;
  KeyMark mark = KeyMark::kNone;     // keys only
  std::optional<std::wstring> text;  // a key's default value, or a named value's text
  std::vector<ScriptEntry> entries;  // keys only: subkeys and named values in script order
  int line = 0;
};

struct RegistryScript {
  std::vector<ScriptEntry> keys;  // the keys directly under HKEY_CLASSES_ROOT, in script order
};

struct Replacement {
  std::wstring name;  // without the percent signs
  std::wstring value;
};

struct ScriptError {
  int line = 0;         // 1-based line of the script where reading stopped
  std::string message;  // English text
};

// `text` with every single quote doubled, ready to stand inside quoted script text.
std::wstring QuoteForScript(std::wstring_view text);

// Replaces the %NAME% variables and reads the script. On failure returns kScriptSyntaxError
// and describes the fault in `error`.
HResult ParseRegistryScript(std::wstring_view text, const std::vector<Replacement>& replacements,
                            RegistryScript& script, ScriptError& error);

// Runs a script that has been read.
//
// Register mode walks the keys in script order, depth first: a key marked ForceRemove is
// first deleted with everything under it; each key is then opened, or created when missing,
// and its default value and named values set.
//
// Unregister mode walks the keys in script order, depth first: a key that does not exist is
// passed over with its subtree; for an existing key the entries it lists are handled in order
// (a subkey by the same rule, a named value by deleting it, a missing value being no error),
// and then the key itself is deleted unless it is marked NoRemove. A deletion that the
// registry refuses, for instance because the key still holds subkeys that the script does not
// list, ends the run with that error.
//
// The first failing registry operation ends the run and its HRESULT is returned; what was
// written before it stays.
HResult RunRegistryScript(const RegistryScript& script, ScriptMode mode, Registry& registry);

// Reads and runs a script; `error` (when given) describes a script fault.
HResult RunRegistryScript(std::wstring_view text, const std::vector<Replacement>& replacements,
                          ScriptMode mode, Registry& registry, ScriptError* error = nullptr);

}  // namespace vantrel::registry
