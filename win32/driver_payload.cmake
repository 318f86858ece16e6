# The resource scripts of the carried files.
#
# The filter driver's builds, its catalog and the two support libraries are
# not ours. A build for real PCs takes them from the folder the packager names
# with -DHBX_DRIVER_PAYLOAD_DIR. Without it the program carries none of them
# and ends at start-up with the driver error on a PC without the driver.
#
# HBX_STANDIN_TEST_PROGRAM adds a second program, test-standin/8634FWUpgradeTool.exe,
# that carries the project's stand-ins and the made-up firmware image instead,
# for the tests under Wine. Its version resource and its window caption mark
# it as a test build; never ship it.
set(HBX_DRIVER_PAYLOAD_DIR "" CACHE PATH "Folder holding the filter driver's files for a real build")
option(HBX_STANDIN_TEST_PROGRAM "Also build the test program with stand-in driver files (never shipped)" OFF)

# type|id|file lines of the tools we build (HBX_DEVCON_DIR).
set(devcon_entries "")
foreach(entry IN LISTS HBX_DEVCON_PAYLOAD_FILES)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 type)
  list(GET parts 1 id)
  list(GET parts 2 name)
  list(APPEND devcon_entries "${type}|${id}|${HBX_DEVCON_DIR}/${name}")
endforeach()

# Writes `out` with one "id TYPE file" line per entry and sets `files_var` to
# the files it reads.
function(hbx_write_payload_rc out files_var)
  set(rc "// Generated: the carried files, by resource type name and id.\n")
  set(files "")
  foreach(entry IN LISTS ARGN)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 type)
    list(GET parts 1 id)
    list(GET parts 2 file)
    string(APPEND rc "${id} ${type} \"${file}\"\n")
    list(APPEND files "${file}")
  endforeach()
  file(CONFIGURE OUTPUT ${out} CONTENT "${rc}")
  set(${files_var} "${files}" PARENT_SCOPE)
endfunction()

set(driver_entries "")
if(HBX_DRIVER_PAYLOAD_DIR)
  foreach(entry IN LISTS HBX_DRIVER_PAYLOAD_FILES)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 type)
    list(GET parts 1 id)
    list(GET parts 2 name)
    if(NOT EXISTS "${HBX_DRIVER_PAYLOAD_DIR}/${name}")
      message(FATAL_ERROR "HBX_DRIVER_PAYLOAD_DIR: ${HBX_DRIVER_PAYLOAD_DIR}/${name} is missing")
    endif()
    list(APPEND driver_entries "${type}|${id}|${HBX_DRIVER_PAYLOAD_DIR}/${name}")
  endforeach()
  message(STATUS "Windows program: driver files from ${HBX_DRIVER_PAYLOAD_DIR}")
else()
  message(STATUS "Windows program: no driver files (HBX_DRIVER_PAYLOAD_DIR not set)")
endif()
set(HBX_PAYLOAD_RC ${CMAKE_CURRENT_BINARY_DIR}/payloads.rc)
hbx_write_payload_rc(${HBX_PAYLOAD_RC} HBX_PAYLOAD_RC_FILES
                     ${HBX_OWN_PAYLOAD_ENTRIES} ${HBX_CARRIED_IMAGE_ENTRIES} ${driver_entries} ${devcon_entries})

if(HBX_STANDIN_TEST_PROGRAM)
  set(standin_entries "")
  foreach(entry IN LISTS HBX_STANDIN_PAYLOAD_ENTRIES)
    if(NOT entry MATCHES "^EXE\\|")
      list(APPEND standin_entries "${entry}")
    endif()
  endforeach()
  set(HBX_STANDIN_PAYLOAD_RC ${CMAKE_CURRENT_BINARY_DIR}/payloads_standin.rc)
  hbx_write_payload_rc(${HBX_STANDIN_PAYLOAD_RC} HBX_STANDIN_PAYLOAD_RC_FILES
                       ${HBX_OWN_PAYLOAD_ENTRIES} ${HBX_GENERATED_IMAGE_ENTRIES} ${standin_entries}
                       ${devcon_entries})
endif()
