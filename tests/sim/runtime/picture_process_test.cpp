// The simulator's PNG picture of the display, read back with libpng.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/posix/unique_fd.h"
#include "sim/model/display_picture.h"
#include "tests/support/simulator_process.h"
#include "tests/support/temp_directory.h"

namespace {

using namespace std::chrono_literals;
using test_support::SimulatorProcess;

struct DecodedPng {
  std::size_t width = 0;
  std::size_t height = 0;
  std::vector<std::uint8_t> rgb;
  std::string error;

  sim::Colour at(sim::PixelPoint point) const {
    const std::size_t index = (point.y * width + point.x) * 3;
    return {rgb[index], rgb[index + 1], rgb[index + 2]};
  }
};

DecodedPng decode_png(const std::string& path) {
  DecodedPng decoded;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  // The png_image_* calls return non-zero on success.
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    decoded.error = image.message;
    return decoded;
  }
  image.format = PNG_FORMAT_RGB;
  decoded.width = image.width;
  decoded.height = image.height;
  decoded.rgb.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, decoded.rgb.data(), 0, nullptr) == 0)
    decoded.error = image.message;
  png_image_free(&image);
  return decoded;
}

TEST(SimPictureProcess, WritesThePngOfWhatTheDisplayShows) {
  const test_support::TempDirectory directory("pole_display_sim_png");
  const std::string png = directory.file("display.png");
  SimulatorProcess::Options options;
  options.extra_args = {"--png", png};
  SimulatorProcess simulator(options);
  const kit::posix::UniqueFd port(::open(simulator.port_path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  ASSERT_TRUE(port.is_valid()) << "errno " << errno;
  termios settings{};
  ASSERT_EQ(::tcgetattr(port.get(), &settings), 0);
  ::cfmakeraw(&settings);
  ASSERT_EQ(::tcsetattr(port.get(), TCSANOW, &settings), 0);
  // Clear the screen, then 'H' in the first cell: FC 20 20 FC 00, bit 7 the top dot row.
  const std::string text = "\x0CH";
  ASSERT_EQ(::write(port.get(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ASSERT_EQ(simulator.wait_for_trace_lines(2, 5s).size(), 2u);
  // The picture goes out before the trace lines, so it shows the 'H' already.
  const DecodedPng decoded = decode_png(png);
  ASSERT_EQ(decoded.error, "");
  ASSERT_GT(decoded.width, 0u);

  struct Case {
    std::size_t dot_column, dot_row;
    bool lit;
  };
  const Case cases[] = {
      {0, 0, true}, {0, 5, true}, {0, 6, false}, {1, 2, true},  {1, 1, false},
      {2, 2, true}, {3, 0, true}, {2, 5, false}, {4, 2, false}, {4, 0, false},
  };
  for (const Case& test : cases) {
    const sim::Colour colour = decoded.at(sim::dot_centre(0, 0, test.dot_column, test.dot_row));
    if (test.lit) {
      EXPECT_GE(colour.green, 200) << "dot " << test.dot_column << "," << test.dot_row;
    } else {
      EXPECT_LT(colour.green, 110) << "dot " << test.dot_column << "," << test.dot_row;
    }
  }
  EXPECT_EQ(simulator.stop(), 0);
}

}  // namespace
