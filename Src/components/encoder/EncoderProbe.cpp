#include "components/encoder/EncoderProbe.h"

#include "transcode/common/FFOwners.h"

namespace {

using TBuffer = TBufferRefPtr;

// The device kind an encoder's name ends in.
AVHWDeviceType DeviceTypeOf(const std::string &AName) {
  const auto EndsWith = [&](const char *ASuffix) { return AName.ends_with(ASuffix); };
  if (EndsWith("_vaapi"))
    return AV_HWDEVICE_TYPE_VAAPI;
  if (EndsWith("_nvenc"))
    return AV_HWDEVICE_TYPE_CUDA;
  if (EndsWith("_qsv"))
    return AV_HWDEVICE_TYPE_QSV;
  return AV_HWDEVICE_TYPE_NONE;
}

// VAAPI encoders take only pictures in the device's memory: a small pool of NV12 surfaces.
TBuffer VaapiFrames(AVBufferRef *ADevice, const AVCodecContext &AContext) {
  TBuffer Frames(ff::av_hwframe_ctx_alloc(ADevice));
  if (!Frames)
    return nullptr;
  auto *Pool = reinterpret_cast<AVHWFramesContext *>(Frames->data);
  Pool->format = AV_PIX_FMT_VAAPI;
  Pool->sw_format = AV_PIX_FMT_NV12;
  Pool->width = AContext.width;
  Pool->height = AContext.height;
  Pool->initial_pool_size = 4;
  return ff::av_hwframe_ctx_init(Frames.get()) >= 0 ? std::move(Frames) : nullptr;
}

bool OpensOnDevice(const AVCodec *ACodec, AVHWDeviceType AType) {
  AVBufferRef *Created = nullptr;
  if (ff::av_hwdevice_ctx_create(&Created, AType, nullptr, nullptr, 0) < 0)
    return false;
  const TBuffer Device(Created);
  const TCodecContextPtr Context(ff::avcodec_alloc_context3(ACodec));
  if (!Context)
    return false;
  Context->width = 320;
  Context->height = 240;
  Context->time_base = {1, 25};
  Context->framerate = {25, 1};
  if (AType == AV_HWDEVICE_TYPE_VAAPI) {
    Context->pix_fmt = AV_PIX_FMT_VAAPI;
    TBuffer Frames = VaapiFrames(Device.get(), *Context);
    if (!Frames)
      return false;
    Context->hw_frames_ctx = Frames.release();
  } else {
    Context->pix_fmt = AV_PIX_FMT_NV12;
    Context->hw_device_ctx = ff::av_buffer_ref(Device.get());
  }
  return ff::avcodec_open2(Context.get(), ACodec, nullptr) >= 0;
}

} // namespace

bool HasEncoder(const std::string &AName) {
  return ff::avcodec_find_encoder_by_name && ff::avcodec_find_encoder_by_name(AName.c_str());
}

std::vector<std::string> OpenableHardwareEncoders(const std::vector<std::string> &ANames) {
  std::vector<std::string> Openable;
  if (!ff::avcodec_find_encoder_by_name || !ff::av_hwdevice_ctx_create)
    return Openable;
  for (const std::string &Name : ANames) {
    const AVHWDeviceType Type = DeviceTypeOf(Name);
    const AVCodec *Codec = ff::avcodec_find_encoder_by_name(Name.c_str());
    if (Type != AV_HWDEVICE_TYPE_NONE && Codec && OpensOnDevice(Codec, Type))
      Openable.push_back(Name);
  }
  return Openable;
}
