#include "shellext/registry/registry_script.h"

#include <cstddef>
#include <utility>

#include "shellext/registry/names.h"

namespace vantrel::registry {
namespace {

// ---- Replacement variables ----

bool ExpandReplacements(std::wstring_view text, const std::vector<Replacement>& replacements,
                        std::wstring& out, ScriptError& error) {
  out.clear();
  out.reserve(text.size());
  int line = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\n') ++line;
    if (c != L'%') {
      out.push_back(c);
      continue;
    }
    std::size_t end = i + 1;
    while (end < text.size() && text[end] != L'%' && text[end] != L'\n') ++end;
    if (end >= text.size() || text[end] != L'%') {
      error = {line, "a '%' without its closing '%'"};
      return false;
    }
    const std::wstring_view name = text.substr(i + 1, end - i - 1);
    if (name.empty()) {
      out.push_back(L'%');  // "%%"
    } else {
      const Replacement* found = nullptr;
      for (const Replacement& r : replacements) {
        if (EqualsNoCase(r.name, name)) {
          found = &r;
          break;
        }
      }
      if (found == nullptr) {
        error = {line, "unknown replacement variable %" + NarrowForMessage(name) + "%"};
        return false;
      }
      out += found->value;
    }
    i = end;
  }
  return true;
}

// ---- Tokens ----

enum class TokenKind { kEnd, kWord, kQuoted, kEquals, kOpen, kClose };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::wstring text;
  int line = 0;
};

bool IsSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

bool Tokenize(std::wstring_view text, std::vector<Token>& tokens, ScriptError& error) {
  int line = 1;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && IsSpace(text[i])) {
      if (text[i] == L'\n') ++line;
      ++i;
    }
    if (i >= text.size()) break;
    Token token;
    token.line = line;
    if (text[i] == L'=') {
      token.kind = TokenKind::kEquals;
      ++i;
    } else if (text[i] == L'\'') {
      token.kind = TokenKind::kQuoted;
      ++i;
      while (true) {
        if (i >= text.size()) {
          error = {token.line, "quoted text without its closing quote"};
          return false;
        }
        if (text[i] == L'\'') {
          if (i + 1 < text.size() && text[i + 1] == L'\'') {
            token.text.push_back(L'\'');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        if (text[i] == L'\n') ++line;
        token.text.push_back(text[i++]);
      }
    } else {
      const std::size_t start = i;
      while (i < text.size() && !IsSpace(text[i]) && text[i] != L'=' && text[i] != L'\'') ++i;
      token.text.assign(text.substr(start, i - start));
      token.kind = token.text == L"{"   ? TokenKind::kOpen
                   : token.text == L"}" ? TokenKind::kClose
                                        : TokenKind::kWord;
    }
    tokens.push_back(std::move(token));
  }
  Token end;
  end.line = line;
  tokens.push_back(std::move(end));
  return true;
}

std::string Describe(const Token& token) {
  switch (token.kind) {
    case TokenKind::kEnd:
      return "the end of the script";
    case TokenKind::kWord:
      return "'" + NarrowForMessage(token.text) + "'";
    case TokenKind::kQuoted:
      return "quoted text '" + NarrowForMessage(token.text) + "'";
    case TokenKind::kEquals:
      return "'='";
    case TokenKind::kOpen:
      return "'{'";
    case TokenKind::kClose:
      return "'}'";
  }
  return "?";
}

bool IsKeyword(const Token& token, std::wstring_view keyword) {
  return token.kind == TokenKind::kWord && EqualsNoCase(token.text, keyword);
}

// ---- Parser ----

class Parser {
 public:
  Parser(const std::vector<Token>& tokens, ScriptError& error) : tokens_(tokens), error_(error) {}

  bool ParseScript(RegistryScript& script) {
    while (Peek().kind != TokenKind::kEnd) {
      const Token& root = Take();
      if (root.kind != TokenKind::kWord) return FailExpected(root, "the root key HKCR");
      if (!EqualsNoCase(root.text, L"HKCR") && !EqualsNoCase(root.text, L"HKEY_CLASSES_ROOT")) {
        return Fail(root, "unsupported root key " + Describe(root) + " (only HKCR is written)");
      }
      if (!Expect(TokenKind::kOpen, "'{' after the root key")) return false;
      if (!ParseBlock(script.keys, 1, /*valuesAllowed=*/false)) return false;
    }
    return true;
  }

 private:
  const Token& Peek() const { return tokens_[pos_]; }
  const Token& Take() {
    const Token& token = tokens_[pos_];
    if (token.kind != TokenKind::kEnd) ++pos_;
    return token;
  }

  bool Fail(const Token& at, std::string message) {
    error_ = {at.line, std::move(message)};
    return false;
  }

  // "expected WHAT, found TOKEN".
  bool FailExpected(const Token& at, const std::string& what) {
    return Fail(at, "expected " + what + ", found " + Describe(at));
  }

  bool Expect(TokenKind kind, const char* what) {
    const Token& token = Take();
    if (token.kind == kind) return true;
    return FailExpected(token, what);
  }

  // The entries of a block up to its closing brace, which is taken too.
  bool ParseBlock(std::vector<ScriptEntry>& entries, int depth, bool valuesAllowed) {
    while (Peek().kind != TokenKind::kClose) {
      if (Peek().kind == TokenKind::kEnd) return FailExpected(Peek(), "'}' to close the block");
      if (IsKeyword(Peek(), L"val")) {
        if (!valuesAllowed) return Fail(Peek(), "values cannot be set on the root key");
        if (!ParseValue(entries)) return false;
      } else if (!ParseKey(entries, depth)) {
        return false;
      }
    }
    Take();
    return true;
  }

  bool ParseName(const char* what, std::wstring& name, int& line) {
    const Token& token = Take();
    if (token.kind != TokenKind::kWord && token.kind != TokenKind::kQuoted) {
      return FailExpected(token, what);
    }
    if (token.text.empty()) return Fail(token, std::string(what) + " is empty");
    name = token.text;
    line = token.line;
    return true;
  }

  // "s 'text'", after an '='.
  bool ParseText(std::optional<std::wstring>& text) {
    const Token& type = Take();
    if (type.kind != TokenKind::kWord) return FailExpected(type, "the value type s");
    if (!EqualsNoCase(type.text, L"s")) {
      return Fail(type, "unsupported value type " + Describe(type) + " (only s, text, is written)");
    }
    const Token& quoted = Take();
    if (quoted.kind != TokenKind::kQuoted) return FailExpected(quoted, "quoted text after s");
    text = quoted.text;
    return true;
  }

  bool ParseValue(std::vector<ScriptEntry>& entries) {
    Take();  // val
    ScriptEntry value;
    value.kind = ScriptEntry::Kind::kValue;
    if (!ParseName("a value name", value.name, value.line)) return false;
    if (!Expect(TokenKind::kEquals, "'=' after the value name")) return false;
    if (!ParseText(value.text)) return false;
    entries.push_back(std::move(value));
    return true;
  }

  bool ParseKey(std::vector<ScriptEntry>& entries, int depth) {
    ScriptEntry key;
    while (IsKeyword(Peek(), L"NoRemove") || IsKeyword(Peek(), L"ForceRemove")) {
      const Token& markToken = Take();
      const KeyMark mark =
          IsKeyword(markToken, L"NoRemove") ? KeyMark::kNoRemove : KeyMark::kForceRemove;
      if (key.mark != KeyMark::kNone && key.mark != mark) {
        return Fail(markToken, "a key cannot be both NoRemove and ForceRemove");
      }
      key.mark = mark;
    }
    if (depth > kMaxKeyDepth) {
      return Fail(Peek(), "keys nested more than " + std::to_string(kMaxKeyDepth) + " deep");
    }
    if (!ParseName("a key name", key.name, key.line)) return false;
    if (key.name.find(L'\\') != std::wstring::npos) {
      error_ = {key.line, "key name '" + NarrowForMessage(key.name) + "' holds a backslash"};
      return false;
    }
    if (Peek().kind == TokenKind::kEquals) {
      Take();
      if (!ParseText(key.text)) return false;
    }
    if (Peek().kind == TokenKind::kOpen) {
      Take();
      if (!ParseBlock(key.entries, depth + 1, /*valuesAllowed=*/true)) return false;
    }
    entries.push_back(std::move(key));
    return true;
  }

  const std::vector<Token>& tokens_;
  std::size_t pos_ = 0;
  ScriptError& error_;
};

// ---- Runner ----

std::wstring JoinPath(const std::wstring& parent, const std::wstring& name) {
  return parent.empty() ? name : parent + L"\\" + name;
}

HResult RegisterKey(const ScriptEntry& key, const std::wstring& parent, Registry& registry) {
  const std::wstring path = JoinPath(parent, key.name);
  HResult hr = kSOk;
  if (key.mark == KeyMark::kForceRemove) {
    hr = registry.DeleteTree(path);
    if (Failed(hr)) return hr;
  }
  hr = registry.CreateKey(path);
  if (Failed(hr)) return hr;
  if (key.text) {
    hr = registry.SetString(path, L"", *key.text);
    if (Failed(hr)) return hr;
  }
  for (const ScriptEntry& entry : key.entries) {
    hr = entry.kind == ScriptEntry::Kind::kValue
             ? registry.SetString(path, entry.name, entry.text.value_or(L""))
             : RegisterKey(entry, path, registry);
    if (Failed(hr)) return hr;
  }
  return kSOk;
}

HResult UnregisterKey(const ScriptEntry& key, const std::wstring& parent, Registry& registry) {
  const std::wstring path = JoinPath(parent, key.name);
  HResult hr = registry.KeyExists(path);
  if (Failed(hr)) return hr;
  if (hr != kSOk) return kSOk;  // missing: nothing of it to remove
  for (const ScriptEntry& entry : key.entries) {
    if (entry.kind == ScriptEntry::Kind::kValue) {
      hr = registry.DeleteValue(path, entry.name);
      if (hr == kErrorFileNotFound) hr = kSOk;
    } else {
      hr = UnregisterKey(entry, path, registry);
    }
    if (Failed(hr)) return hr;
  }
  if (key.mark == KeyMark::kNoRemove) return kSOk;
  return registry.DeleteKey(path);
}

}  // namespace

std::wstring QuoteForScript(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    out.push_back(c);
    if (c == L'\'') out.push_back(L'\'');
  }
  return out;
}

HResult ParseRegistryScript(std::wstring_view text, const std::vector<Replacement>& replacements,
                            RegistryScript& script, ScriptError& error) {
  script = {};
  error = {};
  std::wstring expanded;
  std::vector<Token> tokens;
  if (!ExpandReplacements(text, replacements, expanded, error) ||
      !Tokenize(expanded, tokens, error) || !Parser(tokens, error).ParseScript(script)) {
    script = {};
    return kScriptSyntaxError;
  }
  return kSOk;
}

HResult RunRegistryScript(const RegistryScript& script, ScriptMode mode, Registry& registry) {
  for (const ScriptEntry& key : script.keys) {
    const HResult hr = mode == ScriptMode::kRegister ? RegisterKey(key, L"", registry)
                                                     : UnregisterKey(key, L"", registry);
    if (Failed(hr)) return hr;
  }
  return kSOk;
}

HResult RunRegistryScript(std::wstring_view text, const std::vector<Replacement>& replacements,
                          ScriptMode mode, Registry& registry, ScriptError* error) {
  RegistryScript script;
  ScriptError local;
  const HResult hr = ParseRegistryScript(text, replacements, script, local);
  if (error != nullptr) *error = local;
  if (Failed(hr)) return hr;
  return RunRegistryScript(script, mode, registry);
}

}  // namespace vantrel::registry
