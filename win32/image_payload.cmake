# The firmware image the program for real PCs carries.
#
# Only a file the packager names with -DHBX_DEFAULT_IMAGE_FILE=<file> (the hub
# maker's image), checked here by the rules a "/U" source must pass at run
# time (the run checks its restored copy once more). Without one the program
# carries no image, and a run that would write it ends at start-up asking for
# "/U <file>". The made-up image of the simulated host is never carried here:
# no hub boots it.
set(HBX_DEFAULT_IMAGE_FILE "" CACHE FILEPATH "Firmware image the Windows program carries (the hub maker's)")

set(HBX_CARRIED_IMAGE_ENTRIES "")
if(HBX_DEFAULT_IMAGE_FILE)
  if(NOT EXISTS "${HBX_DEFAULT_IMAGE_FILE}" OR IS_DIRECTORY "${HBX_DEFAULT_IMAGE_FILE}")
    message(FATAL_ERROR "HBX_DEFAULT_IMAGE_FILE: ${HBX_DEFAULT_IMAGE_FILE} is no file")
  endif()
  # The checker is built for the machine that runs the build, from the
  # program's own classification.
  find_program(HBX_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
  set(checker ${CMAKE_CURRENT_BINARY_DIR}/check_image_host)
  execute_process(
    COMMAND ${HBX_HOST_CXX} -std=c++20 -O1 -I${PROJECT_SOURCE_DIR}
            ${PROJECT_SOURCE_DIR}/tools/check_image/check_image.cpp ${PROJECT_SOURCE_DIR}/image/source_check.cpp
            ${PROJECT_SOURCE_DIR}/image/image_layout.cpp -o ${checker}
    RESULT_VARIABLE built ERROR_VARIABLE build_errors)
  if(NOT built EQUAL 0)
    message(FATAL_ERROR "Could not build the image checker:\n${build_errors}")
  endif()
  execute_process(COMMAND ${checker} ${HBX_DEFAULT_IMAGE_FILE}
                  RESULT_VARIABLE checked OUTPUT_VARIABLE verdict ERROR_VARIABLE verdict)
  if(NOT checked EQUAL 0)
    message(FATAL_ERROR "HBX_DEFAULT_IMAGE_FILE is no firmware a hub could take: ${verdict}")
  endif()
  string(STRIP "${verdict}" verdict)
  message(STATUS "Windows program: carries ${verdict}")
  # A changed file is checked again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${HBX_DEFAULT_IMAGE_FILE})
  # The name the run restores the image under: the file's own, then "\r\n".
  get_filename_component(image_name "${HBX_DEFAULT_IMAGE_FILE}" NAME)
  set(name_file ${CMAKE_CURRENT_BINARY_DIR}/carried_image_name.txt)
  file(CONFIGURE OUTPUT ${name_file} CONTENT "${image_name}\n" NEWLINE_STYLE CRLF)
  set(HBX_CARRIED_IMAGE_ENTRIES "BIN|166|${HBX_DEFAULT_IMAGE_FILE}" "INI|167|${name_file}")
else()
  message(STATUS "Windows program: carries no firmware image (HBX_DEFAULT_IMAGE_FILE not set); runs need /U <file>")
endif()
