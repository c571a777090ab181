# CLI11 as the target CLI11::CLI11. Header-only, so a cross build uses the host's headers: only
# the CLI folder is copied into the build tree, which keeps the rest of the host's /usr/include
# away from the Windows compiler.
find_package(CLI11 2.1 CONFIG QUIET)
if(NOT CLI11_FOUND)
    find_path(TRELVO_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
              NO_DEFAULT_PATH)
    if(NOT TRELVO_CLI11_INCLUDE)
        message(STATUS "CLI11 not found: trelvo-cli is not built (install libcli11-dev)")
        return()
    endif()
    set(copied ${CMAKE_BINARY_DIR}/third_party/cli11/include)
    file(COPY ${TRELVO_CLI11_INCLUDE}/CLI DESTINATION ${copied})
    add_library(CLI11::CLI11 INTERFACE IMPORTED)
    target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${copied})
endif()
