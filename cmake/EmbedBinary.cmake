# Turns a binary file into a C++ source holding it as a const byte array and its size.
#
# As a script:  cmake -DINPUT=<file> -DOUTPUT=<.cpp> -DSYMBOL=<name> -DNAMESPACE=<ns>
#                     -DHEADER=<include path> -P EmbedBinary.cmake
# The array is <SYMBOL>, the size <SYMBOL>Size (std::size_t), both in <NAMESPACE> and declared
# by HEADER, so that a mismatch between declaration and definition fails to compile.
#
# From a CMakeLists: trelvo_embed_binary(<target> <input> <symbol> <namespace> <header>)
# regenerates the source whenever the input changes and adds it to <target>.

if(CMAKE_SCRIPT_MODE_FILE)
    foreach(var INPUT OUTPUT SYMBOL NAMESPACE HEADER)
        if(NOT DEFINED ${var})
            message(FATAL_ERROR "EmbedBinary: ${var} is not set")
        endif()
    endforeach()
    file(READ "${INPUT}" hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    if(size EQUAL 0)
        # C++ has no empty arrays: keep one byte, but the stored size stays 0.
        set(body "    0x00,\n")
    else()
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
        # 16 bytes per line keeps the generated file readable (CMake regexes have no {n}).
        string(REPEAT "0x..," 16 line)
        string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
        string(REGEX REPLACE "\n    $" "" bytes "${bytes}")
        set(body "    ${bytes}\n")
    endif()
    file(WRITE "${OUTPUT}"
        "// Generated from ${INPUT}; do not edit.\n"
        "#include \"${HEADER}\"\n\n"
        "namespace ${NAMESPACE} {\n\n"
        "const std::uint8_t ${SYMBOL}[] = {\n${body}};\n"
        "const std::size_t ${SYMBOL}Size = ${size};\n\n"
        "}  // namespace ${NAMESPACE}\n")
    return()
endif()

set(TRELVO_EMBED_BINARY_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(trelvo_embed_binary target input symbol namespace header)
    get_filename_component(name "${input}" NAME)
    set(output "${CMAKE_CURRENT_BINARY_DIR}/embedded/${name}.cpp")
    add_custom_command(
        OUTPUT "${output}"
        COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${symbol}
                -DNAMESPACE=${namespace} -DHEADER=${header} -P ${TRELVO_EMBED_BINARY_SCRIPT}
        DEPENDS "${input}" ${TRELVO_EMBED_BINARY_SCRIPT}
        COMMENT "Embedding ${name}"
        VERBATIM)
    target_sources(${target} PRIVATE "${output}")
endfunction()
