#include "burn/BurnSpeedList.h"

#include <cstdlib>

namespace {

// The number before the trailing "x"; 0 when there is none.
int SpeedNumber(const std::string &Text) {
  if (Text.size() < 2)
    return 0;
  char *end = nullptr;
  const std::string digits = Text.substr(0, Text.size() - 1);
  const long n = std::strtol(digits.c_str(), &end, 10);
  return (end && *end == '\0') ? int(n) : 0;
}

} // namespace

TSpeedList NoDiscSpeedList() {
  return {1385, {"16x", "12x", "8x", "6x", "4x", "2x"}};
}

TSpeedList DriveSpeedList(int Fastest, const std::string &FastestText,
                          const std::function<std::string(int Request)> &GrantedText) {
  const int n = SpeedNumber(FastestText);
  if (n <= 0 || Fastest <= 0)
    return {NoDiscSpeedList().Unit, {"Max"}};
  TSpeedList list{Fastest / n, {}};
  if (list.Unit <= 0)
    return {NoDiscSpeedList().Unit, {"Max"}};
  for (int s = Fastest; list.Unit < s;) {
    s -= list.Unit;
    std::string text = GrantedText(s);
    if (list.Entries.empty() || list.Entries.back() != text)
      list.Entries.push_back(std::move(text));
  }
  if (list.Entries.empty()) // a drive of one speed
    list.Entries.push_back(FastestText);
  return list;
}

int SpeedOfEntry(const TSpeedList &List, int Index) {
  if (List.Entries.size() == 1 || Index <= 0 || Index >= int(List.Entries.size()))
    return -1;
  return SpeedNumber(List.Entries[Index]) * List.Unit;
}
