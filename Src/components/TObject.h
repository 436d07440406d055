// Minimal object model shared by the media components: a class name for log lines and, for
// components, a component name.
#pragma once

#include <string>

class TComponent;

class TObject {
public:
  virtual ~TObject() = default;
  virtual std::string ClassName() const = 0;
  // The component an object reports on behalf of in log lines (a task engine: its encoder);
  // null for none.
  virtual const TComponent *ParentComponent() const { return nullptr; }
  // Each line at error level or above (fatal, panic) that this object logs, or that the
  // libraries log on a thread it receives them for (SetThreadErrorReceiver; ALibrary true, the
  // line without its "[name @ 0x...]" prefix), whether or not a log sink takes it.
  virtual void ErrorLogged(const std::string &, bool /*ALibrary*/) const {}
};

class TComponent : public TObject {
public:
  std::string Name;
};
