#include "shell/adding/MediaMasks.h"

#include <algorithm>
#include <cctype>

namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
    s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
    s.remove_suffix(1);
  return s;
}

bool SameLetter(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

} // namespace

std::vector<std::string> SplitList(std::string_view AText) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= AText.size()) {
    size_t end = AText.find(';', start);
    if (end == std::string_view::npos)
      end = AText.size();
    std::string item(Trimmed(AText.substr(start, end - start)));
    if (!item.empty() && std::find(items.begin(), items.end(), item) == items.end())
      items.push_back(std::move(item));
    start = end + 1;
  }
  return items;
}

bool MatchesMask(std::string_view AName, std::string_view AMask) {
  // Iterative wildcard match: remember the last "*" and retry from there on a mismatch.
  size_t n = 0, m = 0;
  size_t starMask = std::string_view::npos, starName = 0;
  while (n < AName.size()) {
    if (m < AMask.size() &&
        (AMask[m] == '?' || (AMask[m] != '*' && SameLetter(AMask[m], AName[n])))) {
      ++n;
      ++m;
    } else if (m < AMask.size() && AMask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < AMask.size() && AMask[m] == '*')
    ++m;
  return m == AMask.size();
}

bool IsAcceptedMediaPath(std::string_view APath) {
  size_t slash = APath.find_last_of('/');
  std::string_view name = slash == std::string_view::npos ? APath : APath.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos || dot + 1 == name.size())
    return false;
  std::string_view ext = name.substr(dot + 1);
  for (const std::string &mask : SplitList(MediaMasks)) {
    std::string_view maskExt = std::string_view(mask).substr(2); // after "*."
    if (maskExt.size() == ext.size() &&
        std::equal(ext.begin(), ext.end(), maskExt.begin(), SameLetter))
      return true;
  }
  return false;
}
