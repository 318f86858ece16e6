#include "ui/render/png_writer.h"

#include <png.h>


namespace hbx::ui::render {

bool writePng(const Image& image, const std::string& path, std::string& error) {
  if (image.width() <= 0 || image.height() <= 0) {
    error = "empty image";
    return false;
  }
  png_image info{};
  info.version = PNG_IMAGE_VERSION;
  info.width = static_cast<png_uint_32>(image.width());
  info.height = static_cast<png_uint_32>(image.height());
  info.format = PNG_FORMAT_RGB;
  const int ok = png_image_write_to_file(&info, path.c_str(), 0, image.rgb().data(),
                                         static_cast<png_int_32>(image.width() * 3), nullptr);
  if (!ok) {
    error = info.message[0] ? info.message : "cannot write " + path;
    png_image_free(&info);
    return false;
  }
  return true;
}

}  // namespace hbx::ui::render
