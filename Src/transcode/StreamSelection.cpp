#include "transcode/StreamSelection.h"

namespace {

constexpr int64_t NewPacketsBonus = 100000000;
constexpr int64_t DefaultBonus = 5000000;

bool Usable(const TInputStream &ist) {
  return ist.user_set_discard != AVDISCARD_ALL;
}

bool IsDefault(const AVStream *st) {
  return st->disposition & AV_DISPOSITION_DEFAULT;
}

int64_t Bonuses(const AVStream *st) {
  return (st->event_flags & AVSTREAM_EVENT_FLAG_NEW_PACKETS ? NewPacketsBonus : 0) +
         (IsDefault(st) ? DefaultBonus : 0);
}

// Shared two-level choice: best per file by score(), then the best file after taking the
// default bonus off each file's winner (keepBonus() says when it stays).
template <typename Score, typename KeepBonus>
int ChooseBest(const TInputsView &in, AVMediaType type, Score score, KeepBonus keepBonus) {
  int64_t bestScore = 0;
  int best = -1;
  for (const auto &file : in.files) {
    int64_t fileBest = 0;
    int fileBestIdx = -1;
    for (int i = 0; i < file->nb_streams; i++) {
      const TInputStream &ist = *in.streams[file->ist_index + i];
      if (!Usable(ist) || ist.st->codecpar->codec_type != type)
        continue;
      int64_t s = score(ist.st);
      if (s > fileBest) {
        fileBest = s;
        fileBestIdx = file->ist_index + i;
      }
    }
    if (fileBestIdx < 0)
      continue;
    const AVStream *st = in.streams[fileBestIdx]->st;
    if (!keepBonus(st) && IsDefault(st))
      fileBest -= DefaultBonus;
    if (fileBest > bestScore) {
      bestScore = fileBest;
      best = fileBestIdx;
    }
  }
  return best;
}

} // namespace

int BestVideoStream(const TInputsView &in, const AVOutputFormat *ofmt) {
  const bool apic =
      ff::avformat_query_codec(ofmt, ofmt->video_codec, 0) == int(MKTAG('A', 'P', 'I', 'C'));
  auto score = [apic](const AVStream *st) -> int64_t {
    const bool attached = st->disposition & AV_DISPOSITION_ATTACHED_PIC;
    if (apic)
      return attached ? int64_t(st->codecpar->width) * st->codecpar->height + Bonuses(st) : 0;
    if (attached)
      return 1;
    return int64_t(st->codecpar->width) * st->codecpar->height + Bonuses(st);
  };
  // An attached picture scored 1 has no bonus to take off.
  auto keepBonus = [apic](const AVStream *st) {
    return !apic && (st->disposition & AV_DISPOSITION_ATTACHED_PIC);
  };
  return ChooseBest(in, AVMEDIA_TYPE_VIDEO, score, keepBonus);
}

int BestAudioStream(const TInputsView &in) {
  auto score = [](const AVStream *st) -> int64_t {
    return st->codecpar->ch_layout.nb_channels + Bonuses(st);
  };
  return ChooseBest(in, AVMEDIA_TYPE_AUDIO, score, [](const AVStream *) { return false; });
}

int FirstSubtitleStream(const TInputsView &in, const AVOutputFormat *ofmt, bool encoderGiven) {
  const int kinds = AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB;
  const AVCodec *enc = ff::avcodec_find_encoder(ofmt->subtitle_codec);
  const AVCodecDescriptor *outDesc = enc ? ff::avcodec_descriptor_get(enc->id) : nullptr;
  for (size_t i = 0; i < in.streams.size(); i++) {
    const TInputStream &ist = *in.streams[i];
    if (ist.st->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE || !Usable(ist))
      continue;
    const AVCodecDescriptor *inDesc = ff::avcodec_descriptor_get(ist.st->codecpar->codec_id);
    const int inProps = inDesc ? inDesc->props & kinds : 0;
    const int outProps = outDesc ? outDesc->props & kinds : 0;
    // A stream of neither kind (e.g. teletext) goes to any subtitle encoder.
    const bool neither = inDesc && outDesc && (!inProps || !outProps);
    if (encoderGiven || (inProps & outProps) || neither)
      return int(i);
  }
  return -1;
}

int FirstDataStream(const TInputsView &in, AVCodecID id) {
  for (size_t i = 0; i < in.streams.size(); i++) {
    const TInputStream &ist = *in.streams[i];
    if (Usable(ist) && ist.st->codecpar->codec_type == AVMEDIA_TYPE_DATA &&
        ist.st->codecpar->codec_id == id)
      return int(i);
  }
  return -1;
}
