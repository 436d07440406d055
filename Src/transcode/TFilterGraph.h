// A complex filter graph of a task as created by -filter_complex, -lavfi and
// -filter_complex_script: its index and description. The graph's pads and the libavfilter
// graph are added by the filter-graph code.
#pragma once

#include <string>

struct TFilterGraph {
  int index = 0;
  std::string graph_desc;
};
