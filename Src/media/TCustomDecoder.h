// TCustomDecoder: the file-level half of the decoder component. Opens one media file at a
// time through the demuxing library and answers questions about it: container, size,
// duration, bit rate, tags, and each audio, video and subtitle stream.
//
// Calling order: make sure the libraries are loaded (AVLibLoaded/LoadAVLib), LoadFile, read
// the information, then CloseFile (or the next LoadFile, or destruction).
// Threads: one thread at a time per instance. Only the interrupt callback runs inside library
// calls on the calling thread; it reads FLastRead and the read time-out.
// Ownership: a context opened by LoadFile is owned and closed by CloseFile; one handed in
// through SetFileHandle is borrowed and never closed here.
// Failures: LoadFile returns false and leaves the reason in LastErrMsg; getters never throw,
// they return defaults, set LastErrMsg and log. A missing library throws std::runtime_error.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/FFAPI.h"
#include "components/TFFBaseComponent.h"
#include "components/TFFLogger.h"
#include "media/TDecoderTypes.h"
#include "transcode/common/FFOwners.h"

class TFFOptions;

class TCustomDecoder : public TFFBaseComponent {
public:
  using TBeforeFindStreamInfoEvent =
      std::function<void(TCustomDecoder *Sender, AVFormatContext *AFormatContext)>;

  TCustomDecoder();
  ~TCustomDecoder() override;
  TCustomDecoder(const TCustomDecoder &) = delete;
  TCustomDecoder &operator=(const TCustomDecoder &) = delete;
  std::string ClassName() const override { return "TCustomDecoder"; }

  // True when every library of the decoder's set is loaded.
  bool AVLibLoaded() const;
  // Loads the decoder's library set from APath (empty: the system search); false with
  // LastErrMsg = the loader's error text.
  bool LoadAVLib(const std::string &APath);

  // Opens a file; AFormatName forces a container format by its short name. False with
  // LastErrMsg set on failure (the decoder is then closed).
  bool LoadFile(const std::string &AFileName, const std::string &AFormatName = "");
  // Releases the open file; harmless when nothing is open.
  virtual void CloseFile();

  AVFormatContext *FileHandle() const { return FFileHandle; }
  // Adopts a context opened elsewhere (borrowed, not closed here).
  virtual void SetFileHandle(AVFormatContext *AHandle);

  TFileStreamInfo FileStreamInfo();
  // AIndex is an index among all streams; -1 = the first stream of that kind.
  TAudioStreamInfo AudioStreamInfos(int AIndex);
  TVideoStreamInfo VideoStreamInfos(int AIndex);
  TSubtitleStreamInfo SubtitleStreamInfos(int AIndex);
  TAudioStreamInfo FirstAudioStreamInfo() { return AudioStreamInfos(-1); }
  TVideoStreamInfo FirstVideoStreamInfo() { return VideoStreamInfos(-1); }
  TSubtitleStreamInfo FirstSubtitleStreamInfo() { return SubtitleStreamInfos(-1); }
  // The language tag of each audio stream in stream order ("" where it has none); empty while
  // no file is open.
  std::vector<std::string> AudioLanguages() const;
  bool IsVideoStream(int AStreamIndex);

  std::string FileName();
  std::string FormatName();
  std::string FormatLongName();
  // A multi-line report of the open file, modelled on the library's format dump.
  std::string FileInfoText();

  // -1 each while no file is open.
  int64_t FileSize() const { return FFileSize; }
  int StreamCount() const { return FStreamCount; }
  int ProgramCount() const { return FProgramCount; }
  int AudioStreamCount() const { return FAudioStreamCount; }
  int VideoStreamCount() const { return FVideoStreamCount; }
  int SubtitleStreamCount() const { return FSubtitleStreamCount; }
  int FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }
  int FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
  int FirstSubtitleStreamIndex() const { return FFirstSubtitleStreamIndex; }

  const std::string &LastErrMsg() const { return FLastErrMsg; }
  const std::string &ForceFormat() const { return FForceFormat; }

  // Codec names include the long name: "name(long name)".
  bool GetLongCodecName = true;
  // Fire events on the main thread (through CallInMainThread) when called from another.
  bool TriggerEventInMainThread = true;
  // Fired after the file is opened and before its streams are probed.
  TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;

protected:
  // Recomputes the file size and the stream counters.
  virtual void RefreshFileInfo();
  // Called at the end of a successful LoadFile, before the option set is reset.
  virtual void AfterFileLoaded(TFFOptions &AOptions);
  // Sets LastErrMsg and logs it with this decoder as sender.
  void Fail(TLogLevel ALevel, const std::string &AMsg);
  void Failf(TLogLevel ALevel, const char *AFormat, ...) __attribute__((format(printf, 3, 4)));
  bool CheckFileLoaded();
  AVStream *StreamOfKind(int AIndex, AVMediaType AType);
  std::string CodecName(AVCodecID AId) const;
  TFFOptions &Options() { return *FOptions; }
  void SetLastErrMsg(const std::string &AMsg) { FLastErrMsg = AMsg; }

  // The open file: FOwnedHandle when LoadFile opened it, or one SetFileHandle lent.
  AVFormatContext *FFileHandle = nullptr;
  TInputContextPtr FOwnedHandle;
  // Monotonic clock (microseconds) at the start of the latest blocking read.
  std::atomic<int64_t> FLastRead{INT64_MAX};

private:
  static int InterruptCallback(void *AOpaque);
  bool OpenInput(const std::string &AFileName, const AVInputFormat *AFormat);
  bool FindStreamInfo(const std::string &AFileName);
  void FailLoad(const std::string &AMsg);

  std::unique_ptr<TFFOptions> FOptions;
  std::string FLastErrMsg;
  std::string FForceFormat;
  int64_t FFileSize = -1;
  int FStreamCount = -1;
  int FProgramCount = -1;
  int FAudioStreamCount = -1;
  int FVideoStreamCount = -1;
  int FSubtitleStreamCount = -1;
  int FFirstAudioStreamIndex = -1;
  int FFirstVideoStreamIndex = -1;
  int FFirstSubtitleStreamIndex = -1;
};
