#include "IsoImageReader.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include <libisofs/libisofs.h>

namespace {

std::string ReadStream(IsoStream *Stream) {
  std::string data;
  if (iso_stream_open(Stream) < 0)
    return data;
  std::vector<char> buffer(65536);
  for (int n; (n = iso_stream_read(Stream, buffer.data(), buffer.size())) > 0;)
    data.append(buffer.data(), size_t(n));
  iso_stream_close(Stream);
  return data;
}

void ReadRoot(IsoImage *Image, bool ReadContents, TIsoImage &Result) {
  IsoDirIter *iter = nullptr;
  if (iso_dir_get_children(iso_image_get_root(Image), &iter) < 0)
    return;
  IsoNode *node = nullptr;
  while (iso_dir_iter_next(iter, &node) == 1) {
    if (!ISO_NODE_IS_FILE(node))
      continue;
    IsoStream *stream = iso_file_get_stream(reinterpret_cast<IsoFile *>(node));
    TIsoFile &file = Result.Files[iso_node_get_name(node)];
    file.Size = iso_stream_get_size(stream);
    if (ReadContents)
      file.Contents = ReadStream(stream);
  }
  iso_dir_iter_free(iter);
}

} // namespace

TIsoImage ReadIsoImage(const std::string &Path, TIsoNames Names, bool ReadContents) {
  TIsoImage result;
  static const int init = iso_init();
  if (init < 0)
    return result.Error = "iso_init failed", result;
  IsoDataSource *source = nullptr;
  if (int r = iso_data_source_new_from_file(Path.c_str(), &source); r < 0)
    return result.Error = iso_error_to_msg(r), result;
  IsoReadOpts *options = nullptr;
  iso_read_opts_new(&options, 0);
  if (Names == TIsoNames::Joliet) {
    iso_read_opts_set_no_rockridge(options, 1);
    iso_read_opts_set_preferjoliet(options, 1);
  }
  IsoImage *image = nullptr;
  iso_image_new("", &image);
  const int r = iso_image_import(image, source, options, nullptr);
  iso_read_opts_free(options);
  iso_data_source_unref(source);
  if (r < 0) {
    result.Error = iso_error_to_msg(r);
  } else {
    result.Ok = true;
    result.VolumeId = iso_image_get_volume_id(image) ? iso_image_get_volume_id(image) : "";
    const char *app = iso_image_get_application_id(image);
    result.ApplicationId = app ? app : "";
    ReadRoot(image, ReadContents, result);
  }
  iso_image_unref(image);
  return result;
}

std::string FileContents(const std::string &Path) {
  std::ifstream in(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
