#include "transcode/StreamMaps.h"

#include <cstdio>
#include <cstdlib>

#include "components/TFFLogger.h"
#include "transcode/common/CodecOptions.h"
#include "transcode/common/FFmpegException.h"
#include "transcode/common/TextFormat.h"

namespace {

// A malformed specifier matches nothing (as in the tool: "0:x?" is ignored, "0:x" matches no
// streams).
bool Matches(const TInputFile &f, int stream, const char *spec) {
  return ff::avformat_match_stream_specifier(f.ctx.get(), f.ctx->streams[stream], spec) > 0;
}

bool Discarded(const TInputsView &in, const TInputFile &f, int stream) {
  return in.streams[f.ist_index + stream]->user_set_discard == AVDISCARD_ALL;
}

// The sync part "file[:spec]": the first matching stream of that file.
void ParseSync(const TObject *Sender, const TInputsView &in, const std::string &sync,
               const std::string &shown, int &syncFile, int &syncStream) {
  char *p = nullptr;
  syncFile = int(std::strtol(sync.c_str(), &p, 0));
  if (syncFile < 0 || syncFile >= int(in.files.size()))
    Fatal(Sender, Format("Invalid sync file index: %d.", syncFile));
  const char *spec = *p ? p + 1 : p;
  const TInputFile &f = *in.files[syncFile];
  syncStream = 0;
  while (syncStream < f.nb_streams && !Matches(f, syncStream, spec))
    syncStream++;
  if (syncStream == f.nb_streams)
    Fatal(Sender,
          Format("Sync stream specification in map %s does not match any streams.", shown.c_str()));
  if (Discarded(in, f, syncStream))
    Fatal(Sender, Format("Sync stream specification in map %s matches a disabled input stream.",
                         shown.c_str()));
}

} // namespace

void ParseStreamMap(const TObject *Sender, const TInputsView &in, const std::string &arg,
                    std::vector<TStreamMap> &maps) {
  const bool negative = !arg.empty() && arg[0] == '-';
  const std::string shown = negative ? arg.substr(1) : arg; // the map as messages show it
  std::string map = shown;

  int syncFile = -1, syncStream = 0;
  const size_t comma = map.find(',');
  if (comma != std::string::npos) {
    ParseSync(Sender, in, map.substr(comma + 1), shown, syncFile, syncStream);
    map.resize(comma);
  }

  if (!map.empty() && map[0] == '[') {
    const char *c = map.c_str() + 1;
    char *label = ff::av_get_token(&c, "]");
    std::string text = label ? label : "";
    ff::av_free(label);
    if (text.empty())
      Fatal(Sender, Format("Invalid output link label: %s.", map.c_str()));
    TStreamMap m;
    m.linklabel = text;
    maps.push_back(m);
    return;
  }

  const size_t q = map.find('?');
  const bool optional = q != std::string::npos;
  if (optional)
    map.resize(q);
  char *p = nullptr;
  const int fileIdx = int(std::strtol(map.c_str(), &p, 0));
  if (fileIdx < 0 || fileIdx >= int(in.files.size()))
    Fatal(Sender, Format("Invalid input file index: %d.", fileIdx));
  const char *spec = *p == ':' ? p + 1 : p;
  const TInputFile &f = *in.files[fileIdx];

  bool changed = false, disabledMatch = false;
  if (negative) {
    // As the tool does: a negative map after any earlier map is never an error, even when
    // it disables nothing; alone it matches nothing.
    changed = !maps.empty();
    for (TStreamMap &m : maps)
      if (m.linklabel.empty() && m.file_index == fileIdx && Matches(f, m.stream_index, spec))
        m.disabled = 1;
  } else {
    for (int i = 0; i < f.nb_streams; i++) {
      if (!Matches(f, i, spec))
        continue;
      if (Discarded(in, f, i)) {
        disabledMatch = true;
        continue;
      }
      TStreamMap m;
      m.file_index = fileIdx;
      m.stream_index = i;
      m.sync_file_index = syncFile >= 0 ? syncFile : fileIdx;
      m.sync_stream_index = syncFile >= 0 ? syncStream : i;
      maps.push_back(m);
      changed = true;
    }
  }
  if (changed)
    return;
  if (optional) {
    Log(Sender, llVerbose, "Stream map \"%s\" matches no streams; ignoring.", shown.c_str());
    return;
  }
  Fatal(Sender, Format("Stream map \"%s\" matches %s streams.\r\nTo ignore this, add a trailing "
                       "\"?\" to the map.",
                       shown.c_str(), disabledMatch ? "disabled" : "no"));
}

void ParseChannelMap(const TObject *Sender, const TInputsView &in, const std::string &arg,
                     std::vector<TAudioChannelMap> &maps) {
  maps.emplace_back();
  TAudioChannelMap &m = maps.back();
  int n = std::sscanf(arg.c_str(), "%d:%d.%d", &m.channel_idx, &m.ofile_idx, &m.ostream_idx);
  if ((n == 1 || n == 3) && m.channel_idx == -1) { // a muted channel
    m.file_idx = m.stream_idx = -1;
    if (n == 1)
      m.ofile_idx = m.ostream_idx = -1;
    return;
  }
  m = TAudioChannelMap{};
  n = std::sscanf(arg.c_str(), "%d.%d.%d:%d.%d", &m.file_idx, &m.stream_idx, &m.channel_idx,
                  &m.ofile_idx, &m.ostream_idx);
  if (n != 3 && n != 5)
    Fatal(Sender, "Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]");
  if (n != 5)
    m.ofile_idx = m.ostream_idx = -1;
  if (m.file_idx < 0 || m.file_idx >= int(in.files.size()))
    Fatal(Sender, Format("mapchan: invalid input file index: %d", m.file_idx));
  const TInputFile &f = *in.files[m.file_idx];
  if (m.stream_idx < 0 || m.stream_idx >= f.nb_streams)
    Fatal(Sender,
          Format("mapchan: invalid input file stream index #%d.%d", m.file_idx, m.stream_idx));
  const TInputStream &ist = *in.streams[f.ist_index + m.stream_idx];
  if (ist.st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
    Fatal(Sender,
          Format("mapchan: stream #%d.%d is not an audio stream.", m.file_idx, m.stream_idx));
  if (m.channel_idx < 0 || m.channel_idx >= ist.st->codecpar->ch_layout.nb_channels ||
      ist.user_set_discard == AVDISCARD_ALL) {
    const std::string text =
        Format("mapchan: invalid audio channel #%d.%d.%d", m.file_idx, m.stream_idx, m.channel_idx);
    if (arg.find('?') == std::string::npos)
      Fatal(Sender, text + "\r\nTo ignore this, add a trailing '?' to the map_channel.");
    Log(Sender, llVerbose, "%s", text.c_str());
  }
}
