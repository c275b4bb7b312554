// For the programs that host the plug-ins: a library path as the platform
// wants it. Under Wine a Unix path is reachable through drive Z:.
#pragma once

#include <string>

inline std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char &c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}
