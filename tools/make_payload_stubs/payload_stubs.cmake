# Build rule for the stand-ins of the carried binaries (driver builds, support
# libraries, device-console tools). Included by payload/, which needs them
# before tools/ is read, also in core-only builds. Sets HBX_PAYLOAD_STUB_DIR.
#
# The generator is built for the machine that runs the build: as a normal
# target natively, with the host's own compiler when cross-compiling.
set(_stub_dir ${PROJECT_SOURCE_DIR}/tools/make_payload_stubs)
set(_stub_sources
  ${_stub_dir}/make_payload_stubs.cpp
  ${PROJECT_SOURCE_DIR}/tools/pe_stub/pe_stub_writer.cpp)
set(_stub_headers ${PROJECT_SOURCE_DIR}/tools/pe_stub/pe_stub_writer.h)
set(HBX_PAYLOAD_STUB_DIR ${CMAKE_CURRENT_BINARY_DIR}/stubs)
set(HBX_PAYLOAD_STUB_FILES
  ${HBX_PAYLOAD_STUB_DIR}/zeltufdriver_i386.sys
  ${HBX_PAYLOAD_STUB_DIR}/zeltufdriver_amd64.sys
  ${HBX_PAYLOAD_STUB_DIR}/zeltufdriver_amd64_kmdf.sys
  ${HBX_PAYLOAD_STUB_DIR}/k9371937.DLL
  ${HBX_PAYLOAD_STUB_DIR}/msvcrtd.dll
  ${HBX_PAYLOAD_STUB_DIR}/devcon.exe
  ${HBX_PAYLOAD_STUB_DIR}/devconAMD64.exe)

if(CMAKE_CROSSCOMPILING)
  find_program(HBX_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
  set(_stub_exe ${CMAKE_CURRENT_BINARY_DIR}/make_payload_stubs_host)
  add_custom_command(
    OUTPUT ${_stub_exe}
    COMMAND ${HBX_HOST_CXX} -std=c++20 -O1 -I${PROJECT_SOURCE_DIR} ${_stub_sources} -o ${_stub_exe}
    DEPENDS ${_stub_sources} ${_stub_headers}
    COMMENT "Building the payload stand-in generator for the build machine"
    VERBATIM)
else()
  add_executable(make_payload_stubs ${_stub_sources})
  set(_stub_exe make_payload_stubs)
endif()

add_custom_command(
  OUTPUT ${HBX_PAYLOAD_STUB_FILES}
  COMMAND ${_stub_exe} ${HBX_PAYLOAD_STUB_DIR}
  DEPENDS ${_stub_exe}
  COMMENT "Generating the stand-ins of the carried binaries"
  VERBATIM)
