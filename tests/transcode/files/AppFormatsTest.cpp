// Formats the application registers itself: -f finds them before the library's, and their
// private options can be set from an option text.
#include <cstddef>

#include "FilesTestSupport.h"
#include "transcode/TAppFormats.h"

namespace {

struct TToneContext {
  const AVClass *cls;
  char *greeting;
};

const AVOption ToneOptions[] = {
    {"greeting",
     "text copied into the metadata",
     offsetof(TToneContext, greeting),
     AV_OPT_TYPE_STRING,
     {.str = nullptr},
     0,
     0,
     AV_OPT_FLAG_DECODING_PARAM,
     nullptr},
    {nullptr, nullptr, 0, AV_OPT_TYPE_INT, {.i64 = 0}, 0, 0, 0, nullptr},
};

AVClass MakeToneClass() {
  AVClass c{};
  c.class_name = "quillet_tone demuxer";
  c.item_name = [](void *) { return "quillet_tone"; };
  c.option = ToneOptions;
  c.version = LIBAVUTIL_VERSION_INT;
  c.category = AV_CLASS_CATEGORY_DEMUXER;
  return c;
}

const AVClass ToneClass = MakeToneClass();

// One silent 8 kHz mono stream without packets.
int ToneReadHeader(AVFormatContext *s) {
  AVStream *st = ff::avformat_new_stream(s, nullptr);
  if (!st)
    return AVERROR(ENOMEM);
  st->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  st->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
  st->codecpar->sample_rate = 8000;
  ff::av_channel_layout_default(&st->codecpar->ch_layout, 1);
  ff::avpriv_set_pts_info(st, 64, 1, 8000);
  auto *priv = static_cast<TToneContext *>(s->priv_data);
  if (priv->greeting)
    ff::av_dict_set(&s->metadata, "greeting", priv->greeting, 0);
  return 0;
}

int ToneReadPacket(AVFormatContext *, AVPacket *) {
  return AVERROR_EOF;
}

AVInputFormat ToneFormat() {
  AVInputFormat f{};
  f.name = "quillet_tone";
  f.long_name = "test tone";
  f.flags = AVFMT_NOFILE;
  f.priv_class = &ToneClass;
  f.priv_data_size = sizeof(TToneContext);
  f.read_header = ToneReadHeader;
  f.read_packet = ToneReadPacket;
  return f;
}

AVOutputFormat SinkFormat() {
  AVOutputFormat f{};
  f.name = "quillet_sink";
  f.long_name = "test sink";
  f.audio_codec = AV_CODEC_ID_PCM_S16LE;
  f.video_codec = AV_CODEC_ID_RAWVIDEO;
  f.flags = AVFMT_NOFILE | AVFMT_NOTIMESTAMPS;
  return f;
}

class AppFormats : public FilesTest {};

TEST_F(AppFormats, RegisteredFormatsAreFoundAndTakeTheirOptions) {
  static const AVInputFormat tone = ToneFormat();
  static const AVOutputFormat sink = SinkFormat();
  {
    TCustomFFmpeg E;
    EXPECT_EQ(OpenIn(E, "-f quillet_tone", "tone:").ret, AVERROR(EINVAL));
    EXPECT_EQ(E.LastErrMsg(), "Unknown input format: \"quillet_tone\"");
  }
  RegisterInputFormat(&tone);
  RegisterInputFormat(&tone); // once only
  RegisterOutputFormat(&sink);

  TCustomFFmpeg E;
  TOpenResult r = OpenIn(E, "-f quillet_tone -greeting hello", "tone:");
  ASSERT_EQ(r.ret, 0) << r.error;
  AVFormatContext *ic = E.Finput_files[0]->ctx.get();
  EXPECT_EQ(ic->iformat, &tone);
  const AVDictionaryEntry *e = ff::av_dict_get(ic->metadata, "greeting", nullptr, 0);
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->value, "hello");

  r = OpenOut(E, "-f quillet_sink", "sink:");
  ASSERT_EQ(r.ret, 0) << r.error;
  EXPECT_EQ(E.Foutput_files[0]->format, &sink);
  ASSERT_EQ(E.Fnb_output_streams(), 1);
  EXPECT_EQ(E.Foutput_streams[0]->st->codecpar->codec_id, AV_CODEC_ID_PCM_S16LE);
}

} // namespace
