#include "shell/settings/Languages.h"

#include <algorithm>
#include <cctype>

namespace {

// The languages whose codes differ between the forms, or that users commonly type as 639-1.
struct TLanguage {
  const char *Alpha2;
  const char *Bibliographic; // 639-2/B
  const char *Terminology;   // 639-2/T, where it differs
};

constexpr TLanguage Languages[] = {
    {"en", "eng", ""},    {"fr", "fre", "fra"}, {"de", "ger", "deu"}, {"es", "spa", ""},
    {"it", "ita", ""},    {"pt", "por", ""},    {"nl", "dut", "nld"}, {"ru", "rus", ""},
    {"ja", "jpn", ""},    {"zh", "chi", "zho"}, {"ko", "kor", ""},    {"ar", "ara", ""},
    {"pl", "pol", ""},    {"sv", "swe", ""},    {"no", "nor", ""},    {"da", "dan", ""},
    {"fi", "fin", ""},    {"cs", "cze", "ces"}, {"el", "gre", "ell"}, {"tr", "tur", ""},
    {"hu", "hun", ""},    {"he", "heb", ""},    {"hi", "hin", ""},    {"uk", "ukr", ""},
    {"ro", "rum", "ron"}, {"sk", "slo", "slk"}, {"bg", "bul", ""},    {"hr", "hrv", ""},
    {"sr", "srp", ""},    {"sl", "slv", ""},    {"et", "est", ""},    {"lv", "lav", ""},
    {"lt", "lit", ""},    {"th", "tha", ""},    {"vi", "vie", ""},    {"id", "ind", ""},
    {"ms", "may", "msa"}, {"fa", "per", "fas"}, {"is", "ice", "isl"}, {"ca", "cat", ""},
    {"eu", "baq", "eus"}, {"hy", "arm", "hye"}, {"ka", "geo", "kat"}, {"mk", "mac", "mkd"},
    {"sq", "alb", "sqi"}, {"cy", "wel", "cym"}, {"ga", "gle", ""},    {"bn", "ben", ""},
};

bool Letters(const std::string &AWord) {
  return !AWord.empty() && std::all_of(AWord.begin(), AWord.end(),
                                       [](unsigned char c) { return std::isalpha(c) != 0; });
}

std::string Lower(std::string AWord) {
  for (char &c : AWord)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return AWord;
}

// The 639-2/B code of a word in any of the three forms; an unknown three-letter word as it is
// (lower case); "" for anything else.
std::string Canonical(const std::string &AWord) {
  if (!Letters(AWord) || (AWord.size() != 2 && AWord.size() != 3))
    return {};
  const std::string Word = Lower(AWord);
  for (const TLanguage &L : Languages)
    if (Word == L.Alpha2 || Word == L.Bibliographic || Word == L.Terminology)
      return L.Bibliographic;
  return Word.size() == 3 ? Word : std::string();
}

} // namespace

std::vector<std::string> LanguageCodes(const std::string &AText,
                                       std::vector<std::string> *ARejected) {
  std::vector<std::string> Codes;
  size_t Start = 0;
  while (Start < AText.size()) {
    const size_t End = std::min(AText.find_first_of(",; \t", Start), AText.size());
    const std::string Word = AText.substr(Start, End - Start);
    Start = End + 1;
    if (Word.empty())
      continue;
    const std::string Code = Canonical(Word);
    if (Code.empty()) {
      if (ARejected)
        ARejected->push_back(Word);
    } else if (std::find(Codes.begin(), Codes.end(), Code) == Codes.end())
      Codes.push_back(Code);
  }
  return Codes;
}

std::vector<std::string> TagsOfLanguages(const std::vector<std::string> &ACodes,
                                         const std::vector<std::string> &ATags) {
  std::vector<std::string> Found;
  for (const std::string &Code : ACodes)
    for (const std::string &Tag : ATags)
      if (Canonical(Tag) == Code && std::find(Found.begin(), Found.end(), Tag) == Found.end())
        Found.push_back(Tag);
  return Found;
}
