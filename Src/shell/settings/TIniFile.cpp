#include "shell/settings/TIniFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <strings.h>

namespace {

bool SameName(const std::string &A, const std::string &B) {
  return A.size() == B.size() && strncasecmp(A.c_str(), B.c_str(), A.size()) == 0;
}

std::string Trim(const std::string &Text) {
  const auto Space = [](unsigned char C) { return C == ' ' || C == '\t'; };
  size_t First = 0;
  size_t Last = Text.size();
  while (First < Last && Space(Text[First]))
    ++First;
  while (Last > First && Space(Text[Last - 1]))
    --Last;
  return Text.substr(First, Last - First);
}

std::vector<std::string> SplitLines(const std::string &Text) {
  std::vector<std::string> Lines;
  size_t Start = Text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (Start < Text.size()) {
    size_t End = Text.find('\n', Start);
    if (End == std::string::npos)
      End = Text.size();
    std::string Line = Text.substr(Start, End - Start);
    if (!Line.empty() && Line.back() == '\r')
      Line.pop_back();
    Lines.push_back(std::move(Line));
    Start = End + 1;
  }
  return Lines;
}

std::optional<int> ParseHex(const std::string &Digits) {
  if (Digits.empty() || Digits.size() > 8)
    return std::nullopt;
  uint32_t Value = 0;
  const auto [End, Error] =
      std::from_chars(Digits.data(), Digits.data() + Digits.size(), Value, 16);
  if (Error != std::errc() || End != Digits.data() + Digits.size())
    return std::nullopt;
  return static_cast<int>(Value);
}

std::optional<int> ParseDecimal(const std::string &Text) {
  const char *First = Text.data();
  const char *Last = First + Text.size();
  if (First != Last && *First == '+')
    ++First;
  int Value = 0;
  const auto [End, Error] = std::from_chars(First, Last, Value, 10);
  if (First == Last || Error != std::errc() || End != Last)
    return std::nullopt;
  return Value;
}

} // namespace

std::optional<int> ParseIniInteger(const std::string &Text) {
  const std::string Value = Trim(Text);
  if (Value.size() > 2 && Value[0] == '0' && (Value[1] == 'x' || Value[1] == 'X'))
    return ParseHex(Value.substr(2));
  return ParseDecimal(Value);
}

TIniFile TIniFile::Parse(const std::string &Text) {
  TIniFile Ini;
  Ini.FSections.push_back({});
  for (const std::string &Line : SplitLines(Text)) {
    const std::string Trimmed = Trim(Line);
    if (Trimmed.empty())
      continue; // blank lines are not kept; the writer separates sections itself
    if (Trimmed.front() == '[' && Trimmed.back() == ']') {
      Ini.FSections.push_back({Trim(Trimmed.substr(1, Trimmed.size() - 2)), {}});
      continue;
    }
    const size_t Equal = Line.find('=');
    const std::string Key = Equal == std::string::npos ? "" : Trim(Line.substr(0, Equal));
    if (Key.empty() || Trimmed.front() == ';')
      Ini.FSections.back().Lines.push_back({"", "", Line});
    else
      Ini.FSections.back().Lines.push_back({Key, Trim(Line.substr(Equal + 1)), ""});
  }
  return Ini;
}

TIniFile::TSection *TIniFile::FindSection(const std::string &Name) {
  const auto It = std::find_if(FSections.begin(), FSections.end(), [&](const TSection &S) {
    return !S.Name.empty() && SameName(S.Name, Name);
  });
  return It == FSections.end() ? nullptr : &*It;
}

const TIniFile::TSection *TIniFile::FindSection(const std::string &Name) const {
  return const_cast<TIniFile *>(this)->FindSection(Name);
}

std::optional<std::string> TIniFile::Value(const std::string &Section,
                                           const std::string &Key) const {
  const TSection *S = FindSection(Section);
  if (!S)
    return std::nullopt;
  for (const TLine &L : S->Lines)
    if (!L.Key.empty() && SameName(L.Key, Key))
      return L.Value;
  return std::nullopt;
}

void TIniFile::SetValue(const std::string &Section, const std::string &Key,
                        const std::string &Value) {
  const std::string OneLine = Value.substr(0, Value.find_first_of("\r\n"));
  TSection *S = FindSection(Section);
  if (!S) {
    FSections.push_back({Section, {}});
    S = &FSections.back();
  }
  for (TLine &L : S->Lines) {
    if (!L.Key.empty() && SameName(L.Key, Key)) {
      L.Value = OneLine;
      return;
    }
  }
  S->Lines.push_back({Key, OneLine, ""});
}

int TIniFile::ReadInteger(const std::string &Section, const std::string &Key, int Default) const {
  const std::optional<std::string> Text = Value(Section, Key);
  if (!Text)
    return Default;
  return ParseIniInteger(*Text).value_or(Default);
}

bool TIniFile::ReadBool(const std::string &Section, const std::string &Key, bool Default) const {
  return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

std::string TIniFile::ReadString(const std::string &Section, const std::string &Key,
                                 const std::string &Default) const {
  return Value(Section, Key).value_or(Default);
}

std::string TIniFile::Text() const {
  std::string Out;
  for (const TSection &S : FSections) {
    if (S.Name.empty() && S.Lines.empty())
      continue;
    if (!Out.empty())
      Out += '\n';
    if (!S.Name.empty())
      Out += "[" + S.Name + "]\n";
    for (const TLine &L : S.Lines)
      Out += (L.Key.empty() ? L.Raw : L.Key + "=" + L.Value) + "\n";
  }
  return Out;
}

std::vector<std::string> TIniFile::Sections() const {
  std::vector<std::string> Names;
  for (const TSection &Section : FSections)
    if (!Section.Name.empty())
      Names.push_back(Section.Name);
  return Names;
}
