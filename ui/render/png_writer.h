#pragma once
// Writes an Image as a PNG file.
#include <string>

#include "ui/render/image.h"

namespace hbx::ui::render {

// Returns false and a reason in `error` when the file cannot be written.
bool writePng(const Image& image, const std::string& path, std::string& error);

}  // namespace hbx::ui::render
