# The upgrade sequence and its built-in images; included by this folder's CMakeLists.
# The images are embedded at build time from the checked-in .bin files, so a real firmware
# file can replace one without any code change.
include(${PROJECT_SOURCE_DIR}/cmake/EmbedBinary.cmake)

target_sources(uwieg PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upgrade.cpp
)
foreach(type 41 43 51 53)
    trelvo_embed_binary(uwieg ${CMAKE_CURRENT_LIST_DIR}/images/kvt${type}.bin kKvt${type}
                        uwieg::images uwieg/images/embedded.h)
endforeach()
