#include "transcode/TAppFormats.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "transcode/common/TFFOptions.h"

namespace {

std::vector<const AVInputFormat *> &Inputs() {
  static std::vector<const AVInputFormat *> list;
  return list;
}

std::vector<const AVOutputFormat *> &Outputs() {
  static std::vector<const AVOutputFormat *> list;
  return list;
}

// The private classes of the registered formats, inputs first; iter counts the calls.
const AVClass *ChildClassIterate(void **iter) {
  uintptr_t i = reinterpret_cast<uintptr_t>(*iter);
  const AVClass *found = nullptr;
  while (!found) {
    if (i < Inputs().size())
      found = Inputs()[i]->priv_class;
    else if (i < Inputs().size() + Outputs().size())
      found = Outputs()[i - Inputs().size()]->priv_class;
    else
      break;
    i++;
  }
  *iter = reinterpret_cast<void *>(i);
  return found;
}

AVClass &ContextClass() {
  static AVClass cls = [] {
    AVClass c = *ff::avformat_get_class(); // same options and instance children
    c.child_class_iterate = ChildClassIterate;
    return c;
  }();
  return cls;
}

void Install() {
  TFFOptions::ApplicationFormatClass = &ContextClass();
}

} // namespace

void RegisterInputFormat(const AVInputFormat *fmt) {
  auto &list = Inputs();
  if (fmt && std::find(list.begin(), list.end(), fmt) == list.end())
    list.push_back(fmt);
  Install();
}

void RegisterOutputFormat(const AVOutputFormat *fmt) {
  auto &list = Outputs();
  if (fmt && std::find(list.begin(), list.end(), fmt) == list.end())
    list.push_back(fmt);
  Install();
}

const AVInputFormat *FindAppInputFormat(const std::string &name) {
  for (const AVInputFormat *f : Inputs())
    if (name == f->name)
      return f;
  return nullptr;
}

const AVOutputFormat *FindAppOutputFormat(const std::string &name) {
  for (const AVOutputFormat *f : Outputs())
    if (name == f->name)
      return f;
  return nullptr;
}

const AVClass *AppFormatContextClass() {
  return TFFOptions::ApplicationFormatClass;
}
