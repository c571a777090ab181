# nlohmann-json as the target nlohmann_json::nlohmann_json. Header-only, so a cross build uses the
# host's headers: only the nlohmann folder is copied into the build tree, which keeps the rest of
# the host's /usr/include away from the Windows compiler.
find_package(nlohmann_json 3.10 QUIET)
if(NOT nlohmann_json_FOUND)
    find_path(TRELVO_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
              NO_DEFAULT_PATH REQUIRED)
    set(copied ${CMAKE_BINARY_DIR}/third_party/include)
    file(COPY ${TRELVO_NLOHMANN_INCLUDE}/nlohmann DESTINATION ${copied})
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${copied})
endif()
