// The write speeds the burn dialog offers for a drive, and the speed an entry requests.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct TSpeedList {
  int Unit = 1385;                  // KB/s of one "x"
  std::vector<std::string> Entries; // "16x", "12x", ...
};

// Entries when there is no disc: DVD speeds.
TSpeedList NoDiscSpeedList();

// The drive's list: Fastest (KB/s) and its text FastestText ("16x") give the unit; then each
// step of one unit below the fastest is requested and GrantedText(request) tells the text of
// the speed the drive grants; repeated texts collapse. A drive whose fastest speed is unknown
// (a text that is not a positive number, or 0 KB/s) gets the one entry "Max".
TSpeedList DriveSpeedList(int Fastest, const std::string &FastestText,
                          const std::function<std::string(int Request)> &GrantedText);

// KB/s an entry requests: -1 (the fastest) for the first entry or a list of one, else the
// entry's number times the unit.
int SpeedOfEntry(const TSpeedList &List, int Index);
