// Writes the firmware image the program carries ("Config_250318_25_01_0C.bin")
// to the path given as its one argument. The bytes are the same on every run.
#include <cstdio>
#include <vector>

#include "image/default_image.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_default_image OUTPUT\n");
    return 2;
  }
  const std::vector<std::uint8_t> image = hbx::image::buildDefaultImage();
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(image.data(), 1, image.size(), out) == image.size();
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) {
    std::fprintf(stderr, "make_default_image: could not write %s\n", argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
