// The process-wide list of named hardware devices. -init_hw_device, -qsv_device and automatic
// hardware decoding add to it; every task's transcode loop empties it at its end.
// Main thread and the task threads in turn (never concurrently: a lock guards the list).
#pragma once

#include <string>

#include "components/FFAPI.h"
#include "transcode/TInputFile.h" // THWDevice

// Device of that name, or null.
THWDevice *HWDeviceGetByName(const std::string &name);
// The one device of that type; null when there is none or more than one.
THWDevice *HWDeviceGetByType(AVHWDeviceType type);
// The device added last (filters use it unless -filter_hw_device names one), or null; count
// receives the number of devices.
THWDevice *HWDeviceLast(int &count);
// Creates a device from "type[=name][:device[,key=value...]]", "type[=name]@source" or
// "type[=name],key=value..."; AVERROR code on failure (logged). ADev receives the new device.
int HWDeviceInitFromString(const std::string &arg, THWDevice **ADev);
// Creates a device of that type from the device text (empty: the type's default device), named
// after the type ("vaapi0"); AVERROR code on failure (logged). ADev receives the new device.
int HWDeviceInitFromType(AVHWDeviceType type, const std::string &device, THWDevice **ADev);
// The first device type the codec can use through a device context of which the list holds
// exactly one device: that device; else null.
THWDevice *HWDeviceMatchByCodec(const AVCodec *codec);
// Releases every device and empties the list.
void HWDeviceUninitAll();
