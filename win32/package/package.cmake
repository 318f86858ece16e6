# The release package: `cmake --build <this build> --target package` (CPack)
# writes HBX763xFWUpgradeTool-<version>-windows.zip into the build folder:
#
#   x86/8634FWUpgradeTool.exe, x64/8634FWUpgradeTool.exe, README-Windows.txt,
#   SHA256SUMS.txt
#
# This build gives the program of its own architecture; the other one comes
# from the build folder HBX_PACKAGE_OTHER_BUILD (by default the preset's
# sibling: build/win64 beside build/win32 and the other way round), which the
# package step brings up to date first. Both builds must carry the same
# firmware image and driver files: the package step refuses them otherwise.
# The test stand-in program is never packed.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(hbx_package_arch x64)
  set(hbx_package_other_arch x86)
  set(hbx_package_sibling win32)
else()
  set(hbx_package_arch x86)
  set(hbx_package_other_arch x64)
  set(hbx_package_sibling win64)
endif()
get_filename_component(hbx_build_parent "${PROJECT_BINARY_DIR}" DIRECTORY)
set(HBX_PACKAGE_OTHER_BUILD "${hbx_build_parent}/${hbx_package_sibling}" CACHE PATH
    "Build folder of the other architecture's program, for the release package")

install(TARGETS hbx_program_win32 RUNTIME DESTINATION ${hbx_package_arch})
configure_file(${CMAKE_CURRENT_LIST_DIR}/other_program.cmake.in ${PROJECT_BINARY_DIR}/package_other_program.cmake @ONLY)
install(SCRIPT ${PROJECT_BINARY_DIR}/package_other_program.cmake)
install(FILES ${PROJECT_SOURCE_DIR}/docs/windows-readme.txt DESTINATION . RENAME README-Windows.txt)
# Last: the sums of everything above.
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/sha256_sums.cmake)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME HBX763xFWUpgradeTool)
set(CPACK_PACKAGE_VENDOR Corvane)
set(CPACK_PACKAGE_VERSION 3.2.2.0)
set(hbx_package_file ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-windows)
set(CPACK_PACKAGE_FILE_NAME ${hbx_package_file})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)  # which leaves CPACK_PACKAGE_FILE_NAME at the source package's name

# The zip's contents checked (tools/check_package.py); run after the package
# step: ctest --test-dir <this build> -L package
add_test(NAME package_contents
         COMMAND python3 ${PROJECT_SOURCE_DIR}/tools/check_package.py
                 ${PROJECT_BINARY_DIR}/${hbx_package_file}.zip)
set_tests_properties(package_contents PROPERTIES LABELS package SKIP_RETURN_CODE 77)
