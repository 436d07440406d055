// The one door to FFmpeg. Every FFmpeg header the project uses comes in here, and every
// library function is called through a process-wide pointer `ff::name` that the loader
// (TFFLoader) binds with dlsym. The pointers are typed from FFmpeg's own declarations, so each
// call is checked by the compiler; the libraries themselves are never linked.
// A pointer is null while its library is not bound.
#pragma once

#ifndef __STDC_CONSTANT_MACROS
#define __STDC_CONSTANT_MACROS
#endif

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/avfft.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/avstring.h>
#include <libavutil/avutil.h>
#include <libavutil/bprint.h>
#include <libavutil/buffer.h>
#include <libavutil/channel_layout.h>
#include <libavutil/cpu.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/error.h>
#include <libavutil/eval.h>
#include <libavutil/fifo.h>
#include <libavutil/frame.h>
#include <libavutil/hwcontext.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/rational.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>

// Exported by libavformat but not declared in its public headers.
void avpriv_set_pts_info(AVStream *st, int pts_wrap_bits, unsigned int pts_num,
                         unsigned int pts_den);
}

#include <cstdarg>
#include <cstdio>

#include "components/FFFunctionList.h"

// Some bound functions are deprecated in 5.1; binding them is still wanted.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace ff {
#define QUILLET_FF_DECLARE(name) inline decltype(&::name) name = nullptr;
QUILLET_FF_AVUTIL_FUNCTIONS(QUILLET_FF_DECLARE)
QUILLET_FF_SWSCALE_FUNCTIONS(QUILLET_FF_DECLARE)
QUILLET_FF_SWRESAMPLE_FUNCTIONS(QUILLET_FF_DECLARE)
QUILLET_FF_AVCODEC_FUNCTIONS(QUILLET_FF_DECLARE)
QUILLET_FF_AVFORMAT_FUNCTIONS(QUILLET_FF_DECLARE)
QUILLET_FF_AVFILTER_FUNCTIONS(QUILLET_FF_DECLARE)
QUILLET_FF_AVDEVICE_FUNCTIONS(QUILLET_FF_DECLARE)
#undef QUILLET_FF_DECLARE
} // namespace ff

#pragma GCC diagnostic pop

// The C runtime functions of the myUtil library, bound from libc by name. The Windows runtime
// names _snprintf, _vsnprintf and _wfopen map to snprintf, vsnprintf and fopen here.
namespace crt {
inline int (*atoi)(const char *) = nullptr;
inline int (*fclose)(FILE *) = nullptr;
inline int (*ferror)(FILE *) = nullptr;
inline FILE *(*fopen)(const char *, const char *) = nullptr;
inline int (*fprintf)(FILE *, const char *, ...) = nullptr;
inline size_t (*fread)(void *, size_t, size_t, FILE *) = nullptr;
inline int (*fseek)(FILE *, long, int) = nullptr;
inline long (*ftell)(FILE *) = nullptr;
inline size_t (*fwrite)(const void *, size_t, size_t, FILE *) = nullptr;
inline int (*snprintf)(char *, size_t, const char *, ...) = nullptr;
inline int (*sscanf)(const char *, const char *, ...) = nullptr;
inline char *(*strchr)(const char *, int) = nullptr;
inline int (*strcmp)(const char *, const char *) = nullptr;
inline size_t (*strcspn)(const char *, const char *) = nullptr;
inline int (*strncmp)(const char *, const char *, size_t) = nullptr;
inline char *(*strrchr)(const char *, int) = nullptr;
inline char *(*strstr)(const char *, const char *) = nullptr;
inline double (*strtod)(const char *, char **) = nullptr;
inline char *(*strtok)(char *, const char *) = nullptr;
inline long (*strtol)(const char *, char **, int) = nullptr;
inline int (*vsprintf)(char *, const char *, va_list) = nullptr;
inline int (*vsnprintf)(char *, size_t, const char *, va_list) = nullptr;
inline FILE *(*wfopen)(const char *, const char *) = nullptr;
} // namespace crt
