// PNG files of one-bit bitmaps through libpng.
#include "tlxsim/png_io.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

namespace tlxsim {
namespace {

// libpng reports errors by longjmp; this frame holds no object with a destructor.
bool write_rows(FILE* f, const Bitmap& image, const char** message) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    *message = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    *message = "libpng write error";
    return false;
  }
  png_init_io(png, f);
  png_set_compression_level(png, 3); // labels are mostly white: fast and still small
  png_set_IHDR(png, info, image.width, image.height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_invert_mono(png); // memory bits are 1 for black; one-bit grey is 0 for black
  for (uint32_t y = 0; y < image.height; ++y)
    png_write_row(png, image.bits.data() + size_t(y) * image.stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

} // namespace

bool write_png(const std::string& path, const Bitmap& image, std::string* error) {
  if (image.width == 0 || image.height == 0) {
    if (error)
      *error = "empty image";
    return false;
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    if (error)
      *error = path + ": " + std::strerror(errno);
    return false;
  }
  const char* message = nullptr;
  bool ok = write_rows(f, image, &message);
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    message = "close failed";
  }
  if (!ok && error)
    *error = path + ": " + message;
  return ok;
}

bool read_png(const std::string& path, Bitmap* image, std::string* error) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) {
    if (error)
      *error = path + ": " + img.message;
    return false;
  }
  img.format = PNG_FORMAT_GRAY;
  std::vector<uint8_t> grey(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, grey.data(), 0, nullptr)) {
    if (error)
      *error = path + ": " + img.message;
    png_image_free(&img);
    return false;
  }
  *image = Bitmap::blank(img.width, img.height);
  for (uint32_t y = 0; y < img.height; ++y)
    for (uint32_t x = 0; x < img.width; ++x)
      if (grey[size_t(y) * img.width + x] < 128)
        image->set(x, y, true);
  return true;
}

} // namespace tlxsim
