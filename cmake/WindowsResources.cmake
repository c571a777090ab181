# Windows resources for a program: the Trelvo icon (made from the SVG at build time), version
# information with the one project version, and the manifest every Trelvo program shares.
#   trelvo_windows_resources(TARGET "Description")
# Does nothing outside Windows builds.
function(trelvo_windows_resources target description)
    if(NOT WIN32)
        return()
    endif()
    set(ico ${CMAKE_BINARY_DIR}/generated/windows/trelvo.ico)
    if(NOT TARGET trelvo_windows_icon)
        find_program(RSVG_CONVERT rsvg-convert REQUIRED)
        find_program(ICOTOOL icotool REQUIRED)
        set(svg ${PROJECT_SOURCE_DIR}/packaging/icons/trelvo.svg)
        set(pngs)
        set(icon_arguments)
        foreach(size 16 24 32 48 64 256)
            set(png ${CMAKE_BINARY_DIR}/generated/windows/trelvo-${size}.png)
            add_custom_command(OUTPUT ${png}
                COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
                DEPENDS ${svg} VERBATIM)
            list(APPEND pngs ${png})
            if(size EQUAL 256)
                list(APPEND icon_arguments --raw=${png})
            else()
                list(APPEND icon_arguments ${png})
            endif()
        endforeach()
        # The largest size stays PNG-compressed inside the icon, as Windows expects.
        add_custom_command(OUTPUT ${ico}
            COMMAND ${ICOTOOL} -c -o ${ico} ${icon_arguments}
            DEPENDS ${pngs} VERBATIM)
        add_custom_target(trelvo_windows_icon DEPENDS ${ico})
    endif()
    set(TRELVO_RC_NAME ${target})
    set(TRELVO_RC_DESCRIPTION "${description}")
    set(TRELVO_RC_ICON ${ico})
    set(TRELVO_RC_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/trelvo.manifest)
    set(rc ${CMAKE_BINARY_DIR}/generated/windows/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES
        OBJECT_DEPENDS "${ico};${TRELVO_RC_MANIFEST}")
    add_dependencies(${target} trelvo_windows_icon)
endfunction()
