// Running Debian's ffmpeg/ffprobe for the differential checks, and the facts of our output
// streams in the same terms (ffprobe's key names).
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "FilesTestSupport.h"

using TStreamFacts = std::map<std::string, std::string>;

// A fixture path: "f:name" = files fixture, else the shared fixtures.
std::string InputPath(const std::string &name);
// Standard output of a shell command.
std::string RunText(const std::string &cmd);
// codec_type, codec_name, width, height, r_frame_rate, sample_rate, channels per stream
// (the DVD muxer's own navigation stream left out).
std::vector<TStreamFacts> ProbeStreams(const std::string &file);
// The values our output stream will be encoded with: what the options set, else the source's.
// (A stream fed by a complex graph: its graph is configured from the streams' parameters.)
TStreamFacts OurStream(TCustomFFmpeg &E, const TOutputStream &ost);
// Mean luma (0-255) of the first video frame of a file as ffmpeg decodes it; -1 when none.
double FirstFrameLuma(const std::string &file);
// The picture of a file at 0.2 s in gray levels, one byte a pixel, as ffmpeg decodes it.
std::string GrayPicture(const std::string &file);
// A rectangle of a picture: left, top, width, height.
struct TPictureBox {
  int X, Y, W, H;
};
// How far two gray pictures of width columns differ on average, inside box and outside it.
std::pair<double, double> PictureDifference(const std::string &a, const std::string &b, int width,
                                            TPictureBox box);
// The container's duration in seconds by ffprobe; -1 when unreadable.
double ProbeDuration(const std::string &file);
// The tool converts 0.2 s of the inputs with the options into toolOut; returns the probed
// streams of its output (empty when it failed), the command and its messages.
std::vector<TStreamFacts> RunTool(const std::vector<std::string> &inputs,
                                  const std::string &options, const std::string &toolOut,
                                  std::string &cmd, std::string &log);
// The encoder part of the tool's "Stream mapping:" lines, per output stream: "copy" or
// "codec (encoder)" with "native" for an encoder named like its codec; the encoder name alone
// for a stream fed by a complex graph.
std::vector<std::string> ToolMapping(const std::string &log);
// The same text for our output stream.
std::string OurMapping(const TOutputStream &ost);
