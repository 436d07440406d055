// A small INI document in the format of the platform's profile-string services: "[Section]"
// lines followed by "key=value" lines. Section and key names match case-insensitively and the
// first occurrence of a key wins; spaces and tabs around a value are dropped, as INI readers
// do, so "Location = /tmp/out" reads "/tmp/out". Lines that are not entries (comments) are
// kept in place when the document is written again.
#pragma once

#include <optional>
#include <string>
#include <vector>

class TIniFile {
public:
  // Parses Text (LF or CRLF line ends, an optional UTF-8 byte-order mark).
  static TIniFile Parse(const std::string &Text);

  std::optional<std::string> Value(const std::string &Section, const std::string &Key) const;
  // Replaces the key's value or appends the key to its section (and the section to the end).
  // A value is cut at its first line break so it cannot spill into further entries.
  void SetValue(const std::string &Section, const std::string &Key, const std::string &Value);

  // Integer value: decimal with optional sign, or "0x" followed by up to eight hex digits (the
  // 32-bit pattern). Anything else, or a missing key, yields Default.
  int ReadInteger(const std::string &Section, const std::string &Key, int Default) const;
  // Any non-zero integer is true.
  bool ReadBool(const std::string &Section, const std::string &Key, bool Default) const;
  std::string ReadString(const std::string &Section, const std::string &Key,
                         const std::string &Default) const;

  std::string Text() const;

  // Names of the sections, in file order (the lines before the first section left out).
  std::vector<std::string> Sections() const;

private:
  struct TLine {
    std::string Key; // empty: a line kept as it is (Raw)
    std::string Value;
    std::string Raw;
  };
  struct TSection {
    std::string Name; // empty name: lines before the first section header
    std::vector<TLine> Lines;
  };
  std::vector<TSection> FSections;

  TSection *FindSection(const std::string &Name);
  const TSection *FindSection(const std::string &Name) const;
};

// Parses an integer as TIniFile::ReadInteger does; std::nullopt when Text is not one.
std::optional<int> ParseIniInteger(const std::string &Text);
