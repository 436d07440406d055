// TFFDecoder: the decoder component. On a file opened by TCustomDecoder it decodes video
// frames (Decode, Seek, key-frame and previous-frame stepping), hands the current frame out
// as a TBitmap (CopyToBitmap), and decodes audio into fixed-format blocks (DecodeAudio).
//
// Positions are microseconds from the start of the stream (the container's start for seeks
// made before any stream is selected). Every operation returns a bool; on false the reason is
// in LastErrMsg and the log, and the decoder stays usable.
// Threads: one thread at a time per instance.
// Ownership: the decoder owns its codec contexts, frames, packet, buffers, converter and
// filter graph; FrameInfo().Buffer/Picture and WaveInfo().Buffer point into decoder-owned
// memory that stays valid until the next decode, Seek or CloseFile.
// Steady state: stepping forward reuses one packet, the frame holders and the grown buffers,
// and never re-opens or re-seeks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/MediaOwners.h"
#include "media/TAudioResampler.h"
#include "media/TCustomDecoder.h"
#include "media/TFormatConverter.h"
#include "media/TFrameIndex.h"
#include "media/TVideoFilterGraph.h"

class TFFDecoder : public TCustomDecoder {
public:
  TFFDecoder();
  ~TFFDecoder() override;
  std::string ClassName() const override { return "TFFDecoder"; }

  void CloseFile() override;

  // --- video ---
  // Decodes the next frame of the video stream (-1: the selected or first one). True when a
  // new frame is in FrameInfo.
  bool Decode(int AStreamIndex = -1);
  // Seeks to APTS microseconds; leaves the end-of-file state.
  virtual bool Seek(int64_t APTS, TSeekFlags ASeekFlags = 0);
  // Key-frame and previous-frame steps land on the exact frame wherever the stream's frame
  // times are known (a scan made once per stream); false, staying put, when there is no such
  // frame (no key frame after the last one, none before the first).
  bool DecodeNextKeyFrame(int AStreamIndex = -1);
  bool DecodePreviousKeyFrame(int AStreamIndex = -1);
  bool DecodePreviousFrame(int AStreamIndex = -1);
  // Number of frames of the selected (or first) video stream, counted by a scan of its packets
  // made once; 0 when unknown. The frame shown stays as it is.
  int64_t VideoFrameCount();
  // Copies the current frame into ABitmap in the converter's bitmap format (reusing its
  // buffer). False without a frame ("picture not ready, please decode first"), or when the
  // conversion fails (ABitmap is then sized to the frame and black).
  bool CopyToBitmap(TBitmap &ABitmap);

  const TFrameInfo &FrameInfo() const { return FPicture; }
  // Byte position of the reader; -1 without a file or a byte reader.
  int64_t Position();
  // A filter description applied to every decoded frame ("hflip,negate"); empty = none.
  std::string VideoFilters;
  int BitmapBitsPixel() const { return FFormatConv.BitsPixel(); }
  void SetBitmapBitsPixel(int ABitsPixel) { FFormatConv.SetBitsPixel(ABitsPixel); }
  TFormatConverter &FormatConverter() { return FFormatConv; }
  // Guessed frame rate of the selected video stream; 0/0 before one is selected.
  AVRational FrameRate() const { return FFrameRate; }
  // The end of the file was reached; decoding answers false until a Seek.
  bool IsEOF() const { return FEOF; }

  // --- audio ---
  // The most samples (per channel) one audio block holds, whatever a header claims: a packet
  // that converts to more (a rate of 1 Hz made 358 MB of one packet) is delivered over
  // several calls, nothing dropped.
  static constexpr int MaxAudioBlockSamples = 65536;
  // Decodes the next block of the audio stream (-1: the selected or first one) into WaveInfo
  // in the output format (default signed 16-bit interleaved stereo, 44100 Hz): a packet's
  // samples, or the rest of a block cut at the bound; the end of the stream flushes the
  // resampler's delayed samples.
  bool DecodeAudio(int AStreamIndex = -1);
  const TWaveInfo &WaveInfo() const { return FWaveInfo; }
  // The output format's bounds: other values throw std::invalid_argument ("Invalid channel
  // count %d", "Invalid sample rate %d"), so that block sizes and durations stay defined.
  static constexpr int MaxAudioChannels = 64;
  static constexpr int MaxAudioSampleRate = 768000;
  int DesireAudioChannels() const { return FDesireAudioChannels; }
  void SetDesireAudioChannels(int AChannels);
  int DesireAudioSampleRate() const { return FDesireAudioSampleRate; }
  void SetDesireAudioSampleRate(int ARate);
  virtual void FreeResampler();

protected:
  void AfterFileLoaded(TFFOptions &AOptions) override;

private:
  using TPacketHandler = int (TFFDecoder::*)(AVPacket *);

  bool CheckFileHandle();
  bool CheckSeekable();
  // The container is a still-image sequence that cannot seek (compared without allocating).
  bool IsImage2() const;
  int SelectVideoStream(int AStreamIndex);
  int SelectAudioStream(int AStreamIndex);
  int SelectStream(int AStreamIndex, AVMediaType AType, int &ADesireIndex);
  TCodecContextPtr OpenDecoder(int AStreamIndex, bool AVideo);
  // Keeps the video (AVideo) or audio decoder open on the desired stream; false on failure.
  bool OpenStreamDecoder(bool AVideo);
  // Reads packets of AStreamIndex into AHandler until it yields (> 0: true) or reading ends;
  // AStopOnError: a negative handler result ends the loop with false.
  bool ReadPackets(const char *AMethod, int AStreamIndex, TPacketHandler AHandler,
                   bool AStopOnError);
  void AllocPacket();
  int DecodeVideoPacket(AVPacket *APacket);
  // Takes one frame from the video decoder (APacket: the packet just sent, or null).
  int ReceiveVideoFrame(const AVPacket *APacket);
  int DecodeAudioPacket(AVPacket *APacket);
  // How an audio stream began when the file was opened: its first packet's time and the
  // samples to skip at its start. A seek to the start goes to that packet and sets the same
  // skip on it (demuxers such as Ogg do not), so the stream starts over as on a fresh open.
  struct TAudioStart {
    bool Seen = false; // the first packet was read
    int64_t PTS = AV_NOPTS_VALUE;
    int64_t Pos = -1;          // its byte position
    std::vector<uint8_t> Skip; // the skip-samples side data of the first packet, if any
    bool Restarted = false;    // a seek to the start happened: the next packet may need Skip
  };
  // The record of an audio stream; null for other streams.
  TAudioStart *AudioStart(int AStreamIndex);
  // Records a packet that is the first of its audio stream read from where the file opened;
  // true when it was.
  bool NoteAudioStart(const AVPacket *APacket);
  // Before the reader first moves elsewhere: reads on until every audio stream's first packet
  // is known (or the file ends), so that any of them can start over later.
  void LearnAudioStarts();
  // The audio stream whose start a seek to the start goes to: when the seek stream (or, with
  // none chosen, the first audio stream of a file without video) is audio with a known start,
  // the audio stream whose first packet lies first in the file; else -1.
  int RestartedAudioStream();
  void KeepStartSkip(AVPacket *APacket);
  void SetAudioOutput(int AChannels, int ARate);
  // Fills WaveInfo with at most MaxAudioBlockSamples: first what the resampler held back,
  // then the frames the decoder has ready (APacket: the packet just sent, or null). 1 with a
  // block, 0 without, negative when the resampler fails.
  int CollectAudioBlock(const AVPacket *APacket);
  void StoreWaveInfo(const AVPacket *APacket, bool AContinued, int64_t AFramePTS, int ASize);
  bool StoreFrameInfo(const AVFrame *AFrame, const AVPacket *APacket);
  int64_t StreamTimeToMicroseconds(int AStreamIndex, int64_t ATime) const;
  void ResetPicture();
  void ResetWaveInfo();
  int64_t FrameDuration() const;
  int64_t ReaderPosition() const;
  int64_t CurrentPTS() const { return FPicture.PTS; }
  // The current frame's time, else the last decoded one's, else AV_NOPTS_VALUE.
  int64_t KnownPTS() const { return CurrentPTS() != AV_NOPTS_VALUE ? CurrentPTS() : FLastPTS; }
  // Flushes the decoders and forgets the current frame and audio block.
  void ResetDecoding();

  // --- frame-exact stepping over the frame index ---
  // Builds the stream's index once (the frame shown is kept); with ANeedTimes, also frame
  // times from a decoding pass where the packets lack them. True when the frame times are
  // known.
  bool IndexReady(int AStreamIndex, bool ANeedTimes);
  bool NeedsDecodedTimes() const;
  void BuildIndex(int AStreamIndex);
  void RecordDecodedTimes(int AStreamIndex);
  // Puts the reader at the start of the file.
  bool RewindInput();
  // The container can be positioned by byte (generic demuxers without a seek of their own).
  bool SeeksByByte() const;
  // Reads up to the key frame's packet (left in FPacket), from a seek near it or from the
  // start of the file (AFromStart).
  bool ReadToKeyPacket(const TFrameIndex::TKey &AKey, bool AFromStart);
  // Decodes frame AFrame of the index: from the key frame at or before it, or from earlier key
  // frames when it depends on the group before (open GOP).
  bool LandOn(int AStreamIndex, int64_t AFrame);
  // The index position of the frame shown, else of the first frame at its time.
  int64_t ShownFrame() const;
  // The index position of the frame just stored, given the one before it; -1 when unknown.
  int64_t IndexedFrame(int64_t APreviousPTS, int64_t APreviousFrame) const;
  bool SeekIndexedKey(int64_t APTS, TSeekFlags ASeekFlags);
  // Stepping by frame durations, for streams whose frame times are not known.
  bool SearchNextKeyFrame(int AStreamIndex);
  bool SearchPreviousKeyFrame(int AStreamIndex);
  bool SearchPreviousFrame(int AStreamIndex);

  TCodecContextPtr FVideoCodec;
  int FVideoStreamIndex = -1;
  TFormatConverter FFormatConv;
  int FDesireVideoIndex = -1;
  TFramePtr FDecodedFrame;
  TFramePtr FFilteredFrame;
  TPacketPtr FPacket;
  bool FEOF = false;
  bool FEOFpkt = false;
  TFrameInfo FPicture;
  int64_t FFrame = -1; // the frame's position in the index; -1 when unknown
  // The index position of the key frame whose packet a seek read, until that frame is decoded.
  int64_t FKeyFrameRead = -1;
  TPictureBuffer FPictureBuffer;
  int64_t FLastPTS = AV_NOPTS_VALUE;
  TVideoFilterGraph FFilterGraph;

  TWaveInfo FWaveInfo;
  int FDesireAudioChannels = 2;
  int FDesireAudioSampleRate = 44100;
  AVSampleFormat FDesireAudioSampleFormat = AV_SAMPLE_FMT_S16;
  int FDesireAudioIndex = -1;
  TCodecContextPtr FAudioCodec;
  int FAudioStreamIndex = -1;
  TFramePtr FAudioDecodedFrame;
  TAVBuffer FAudioBuffer;
  TAudioResampler FResampler;
  int64_t FAudioBlockEnd = AV_NOPTS_VALUE; // PTS + Duration of the last block
  std::vector<TAudioStart> FAudioStarts;   // by stream, grown on first use
  // The reader has only read on from where the file opened: first packets are first.
  bool FReadFromOpen = true;

  AVRational FFrameRate{0, 0};
  int FSeekIndex = -1;

  TFrameIndex FIndex;
  int FIndexTriedStream = -1;
  bool FTimesDecoded = false;
  // FPacket holds the key frame's packet a seek stopped at, for the next Decode.
  bool FHeld = false;
};
