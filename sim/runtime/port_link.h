// A symbolic link that names the simulator's port for as long as it runs.
#pragma once

#include <string>

namespace sim {

class PortLink {
 public:
  // Makes `link_path` a symbolic link to `target`. An existing symbolic link
  // there is replaced atomically (a new link under a temporary name is renamed
  // over it), so a reader never finds the path missing or half made; any other
  // kind of file there is left alone and reported.
  PortLink(std::string link_path, std::string target);
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  // Removes the link, unless someone has since pointed it elsewhere.
  ~PortLink();

 private:
  std::string link_path_;
  std::string target_;
};

}  // namespace sim
