// The process-wide list of named hardware devices. -init_hw_device, -qsv_device and automatic
// hardware decoding add to it; the end of every task releases it.
//
// Threads: the main thread (parsing) and the task threads use it at the same time; a lock
// guards the list. Tasks that convert at once share it, so a device is shared: the list and
// every task that created or looked up a device hold a reference, and the end of a task drops
// from the list only the devices no other task holds. The device context itself is freed with
// the last reference (decoders and filters hold their own references to the library's buffer).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/FFAPI.h"
#include "transcode/TInputFile.h" // THWDevice

using THWDevicePtr = std::shared_ptr<THWDevice>;

// Device of that name, or null.
THWDevicePtr HWDeviceGetByName(const std::string &name);
// The one device of that type; null when there is none or more than one.
THWDevicePtr HWDeviceGetByType(AVHWDeviceType type);
// The device added last (filters use it unless -filter_hw_device names one), or null; count
// receives the number of devices. Among several, the last one a task holds (held) comes first,
// so that a task's filters never get a device another task made.
THWDevicePtr HWDeviceLast(int &count, const std::vector<THWDevicePtr> &held = {});
// Creates a device from "type[=name][:device[,key=value...]]", "type[=name]@source" or
// "type[=name],key=value..."; AVERROR code on failure (logged). ADev receives the new device.
int HWDeviceInitFromString(const std::string &arg, THWDevicePtr *ADev);
// Creates a device of that type from the device text (empty: the type's default device), named
// after the type ("vaapi0"); AVERROR code on failure (logged). ADev receives the new device.
int HWDeviceInitFromType(AVHWDeviceType type, const std::string &device, THWDevicePtr *ADev);
// The first device type the codec can use through a device context of which the list holds
// exactly one device: that device; else null.
THWDevicePtr HWDeviceMatchByCodec(const AVCodec *codec);
// Releases the list's reference to every device that no task holds any more and removes it from
// the list. With no other task running, the list is empty afterwards.
void HWDeviceUninitAll();
