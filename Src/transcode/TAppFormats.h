// Container formats the application defines itself, registered after the libraries are loaded.
// -f looks a name up here first, then among the library's formats. Registering the first
// format also installs the application's format context class (TFFOptions::
// ApplicationFormatClass), which offers the registered formats' private options as children so
// that option texts can set them. Process-wide; main thread only. The formats must outlive
// every engine that may use them (static objects in practice).
#pragma once

#include <string>

#include "components/FFAPI.h"

// A format already in the list is not added again.
void RegisterInputFormat(const AVInputFormat *fmt);
void RegisterOutputFormat(const AVOutputFormat *fmt);

// The registered format of that name, or null.
const AVInputFormat *FindAppInputFormat(const std::string &name);
const AVOutputFormat *FindAppOutputFormat(const std::string &name);

// The application's format context class (null until a format is registered).
const AVClass *AppFormatContextClass();
