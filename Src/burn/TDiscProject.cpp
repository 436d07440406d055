#include "burn/TDiscProject.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

// Without libburn.h here: libisofs then declares libburn's struct burn_source itself.
#define LIBISOFS_WITHOUT_LIBBURN 1
#include <libisofs/libisofs.h>

namespace {

bool SameName(const std::string &A, const std::string &B) {
  return std::equal(A.begin(), A.end(), B.begin(), B.end(), [](unsigned char a, unsigned char b) {
    return std::tolower(a) == std::tolower(b);
  });
}

// "name (n).ext"; a leading dot is part of the name, not an extension.
std::string NumberedName(const std::string &Name, int n) {
  const size_t dot = Name.rfind('.');
  const size_t cut = (dot == std::string::npos || dot == 0) ? Name.size() : dot;
  return Name.substr(0, cut) + " (" + std::to_string(n) + ")" + Name.substr(cut);
}

// libisofs is set up once per process and stays up until the process ends.
int IsoLibrary() {
  static const int state = iso_init();
  return state;
}

// The write options of every disc: ISO level 3 with Rock Ridge and long Joliet names.
int NewWriteOptions(IsoWriteOpts **Options) {
  int r = iso_write_opts_new(Options, 0);
  if (r < 0)
    return r;
  for (int step :
       {iso_write_opts_set_iso_level(*Options, 3), iso_write_opts_set_rockridge(*Options, 1),
        iso_write_opts_set_joliet(*Options, 1), iso_write_opts_set_joliet_longer_paths(*Options, 1),
        iso_write_opts_set_joliet_long_names(*Options, 1),
        // the label as typed, not cut down to ISO 9660's upper-case d-characters
        iso_write_opts_set_relaxed_vol_atts(*Options, 1)})
    if (step < 0) {
      iso_write_opts_free(*Options);
      return step;
    }
  return 0;
}

} // namespace

bool TDiscProject::NameTaken(const std::string &Name) const {
  return std::any_of(FFiles.begin(), FFiles.end(),
                     [&](const TDiscFile &f) { return SameName(f.Name, Name); });
}

std::string TDiscProject::UniqueName(const std::string &Name) const {
  std::string candidate = Name;
  for (int n = 2; NameTaken(candidate); ++n)
    candidate = NumberedName(Name, n);
  return candidate;
}

std::string TDiscProject::Add(const std::string &SourcePath, const std::string &Name) {
  FFiles.push_back({SourcePath, UniqueName(Name)});
  return FFiles.back().Name;
}

int64_t TDiscProject::Size() const {
  int64_t total = 0;
  for (const TDiscFile &f : FFiles) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(f.SourcePath, ec);
    if (!ec)
      total += int64_t(size);
  }
  return total;
}

int TDiscProject::CreateImage(const std::string &VolumeLabel, burn_source **Source,
                              std::vector<std::string> &LeftOut) const {
  *Source = nullptr;
  LeftOut.clear();
  if (IsoLibrary() < 0)
    return IsoLibrary();
  IsoImage *raw = nullptr;
  int r = iso_image_new(VolumeLabel.c_str(), &raw);
  if (r < 0)
    return r;
  std::unique_ptr<IsoImage, decltype(&iso_image_unref)> image(raw, iso_image_unref);
  iso_image_set_application_id(raw, ApplicationId);
  iso_tree_set_follow_symlinks(raw, 1);
  for (const TDiscFile &f : FFiles) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(f.SourcePath, ec)) {
      LeftOut.push_back(f.SourcePath);
      continue;
    }
    r = iso_tree_add_new_node(raw, iso_image_get_root(raw), f.Name.c_str(), f.SourcePath.c_str(),
                              nullptr);
    if (r < 0)
      return r;
  }
  IsoWriteOpts *options = nullptr;
  if ((r = NewWriteOptions(&options)) < 0)
    return r;
  r = iso_image_create_burn_source(raw, options, Source);
  iso_write_opts_free(options);
  return r < 0 ? r : 0;
}

std::string TDiscProject::ErrorText(int Code) {
  return iso_error_to_msg(Code);
}
