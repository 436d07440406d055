#include "transcode/HWDecoding.h"

#include "transcode/TInputFile.h"

namespace {

const char *TypeName(AVHWDeviceType type) {
  return ff::av_hwdevice_get_type_name(type);
}

// Copies a frame held by the device into memory in -hwaccel_output_format (none: the device's
// first transfer format); the frame keeps its properties.
int hwaccel_retrieve_data(AVCodecContext *avctx, AVFrame *input) {
  const TInputStream &ist = *static_cast<const TInputStream *>(avctx->opaque);
  if (input->format == ist.hwaccel_output_format)
    return 0;
  TFramePtr output(ff::av_frame_alloc());
  if (!output)
    return AVERROR(ENOMEM);
  output->format = ist.hwaccel_output_format;
  int err = ff::av_hwframe_transfer_data(output.get(), input, 0);
  if (err < 0) {
    ff::av_log(avctx, AV_LOG_ERROR, "Failed to transfer data to output frame: %d.\n", err);
    return err;
  }
  err = ff::av_frame_copy_props(output.get(), input);
  if (err < 0)
    return err;
  ff::av_frame_unref(input);
  ff::av_frame_move_ref(input, output.get());
  return 0;
}

// "auto": an existing device of a type the decoder supports, else a new one of the first type
// that can be made. Null when there is none.
THWDevicePtr AutoDevice(TInputStream &ist, AVHWDeviceType &type) {
  const AVCodec *dec = ist.avdec;
  for (int i = 0; const AVCodecHWConfig *config = ff::avcodec_get_hw_config(dec, i); i++) {
    type = config->device_type;
    if (THWDevicePtr dev = HWDeviceGetByType(type)) {
      ff::av_log(nullptr, AV_LOG_INFO, "Using auto hwaccel type %s with existing device %s.\n",
                 TypeName(type), dev->name.c_str());
      return dev;
    }
  }
  for (int i = 0; const AVCodecHWConfig *config = ff::avcodec_get_hw_config(dec, i); i++) {
    type = config->device_type;
    THWDevicePtr dev;
    if (HWDeviceInitFromType(type, ist.hwaccel_device, &dev) < 0)
      continue; // no device of this type here
    if (ist.hwaccel_device.empty())
      ff::av_log(nullptr, AV_LOG_INFO, "Using auto hwaccel type %s with new default device.\n",
                 TypeName(type));
    else
      ff::av_log(nullptr, AV_LOG_INFO,
                 "Using auto hwaccel type %s with new device created from %s.\n", TypeName(type),
                 ist.hwaccel_device.c_str());
    return dev;
  }
  return nullptr;
}

} // namespace

int hw_device_setup_for_decode(TInputStream &ist, std::vector<THWDevicePtr> &taskDevices) {
  AVCodecContext *dec = ist.dec_ctx.get();
  AVHWDeviceType type = ist.hwaccel_device_type;
  THWDevicePtr dev;
  int err = 0;
  bool autoDevice = false;
  if (!ist.hwaccel_device.empty()) {
    dev = HWDeviceGetByName(ist.hwaccel_device);
    if (!dev) {
      if (ist.hwaccel_id == HWACCEL_AUTO)
        autoDevice = true;
      else if (ist.hwaccel_id == HWACCEL_GENERIC)
        err = HWDeviceInitFromType(type, ist.hwaccel_device, &dev);
      else
        return 0; // no hardware decoding asked for
    } else if (ist.hwaccel_id == HWACCEL_AUTO) {
      ist.hwaccel_device_type = dev->type_;
    } else if (ist.hwaccel_device_type != dev->type_) {
      ff::av_log(dec, AV_LOG_ERROR,
                 "Invalid hwaccel device specified for decoder: device %s of type %s is not "
                 "usable with hwaccel %s.\n",
                 dev->name.c_str(), TypeName(dev->type_), TypeName(ist.hwaccel_device_type));
      return AVERROR(EINVAL);
    }
  } else if (ist.hwaccel_id == HWACCEL_AUTO) {
    autoDevice = true;
  } else if (ist.hwaccel_id == HWACCEL_GENERIC) {
    dev = HWDeviceGetByType(type);
    // -qsv_device makes an internal device of this name; -init_hw_device may add another.
    if (!dev && type == AV_HWDEVICE_TYPE_QSV)
      dev = HWDeviceGetByName("__qsv_device");
    if (!dev)
      err = HWDeviceInitFromType(type, std::string(), &dev);
  } else {
    // Without -hwaccel a decoder that can use an existing device gets it.
    dev = HWDeviceMatchByCodec(ist.avdec);
    if (!dev)
      return 0;
  }

  if (autoDevice) {
    if (!ff::avcodec_get_hw_config(ist.avdec, 0))
      return 0; // the decoder supports no device
    dev = AutoDevice(ist, type);
    if (!dev) {
      ff::av_log(dec, AV_LOG_INFO, "Auto hwaccel disabled: no device found.\n");
      ist.hwaccel_id = HWACCEL_NONE;
      return 0;
    }
    ist.hwaccel_device_type = type;
  }
  if (!dev) {
    ff::av_log(dec, AV_LOG_ERROR,
               "No device available for decoder: device type %s needed for codec %s.\n",
               TypeName(type), ist.avdec->name);
    return err;
  }
  dec->hw_device_ctx = ff::av_buffer_ref(dev->device_ref.get());
  if (!dec->hw_device_ctx)
    return AVERROR(ENOMEM);
  taskDevices.push_back(std::move(dev));
  return 0;
}

AVPixelFormat get_format(AVCodecContext *s, const AVPixelFormat *pix_fmts) {
  TInputStream &ist = *static_cast<TInputStream *>(s->opaque);
  const AVPixelFormat *p = pix_fmts;
  for (; *p != AV_PIX_FMT_NONE; p++) {
    const AVPixFmtDescriptor *desc = ff::av_pix_fmt_desc_get(*p);
    if (!(desc->flags & AV_PIX_FMT_FLAG_HWACCEL))
      break; // the first software format
    if (ist.hwaccel_id != HWACCEL_GENERIC && ist.hwaccel_id != HWACCEL_AUTO)
      continue;
    const AVCodecHWConfig *config = nullptr;
    for (int i = 0; (config = ff::avcodec_get_hw_config(s->codec, i)); i++)
      if ((config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX) && config->pix_fmt == *p)
        break;
    if (config && config->device_type == ist.hwaccel_device_type) {
      ist.hwaccel_retrieve_data = hwaccel_retrieve_data;
      ist.hwaccel_pix_fmt = *p;
      break;
    }
  }
  return *p;
}
