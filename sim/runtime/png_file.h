// The display's picture (sim/model/display_picture.h) as a PNG file.
#pragma once

#include <string>
#include <utility>

#include "sim/model/display_picture.h"
#include "sim/runtime/output_files.h"

namespace sim {

// The PNG encoding of `picture` (8-bit RGB), made by libpng. Throws
// std::runtime_error with libpng's message if it cannot encode.
std::string encode_png(const Picture& picture);

// Rewrites the file whole with each picture, so a reader always finds one
// complete image.
class PngFile {
 public:
  explicit PngFile(std::string path) : file_(std::move(path)) {}
  void write(const Picture& picture) { file_.write(encode_png(picture)); }

 private:
  WholeFile file_;
};

}  // namespace sim
