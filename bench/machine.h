// What the benchmarks print about the machine they ran on (Linux; other
// systems get "unknown").
#pragma once

#include <cstdio>
#include <fstream>
#include <string>

namespace pt::bench {

// The one-minute load average: on a shared machine, how busy the others were.
inline std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double one = 0;
  if (!(in >> one)) return "unknown";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", one);
  return text;
}

inline std::string CpuModel() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown processor";
}

}  // namespace pt::bench
