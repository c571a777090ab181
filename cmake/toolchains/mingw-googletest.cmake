# Builds GoogleTest from Debian's sources with the cross compiler, and lets the project's
# find_package(GTest) take those targets instead of the host's libraries.
# Runs before the project declares its options: only an explicit OFF skips it.
if(DEFINED TRELVO_BUILD_TESTS AND NOT TRELVO_BUILD_TESTS)
    return()
endif()
set(TRELVO_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
if(NOT EXISTS ${TRELVO_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${TRELVO_GOOGLETEST_SOURCE} (apt-get install googletest)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TRELVO_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# A package configuration with nothing to do: GTest::gtest, GTest::gtest_main and the gmock
# targets exist already.
set(_trelvo_gtest_config ${CMAKE_BINARY_DIR}/googletest-config)
file(WRITE ${_trelvo_gtest_config}/GTestConfig.cmake
     "# GoogleTest is part of this build; its targets come from add_subdirectory.\n")
set(GTest_DIR ${_trelvo_gtest_config} CACHE PATH "" FORCE)
