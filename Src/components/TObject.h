// Minimal object model shared by the media components: a class name for log lines and, for
// components, a component name.
#pragma once

#include <string>

class TObject {
public:
  virtual ~TObject() = default;
  virtual std::string ClassName() const = 0;
};

class TComponent : public TObject {
public:
  std::string Name;
};
