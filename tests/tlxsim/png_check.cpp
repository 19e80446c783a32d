// Reading PNG files back in the tests with libpng's simplified interface.
#include "png_check.h"

#include <cstring>

#include <png.h>

namespace tlxsim_test {

size_t GreyImage::count_black() const {
  size_t n = 0;
  for (uint8_t p : pixels)
    n += p == 0;
  return n;
}

bool load_png(const std::string& path, GreyImage* image, std::string* error) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) {
    *error = path + ": " + img.message;
    return false;
  }
  img.format = PNG_FORMAT_GRAY;
  image->width = img.width;
  image->height = img.height;
  image->pixels.assign(PNG_IMAGE_SIZE(img), 0);
  if (!png_image_finish_read(&img, nullptr, image->pixels.data(), 0, nullptr)) {
    *error = path + ": " + img.message;
    png_image_free(&img);
    return false;
  }
  return true;
}

} // namespace tlxsim_test
