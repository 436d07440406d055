// Hardware decoding (-hwaccel, -hwaccel_device, -hwaccel_output_format): the device a decoder
// gets before it is opened, the pixel format chosen among those the decoder offers, and decoded
// frames copied from the device into memory. Task thread (the decoder calls get_format on it).
#pragma once

#include <vector>

#include "components/FFAPI.h"
#include "transcode/HWDevices.h"

struct TInputStream;

// Gives the stream's decoder context the hardware device that -hwaccel asks for: the device
// named by -hwaccel_device, the one device of the type, or a new one; with "auto" the first
// device type the decoder supports that exists or can be made, else software decoding. An
// AVERROR code (logged) when a requested device cannot be had. The device used is added to
// taskDevices, the task's own references.
int hw_device_setup_for_decode(TInputStream &ist, std::vector<THWDevicePtr> &taskDevices);
// The decoder's get_format callback (opaque: the input stream): the first hardware format of
// the chosen device type among the offers, else the first software format.
AVPixelFormat get_format(AVCodecContext *s, const AVPixelFormat *pix_fmts);
