#include "transcode/HWDevices.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace {

std::mutex GLock;
std::vector<THWDevicePtr> GDevices;

THWDevicePtr FindByName(const std::string &name) {
  for (auto &d : GDevices)
    if (d->name == name)
      return d;
  return nullptr;
}

// The type's name followed by the first number from 0 to 999 that no device has; empty when all
// are taken. GLock held.
std::string DefaultName(const std::string &typeName) {
  for (int i = 0; i < 1000; ++i)
    if (!FindByName(typeName + std::to_string(i)))
      return typeName + std::to_string(i);
  return std::string();
}

// GLock held.
THWDevicePtr AddDevice(const std::string &name, AVHWDeviceType type, AVBufferRef *ref) {
  auto dev = std::make_shared<THWDevice>();
  dev->name = name;
  dev->type_ = type;
  dev->device_ref.reset(ref);
  GDevices.push_back(dev);
  return dev;
}

int CreationFailed(int err) {
  ff::av_log(nullptr, AV_LOG_ERROR, "Device creation failed: %d.\n", err);
  return err;
}

int InvalidSpec(const std::string &arg, const char *why) {
  ff::av_log(nullptr, AV_LOG_ERROR, "Invalid device specification \"%s\": %s\n", arg.c_str(), why);
  return AVERROR(EINVAL);
}

} // namespace

THWDevicePtr HWDeviceGetByName(const std::string &name) {
  std::lock_guard<std::mutex> lock(GLock);
  return FindByName(name);
}

THWDevicePtr HWDeviceGetByType(AVHWDeviceType type) {
  std::lock_guard<std::mutex> lock(GLock);
  THWDevicePtr found;
  for (auto &d : GDevices)
    if (d->type_ == type) {
      if (found)
        return nullptr;
      found = d;
    }
  return found;
}

THWDevicePtr HWDeviceLast(int &count, const std::vector<THWDevicePtr> &held) {
  std::lock_guard<std::mutex> lock(GLock);
  count = int(GDevices.size());
  for (auto d = GDevices.rbegin(); d != GDevices.rend(); ++d)
    if (std::find(held.begin(), held.end(), *d) != held.end())
      return *d;
  return GDevices.empty() ? nullptr : GDevices.back();
}

int HWDeviceInitFromString(const std::string &arg, THWDevicePtr *ADev) {
  std::lock_guard<std::mutex> lock(GLock);
  size_t k = arg.find_first_of(":=@,");
  const std::string typeName = arg.substr(0, k);
  AVHWDeviceType type = ff::av_hwdevice_find_type_by_name(typeName.c_str());
  if (type == AV_HWDEVICE_TYPE_NONE)
    return InvalidSpec(arg, "unknown device type");
  std::string rest = k == std::string::npos ? std::string() : arg.substr(k);

  std::string name;
  if (!rest.empty() && rest[0] == '=') {
    size_t e = rest.find_first_of(":@,", 1);
    name = rest.substr(1, e == std::string::npos ? std::string::npos : e - 1);
    if (name.empty())
      return InvalidSpec(arg, "parse error");
    if (FindByName(name))
      return InvalidSpec(arg, "named device already exists");
    rest = e == std::string::npos ? std::string() : rest.substr(e);
  } else {
    name = DefaultName(typeName);
    if (name.empty())
      return InvalidSpec(arg, "parse error");
  }

  AVBufferRef *ref = nullptr;
  AVDictionary *options = nullptr;
  int err;
  if (rest.empty())
    err = ff::av_hwdevice_ctx_create(&ref, type, nullptr, nullptr, 0);
  else if (rest[0] == ':' || rest[0] == ',') {
    size_t comma = rest[0] == ',' ? 0 : rest.find(',');
    std::string device =
        rest[0] == ':' ? rest.substr(1, comma == std::string::npos ? std::string::npos : comma - 1)
                       : std::string();
    if (comma != std::string::npos &&
        ff::av_dict_parse_string(&options, rest.c_str() + comma + 1, "=", ",", 0) < 0) {
      ff::av_dict_free(&options);
      return InvalidSpec(arg, "failed to parse options");
    }
    err = ff::av_hwdevice_ctx_create(&ref, type, device.empty() ? nullptr : device.c_str(), options,
                                     0);
    ff::av_dict_free(&options);
  } else if (rest[0] == '@') {
    THWDevicePtr src = FindByName(rest.substr(1));
    if (!src)
      return InvalidSpec(arg, "invalid source device name");
    err = ff::av_hwdevice_ctx_create_derived(&ref, type, src->device_ref.get(), 0);
  } else
    return InvalidSpec(arg, "parse error");
  if (err < 0)
    return CreationFailed(err);
  THWDevicePtr dev = AddDevice(name, type, ref);
  if (ADev)
    *ADev = dev;
  return 0;
}

int HWDeviceInitFromType(AVHWDeviceType type, const std::string &device, THWDevicePtr *ADev) {
  std::lock_guard<std::mutex> lock(GLock);
  const std::string name = DefaultName(ff::av_hwdevice_get_type_name(type));
  if (name.empty())
    return AVERROR(ENOMEM);
  AVBufferRef *ref = nullptr;
  const int err =
      ff::av_hwdevice_ctx_create(&ref, type, device.empty() ? nullptr : device.c_str(), nullptr, 0);
  if (err < 0)
    return CreationFailed(err);
  THWDevicePtr dev = AddDevice(name, type, ref);
  if (ADev)
    *ADev = dev;
  return 0;
}

THWDevicePtr HWDeviceMatchByCodec(const AVCodec *codec) {
  for (int i = 0;; i++) {
    const AVCodecHWConfig *config = ff::avcodec_get_hw_config(codec, i);
    if (!config)
      return nullptr;
    if (!(config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX))
      continue;
    if (THWDevicePtr dev = HWDeviceGetByType(config->device_type))
      return dev;
  }
}

// A task takes its references only from the list under the lock (or copies one it holds), so a
// device the list alone holds cannot gain a user while it is being released.
void HWDeviceUninitAll() {
  std::vector<THWDevicePtr> released; // freed after the lock is left
  std::lock_guard<std::mutex> lock(GLock);
  for (auto it = GDevices.begin(); it != GDevices.end();)
    if (it->use_count() == 1) {
      released.push_back(std::move(*it));
      it = GDevices.erase(it);
    } else
      ++it;
}
