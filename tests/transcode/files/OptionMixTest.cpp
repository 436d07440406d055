// Many mixed option texts (a fixed pseudo-random choice from a pool of valid and broken
// options): every output either opens completely or fails leaving no record, no stream and
// no file behind, and a failure always says why.
#include <filesystem>
#include <random>

#include "FilesTestSupport.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> Pool = {
    "-map 0",
    "-map 0:v",
    "-map 0:a?",
    "-map -0:a",
    "-map 0:s",
    "-map 0:a:7?",
    "-map 1",
    "-map 0:v,0:a",
    "-an",
    "-vn",
    "-sn",
    "-dn",
    "-c:v mpeg4",
    "-c:v copy",
    "-c:a copy",
    "-c:a libmp3lame",
    "-c:a nosuch",
    "-c:v libx264",
    "-c copy",
    "-b:v 800k",
    "-b:a 96k",
    "-ar 22050",
    "-ac 1",
    "-ac 0",
    "-r 12",
    "-r 0",
    "-r x",
    "-s 160x120",
    "-s 0x0",
    "-aspect 4:3",
    "-aspect -1",
    "-pix_fmt yuv420p",
    "-pix_fmt +",
    "-vf hflip",
    "-af volume=0.5",
    "-filter:v null",
    "-t 1",
    "-to 1.5",
    "-ss 0.5",
    "-ss 3 -to 1",
    "-frames:v 3",
    "-fps_mode vfr",
    "-fps_mode bad",
    "-vsync cfr",
    "-metadata a=b",
    "-metadata:s:v c=d",
    "-metadata x",
    "-map_metadata -1",
    "-map_metadata 0",
    "-map_chapters 0",
    "-map_chapters 9",
    "-program st=0",
    "-disposition:a default",
    "-disposition:v what",
    "-tag:v XVID",
    "-bsf:v noise",
    "-time_base:a 1:44100",
    "-streamid 0:50",
    "-streamid 0:x",
    "-map_channel 0.1.0",
    "-map_channel -1",
    "-map_channel 0.1.5",
    "-intra_matrix 8",
    "-rc_override 0,10,2",
    "-pass 3",
    "-apad",
    "-shortest",
    "-fs 1000000",
    "-muxdelay 0.1",
    "-copyts",
    "-bitexact",
    "-threads 2",
    "-g 12",
    "-crf 23",
    "-skip_frame all",
    "-nosuchoption 1",
    "-attach nowhere.bin",
    "-sample_fmt s16",
    "-ch_layout stereo",
    "-ch_layout nine",
};

const std::vector<std::string> Extensions = {"mkv", "mp4", "avi", "mp3", "nut", "ts"};

struct TMix {
  int index;
  std::string options;
  std::string ext;
};

void PrintTo(const TMix &m, std::ostream *os) {
  *os << m.options << " ." << m.ext;
}

std::vector<TMix> Mixes() {
  std::mt19937 rng(20261210); // fixed: the same texts on every run
  std::vector<TMix> mixes;
  for (int i = 0; i < 120; i++) {
    std::string text;
    const int count = 1 + int(rng() % 5);
    for (int k = 0; k < count; k++)
      text += Pool[rng() % Pool.size()] + " ";
    mixes.push_back({i, text, Extensions[rng() % Extensions.size()]});
  }
  return mixes;
}

class OptionMix : public FilesTest, public ::testing::WithParamInterface<TMix> {};

TEST_P(OptionMix, OpensCompletelyOrLeavesNothing) {
  const TMix &m = GetParam();
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "", FilesFixture("multi.mkv")).ret, 0);
  ASSERT_EQ(OpenIn(E, "", Fixture("av.mp4")).ret, 1);
  const std::string out = ScratchDir() + "/mix_" + std::to_string(m.index) + "." + m.ext;
  fs::remove(out);
  const fs::path oldDir = fs::current_path();
  fs::current_path(ScratchDir()); // -pass log files land here
  TOpenResult r = OpenOut(E, m.options, out);
  fs::current_path(oldDir);
  if (r.ret >= 0) {
    EXPECT_EQ(E.Fnb_output_files(), 1);
    EXPECT_GT(E.Fnb_output_streams(), 0);
    const AVOutputFormat *fmt = E.Foutput_files[0]->format;
    if (!(fmt->flags & AVFMT_NOFILE)) {
      EXPECT_TRUE(fs::exists(out));
    }
    for (const auto &ost : E.Foutput_streams) {
      EXPECT_EQ(ost->st, E.Foutput_files[0]->ctx->streams[ost->index]);
      EXPECT_TRUE(ost->stream_copy || ost->enc) << "stream " << ost->index;
    }
  } else {
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(E.Fnb_output_files(), 0);
    EXPECT_EQ(E.Fnb_output_streams(), 0);
    EXPECT_FALSE(fs::exists(out)) << r.error;
    for (const auto &ist : E.Finput_streams)
      EXPECT_EQ(ist->discard, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Mixed, OptionMix, ::testing::ValuesIn(Mixes()),
                         [](const auto &info) { return "mix" + std::to_string(info.param.index); });

} // namespace
