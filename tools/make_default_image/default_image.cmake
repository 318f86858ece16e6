# Build rule for the carried firmware image. Included by payload/ (which needs
# the image before tools/ is read, and also in core-only builds), it sets
# HBX_GENERATED_IMAGE_FILE to the generated file.
#
# The generator is built for the machine that runs the build: as a normal
# target natively, with the host's own compiler when cross-compiling.
set(_gen_dir ${PROJECT_SOURCE_DIR}/tools/make_default_image)
set(_gen_sources
  ${_gen_dir}/make_default_image.cpp
  ${PROJECT_SOURCE_DIR}/image/default_image.cpp
  ${PROJECT_SOURCE_DIR}/image/default_config.cpp
  ${PROJECT_SOURCE_DIR}/image/image_layout.cpp)
set(_gen_headers
  ${PROJECT_SOURCE_DIR}/image/default_image.h
  ${PROJECT_SOURCE_DIR}/image/default_config.h
  ${PROJECT_SOURCE_DIR}/image/image_layout.h)
set(HBX_GENERATED_IMAGE_FILE ${CMAKE_CURRENT_BINARY_DIR}/Config_250318_25_01_0C.bin)

if(CMAKE_CROSSCOMPILING)
  find_program(HBX_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
  set(_gen_exe ${CMAKE_CURRENT_BINARY_DIR}/make_default_image_host)
  add_custom_command(
    OUTPUT ${_gen_exe}
    COMMAND ${HBX_HOST_CXX} -std=c++20 -O1 -I${PROJECT_SOURCE_DIR} ${_gen_sources} -o ${_gen_exe}
    DEPENDS ${_gen_sources} ${_gen_headers}
    COMMENT "Building the image generator for the build machine"
    VERBATIM)
else()
  add_executable(make_default_image ${_gen_sources})
  set(_gen_exe make_default_image)
endif()

add_custom_command(
  OUTPUT ${HBX_GENERATED_IMAGE_FILE}
  COMMAND ${_gen_exe} ${HBX_GENERATED_IMAGE_FILE}
  DEPENDS ${_gen_exe}
  COMMENT "Generating the carried firmware image"
  VERBATIM)
