# Fails when a core header uses a name that the Windows SDK's headers define
# as a macro. Compiling the headers after <windows.h> catches the names the
# SDK defines as values; this check also catches those it defines as other
# names (SetWindowText becomes SetWindowTextW), which compile quietly and
# only break at link time, in a file that includes <windows.h>.
#
# cmake -DCXX=<compiler> -DSOURCE_DIR=<project> -DHEADERS=<a;b> -DWORK_DIR=<dir>
#       -DSTAMP=<file> -P check_sdk_names.cmake

# The macro names a source sees after <windows.h> and <commctrl.h>, less those
# of the C and C++ standard headers (NULL, INT_MAX, EOF ...), which the core
# may use as well.
function(macro_names out_var source_text)
  file(WRITE ${WORK_DIR}/macro_names.cpp "${source_text}")
  execute_process(COMMAND ${CXX} -std=c++20 -x c++ -dM -E ${WORK_DIR}/macro_names.cpp
                  OUTPUT_VARIABLE defines RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot list the macros of: ${source_text}")
  endif()
  string(REGEX MATCHALL "#define [A-Za-z_][A-Za-z0-9_]*" names "${defines}")
  list(TRANSFORM names REPLACE "^#define " "")
  set(${out_var} ${names} PARENT_SCOPE)
endfunction()

macro_names(sdk_names "#include <windows.h>\n#include <commctrl.h>\n")
macro_names(standard_names "#include <bits/stdc++.h>\n")
foreach(name IN LISTS sdk_names)
  set(sdk_macro_${name} TRUE)
endforeach()
foreach(name IN LISTS standard_names)
  unset(sdk_macro_${name})
endforeach()

set(clashes "")
foreach(header IN LISTS HEADERS)
  # The header's tokens without comments; no macro is expanded.
  execute_process(COMMAND ${CXX} -std=c++20 -x c++ -fpreprocessed -E -P ${SOURCE_DIR}/${header}
                  OUTPUT_VARIABLE text ERROR_QUIET RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot read ${header}")
  endif()
  # Include lines, string and character literals and numbers hold no names.
  string(REGEX REPLACE "#[ \t]*include[^\n]*" "" text "${text}")
  string(REGEX REPLACE "\"([^\"\\\\\n]|\\\\.)*\"" "" text "${text}")
  string(REGEX REPLACE "'([^'\\\\\n]|\\\\.)*'" "" text "${text}")
  string(REGEX REPLACE "[0-9][A-Za-z0-9_.]*" "" text "${text}")
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" names "${text}")
  list(REMOVE_DUPLICATES names)
  foreach(name IN LISTS names)
    if(sdk_macro_${name})
      list(APPEND clashes "${header}: ${name}")
    endif()
  endforeach()
endforeach()

if(clashes)
  list(JOIN clashes "\n  " report)
  message(FATAL_ERROR "core headers use names the Windows SDK defines as macros:\n  ${report}")
endif()
file(TOUCH ${STAMP})
