// Unique names of the disc project and the speed list of the burn dialog.
#include "burn/BurnSpeedList.h"
#include "burn/TDiscProject.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TEST(TDiscProject, NamesStayUniqueIgnoringCase) {
  struct TCase {
    std::vector<std::string> Added;
    std::string Expected; // name the last one gets
  };
  for (const TCase &c : {
           TCase{{"clip.mp4"}, "clip.mp4"},
           TCase{{"clip.mp4", "clip.mp4"}, "clip (2).mp4"},
           TCase{{"clip.mp4", "CLIP.MP4"}, "CLIP (2).MP4"},
           TCase{{"clip.mp4", "clip.mp4", "clip.mp4"}, "clip (3).mp4"},
           TCase{{"clip.mp4", "clip (2).mp4", "clip.mp4"}, "clip (3).mp4"},
           TCase{{"noext", "noext"}, "noext (2)"},
           TCase{{".hidden", ".hidden"}, ".hidden (2)"},
           TCase{{"a.b.c", "a.b.c"}, "a.b (2).c"},
       }) {
    TDiscProject project;
    std::string last;
    for (const std::string &name : c.Added)
      last = project.Add("/src/" + name, name);
    EXPECT_EQ(last, c.Expected) << c.Added.size() << " " << c.Added.back();
    EXPECT_EQ(project.FileCount(), int(c.Added.size()));
  }
}

TEST(BurnSpeedList, WithoutADiscTheDvdSpeedsAreOffered) {
  const TSpeedList list = NoDiscSpeedList();
  EXPECT_EQ(list.Entries, (std::vector<std::string>{"16x", "12x", "8x", "6x", "4x", "2x"}));
  EXPECT_EQ(SpeedOfEntry(list, 2), 11080); // "8x"
  EXPECT_EQ(SpeedOfEntry(list, 5), 2770);  // "2x"
  EXPECT_EQ(SpeedOfEntry(list, 0), -1);    // the first entry stands for the fastest
}

// A drive that grants the fastest of its speeds (descending) not above the request, and its
// slowest below them all.
std::string Granted(const std::vector<int> &ASpeeds, int ARequest) {
  int granted = ASpeeds.back();
  for (auto s = ASpeeds.rbegin(); s != ASpeeds.rend() && *s <= ARequest; ++s)
    granted = *s;
  return std::to_string(int(granted / 1385.0 + 0.5)) + "x";
}

TEST(BurnSpeedList, DriveSpeedsCollapseToWhatTheDriveGrants) {
  const std::vector<int> speeds = {22160, 16620, 11080, 5540, 2770}; // 16x 12x 8x 4x 2x
  std::vector<int> requests;
  const TSpeedList list = DriveSpeedList(22160, "16x", [&](int request) {
    requests.push_back(request);
    return Granted(speeds, request);
  });
  EXPECT_EQ(list.Unit, 1385);
  // Requests from 20775 down to 1385 in steps of one unit.
  ASSERT_EQ(requests.size(), 15u);
  EXPECT_EQ(requests.front(), 20775);
  EXPECT_EQ(requests.back(), 1385);
  EXPECT_EQ(list.Entries, (std::vector<std::string>{"12x", "8x", "4x", "2x"}));
  EXPECT_EQ(SpeedOfEntry(list, 0), -1);
  EXPECT_EQ(SpeedOfEntry(list, 1), 11080);
}

TEST(BurnSpeedList, AnUnknownFastestSpeedStillGivesAWorkingList) {
  struct TCase {
    int Fastest;
    std::string Text;
    std::vector<std::string> Entries;
  };
  for (const TCase &c :
       {TCase{0, "0x", {"Max"}}, TCase{22160, "x", {"Max"}}, TCase{22160, "abcx", {"Max"}},
        TCase{10, "16x", {"Max"}}, TCase{1385, "1x", {"1x"}}}) {
    int calls = 0;
    const TSpeedList list = DriveSpeedList(c.Fastest, c.Text, [&](int) {
      ++calls;
      return std::string("1x");
    });
    EXPECT_EQ(list.Entries, c.Entries) << c.Text;
    EXPECT_GT(list.Unit, 0) << c.Text;
    EXPECT_EQ(SpeedOfEntry(list, 0), -1) << c.Text;
    EXPECT_LT(calls, 100) << c.Text;
  }
}

} // namespace
