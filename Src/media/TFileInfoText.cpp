#include "media/TFileInfoText.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <vector>

#include "media/DecoderHelpers.h"
#include "transcode/common/TextFormat.h"

namespace {

void AddLine(std::vector<std::string> &ALines, const std::string &AText) {
  ALines.push_back(AText);
}

std::string DurationText(const AVFormatContext *ctx) {
  std::string s = "Duration: ";
  if (ctx->duration != AV_NOPTS_VALUE) {
    // Rounded to the millisecond shown; a file may claim the largest duration there is.
    int64_t d = ctx->duration < INT64_MAX - 500 ? ctx->duration + 500 : INT64_MAX;
    int64_t secs = d / AV_TIME_BASE, ms = d % AV_TIME_BASE / 1000;
    s += Format("%.2" PRId64 ":%.2d:%.2d.%.3d", secs / 3600, int(secs / 60 % 60), int(secs % 60),
                int(ms));
  } else {
    s += "N/A";
  }
  if (ctx->start_time != AV_NOPTS_VALUE) {
    int64_t a = std::llabs(ctx->start_time);
    s += Format(", start: %s%d.%.6d", ctx->start_time < 0 ? "-" : "", int(a / AV_TIME_BASE),
                int(a % AV_TIME_BASE));
  }
  s += ", bitrate: ";
  s += ctx->bit_rate ? Format("%d kb/s", int(ctx->bit_rate / 1000)) : std::string("N/A");
  return s;
}

std::string CodecDescription(const AVCodecParameters *par) {
  const char *type = ff::av_get_media_type_string(par->codec_type);
  std::string s = std::string(type ? type : "unknown") + ": " + ff::avcodec_get_name(par->codec_id);
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    const char *pix = ff::av_get_pix_fmt_name(AVPixelFormat(par->format));
    s += Format(", %s, %dx%d", pix ? pix : "none", par->width, par->height);
  } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
    char layout[128] = "";
    ff::av_channel_layout_describe(&par->ch_layout, layout, sizeof layout);
    const char *fmt = ff::av_get_sample_fmt_name(AVSampleFormat(par->format));
    s += Format(", %d Hz, %s, %s", par->sample_rate, layout, fmt ? fmt : "none");
  }
  if (par->bit_rate > 0)
    s += Format(", %d kb/s", int(par->bit_rate / 1000));
  return s;
}

std::string DispositionText(int ADisposition) {
  static const struct {
    int Flag;
    const char *Word;
  } Words[] = {{AV_DISPOSITION_DEFAULT, " (default)"},
               {AV_DISPOSITION_DUB, " (dub)"},
               {AV_DISPOSITION_ORIGINAL, " (original)"},
               {AV_DISPOSITION_COMMENT, " (comment)"},
               {AV_DISPOSITION_LYRICS, " (lyrics)"},
               {AV_DISPOSITION_KARAOKE, " (karaoke)"},
               {AV_DISPOSITION_FORCED, " (forced)"},
               {AV_DISPOSITION_HEARING_IMPAIRED, " (hearing impaired)"},
               {AV_DISPOSITION_VISUAL_IMPAIRED, " (visual impaired)"},
               {AV_DISPOSITION_CLEAN_EFFECTS, " (clean effects)"},
               {AV_DISPOSITION_ATTACHED_PIC, " (attached pic)"},
               {AV_DISPOSITION_TIMED_THUMBNAILS, " (timed thumbnails)"},
               {AV_DISPOSITION_CAPTIONS, " (captions)"},
               {AV_DISPOSITION_DESCRIPTIONS, " (descriptions)"},
               {AV_DISPOSITION_METADATA, " (metadata)"},
               {AV_DISPOSITION_DEPENDENT, " (dependent)"},
               {AV_DISPOSITION_STILL_IMAGE, " (still image)"}};
  std::string s;
  for (const auto &w : Words)
    if (ADisposition & w.Flag)
      s += w.Word;
  return s;
}

std::string StreamText(const AVFormatContext *ctx, int AIndex) {
  const AVStream *st = ctx->streams[AIndex];
  std::string s = Format("  Stream #%d", AIndex);
  if (ctx->iformat && (ctx->iformat->flags & AVFMT_SHOW_IDS))
    s += Format("[0x%x]", st->id);
  if (const AVDictionaryEntry *lang = ff::av_dict_get(st->metadata, "language", nullptr, 0))
    s += Format("(%s)", lang->value);
  s += ": " + CodecDescription(st->codecpar);
  AVRational sar = st->sample_aspect_ratio;
  if (!sar.num || !sar.den) // the container has none: the codec's (MPEG-2 headers, say)
    sar = st->codecpar->sample_aspect_ratio;
  if (sar.num && sar.den && st->codecpar->width && st->codecpar->height) {
    int dn = 0, dd = 0;
    ff::av_reduce(&dn, &dd, int64_t(st->codecpar->width) * sar.num,
                  int64_t(st->codecpar->height) * sar.den, 1024 * 1024);
    s += Format(", SAR %d:%d DAR %d:%d", sar.num, sar.den, dn, dd);
  }
  if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
    if (st->avg_frame_rate.num && st->avg_frame_rate.den)
      s += ", " + RateText(av_q2d(st->avg_frame_rate), "fps");
    if (st->r_frame_rate.num && st->r_frame_rate.den)
      s += ", " + RateText(av_q2d(st->r_frame_rate), "tbr");
    if (st->time_base.num && st->time_base.den)
      s += ", " + RateText(1 / av_q2d(st->time_base), "tbn");
  }
  if (st->time_base.num && st->time_base.den) {
    if (st->start_time != AV_NOPTS_VALUE)
      s += Format(", start: %.6f", double(st->start_time) * av_q2d(st->time_base));
    if (st->duration != AV_NOPTS_VALUE)
      s += Format(", duration: %.6f", double(st->duration) * av_q2d(st->time_base));
  }
  return s + DispositionText(st->disposition);
}

void AddStream(std::vector<std::string> &ALines, const AVFormatContext *ctx, int AIndex,
               std::vector<bool> &AListed) {
  AListed[AIndex] = true;
  AddLine(ALines, StreamText(ctx, AIndex));
  std::string meta = MetadataText(ctx->streams[AIndex]->metadata, "    ");
  if (!meta.empty())
    AddLine(ALines, meta);
}

// Appends a tag value: each run between control characters is cut at 255 characters, a
// carriage return becomes a space and a line feed starts a new line with an empty key.
void AppendTagValue(std::string &AText, const char *AValue, const std::string &AIndent) {
  const size_t MaxRun = 255;
  for (const char *p = AValue; *p;) {
    const size_t len = std::strcspn(p, "\b\n\v\f\r");
    AText.append(p, std::min(len, MaxRun));
    p += len;
    if (*p == '\r')
      AText += ' ';
    else if (*p == '\n')
      AText += "\n" + Format("%s  %-16s: ", AIndent.c_str(), "");
    if (*p)
      ++p;
  }
}

} // namespace

std::string FileSizeText(int64_t ASize) {
  if (ASize <= 1024)
    return Format("%d Byte", int(ASize));
  if (ASize <= 1048576)
    return Format("%.2f KB", double(ASize) / 1024);
  if (ASize <= 1073741824)
    return Format("%.2f MB", double(ASize) / 1048576);
  return Format("%.2f GB", double(ASize) / 1073741824);
}

std::string RateText(double AValue, const char *APostfix) {
  uint64_t v = uint64_t(std::llround(AValue * 100));
  if (v == 0)
    return Format("%1.4f %s", AValue, APostfix);
  if (v % 100)
    return Format("%3.2f %s", AValue, APostfix);
  if (v % (100 * 1000))
    return Format("%1.0f %s", AValue, APostfix);
  return Format("%1.0fk %s", AValue / 1000, APostfix);
}

std::string MetadataText(const AVDictionary *AMetadata, const std::string &AIndent) {
  if (!AMetadata)
    return "";
  int count = ff::av_dict_count(AMetadata);
  if (count == 0 || (count == 1 && ff::av_dict_get(AMetadata, "language", nullptr, 0)))
    return "";
  std::string s = AIndent + "Metadata:";
  const AVDictionaryEntry *e = nullptr;
  while ((e = ff::av_dict_get(AMetadata, "", e, AV_DICT_IGNORE_SUFFIX))) {
    if (std::string(e->key) == "language")
      continue;
    s += "\n" + Format("%s  %-16s: ", AIndent.c_str(), e->key);
    AppendTagValue(s, e->value, AIndent);
  }
  return s;
}

std::string FormatFileInfoText(const AVFormatContext *ctx) {
  std::vector<std::string> lines;
  AddLine(lines, std::string("File Name: ") + (ctx->url ? ctx->url : ""));
  if (ctx->iformat) {
    AddLine(lines, std::string("Format Name: ") + ctx->iformat->name);
    if (ctx->iformat->long_name)
      AddLine(lines, std::string("Format Long Name: ") + ctx->iformat->long_name);
  }
  AddLine(lines, "File Size: " + FileSizeText(ContainerFileSize(ctx)));
  std::string meta = MetadataText(ctx->metadata, "");
  if (!meta.empty())
    AddLine(lines, meta);
  AddLine(lines, DurationText(ctx));

  for (unsigned i = 0; i < ctx->nb_chapters; ++i) {
    const AVChapter *ch = ctx->chapters[i];
    AddLine(lines, Format("Chapter #%d: start %.6f, end %.6f", int(i),
                          double(ch->start) * av_q2d(ch->time_base),
                          double(ch->end) * av_q2d(ch->time_base)));
    std::string chMeta = MetadataText(ch->metadata, "  ");
    if (!chMeta.empty())
      AddLine(lines, chMeta);
  }

  std::vector<bool> listed(ctx->nb_streams, false);
  if (ctx->nb_programs) {
    unsigned total = 0;
    for (unsigned j = 0; j < ctx->nb_programs; ++j) {
      const AVProgram *prog = ctx->programs[j];
      const AVDictionaryEntry *name = ff::av_dict_get(prog->metadata, "name", nullptr, 0);
      AddLine(lines, Format("Program %d %s", prog->id, name ? name->value : ""));
      std::string progMeta = MetadataText(prog->metadata, "  ");
      if (!progMeta.empty())
        AddLine(lines, progMeta);
      for (unsigned k = 0; k < prog->nb_stream_indexes; ++k)
        if (prog->stream_index[k] < ctx->nb_streams)
          AddStream(lines, ctx, int(prog->stream_index[k]), listed);
      total += prog->nb_stream_indexes;
    }
    if (total < ctx->nb_streams)
      AddLine(lines, "No Program");
  }
  for (unsigned i = 0; i < ctx->nb_streams; ++i)
    if (!listed[i])
      AddStream(lines, ctx, int(i), listed);

  std::string text;
  for (size_t i = 0; i < lines.size(); ++i)
    text += (i ? "\n" : "") + lines[i];
  return text;
}
