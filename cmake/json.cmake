# nlohmann-json is header-only. The Windows cross build takes its headers
# alone (a folder holding only them), never the build machine's other headers.
function(hbx_use_json target scope)
  if(WIN32)
    find_path(HBX_NLOHMANN_JSON_INCLUDE nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(json_headers ${PROJECT_BINARY_DIR}/nlohmann_json_headers)
    file(MAKE_DIRECTORY ${json_headers})
    file(CREATE_LINK ${HBX_NLOHMANN_JSON_INCLUDE}/nlohmann ${json_headers}/nlohmann SYMBOLIC)
    target_include_directories(${target} SYSTEM ${scope} ${json_headers})
  else()
    find_package(nlohmann_json 3 REQUIRED)
    target_link_libraries(${target} ${scope} nlohmann_json::nlohmann_json)
  endif()
endfunction()
