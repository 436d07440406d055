// TOutputNamer: the output names of a batch. A name pattern with {name} (the input's name
// without its extension), {ext} (its extension, without the dot) and {dir} (the name of its
// folder) gives each input its output in one folder; an output already given in this batch, or
// one that is an input of the batch, is numbered instead: "clip (2).avi", "clip (3).avi".
#pragma once

#include <set>
#include <string>
#include <vector>

class TOutputNamer {
public:
  TOutputNamer(std::string AFolder, std::string APattern, const std::vector<std::string> &AInputs);
  // The output of AInput; each call takes a name no earlier call took.
  std::string Next(const std::string &AInput);

  // The pattern filled in for AInput.
  static std::string Expand(const std::string &APattern, const std::string &AInput);

private:
  bool Taken(const std::string &APath) const;

  std::string FFolder;
  std::string FPattern;
  std::set<std::string> FInputs; // absolute, normal form
  std::set<std::string> FGiven;
};
