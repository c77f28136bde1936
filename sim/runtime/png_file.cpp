#include "sim/runtime/png_file.h"

#include <png.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace sim {
namespace {

// libpng's simplified interface: errors come back as a zero result and a
// message in the image, never as a long jump through this code.
class PngImage {
 public:
  explicit PngImage(const Picture& picture) {
    image_.version = PNG_IMAGE_VERSION;
    image_.width = static_cast<png_uint_32>(picture.width);
    image_.height = static_cast<png_uint_32>(picture.height);
    image_.format = PNG_FORMAT_RGB;
  }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;
  ~PngImage() { png_image_free(&image_); }

  png_image* get() { return &image_; }

  [[noreturn]] void fail() const {
    throw std::runtime_error(std::string("cannot encode the picture as PNG: ") + image_.message);
  }

 private:
  png_image image_{};
};

}  // namespace

std::string encode_png(const Picture& picture) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(picture.pixels.size() * 3);
  for (const Colour& pixel : picture.pixels) rgb.insert(rgb.end(), {pixel.red, pixel.green, pixel.blue});

  PngImage image(picture);
  // png_image_write_to_memory() returns non-zero on success; with no memory
  // it only sets the size the encoding needs.
  png_alloc_size_t size = 0;
  if (png_image_write_to_memory(image.get(), nullptr, &size, 0, rgb.data(), 0, nullptr) == 0) image.fail();
  std::string encoded(size, '\0');
  if (png_image_write_to_memory(image.get(), encoded.data(), &size, 0, rgb.data(), 0, nullptr) == 0)
    image.fail();
  encoded.resize(size);
  return encoded;
}

}  // namespace sim
