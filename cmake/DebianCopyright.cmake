# trelvo_debian_copyright(<LICENSE> <output>)
# Writes the Debian copyright file (machine-readable format) for an MIT LICENSE: the copyright
# line and the licence text are taken from the file, so the two cannot drift apart.
function(trelvo_debian_copyright license output)
    file(STRINGS ${license} lines ENCODING UTF-8)
    list(GET lines 0 title)
    if(NOT title STREQUAL "MIT License")
        message(FATAL_ERROR "${license}: expected the MIT licence, found \"${title}\"")
    endif()
    # file(STRINGS) drops empty lines, so paragraphs are found in the raw text instead.
    file(READ ${license} raw)
    string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" found "${raw}")
    if(NOT found)
        message(FATAL_ERROR "${license}: no \"Copyright (c)\" line")
    endif()
    set(holder ${CMAKE_MATCH_1})
    # The licence terms start with "Permission is hereby granted".
    string(FIND "${raw}" "Permission is hereby granted" start)
    string(SUBSTRING "${raw}" ${start} -1 terms)
    string(STRIP "${terms}" terms)
    # Debian's format: continuation lines start with a space, an empty line is " .".
    string(REGEX REPLACE "\n\n" "\n.\n" terms "${terms}")
    string(REGEX REPLACE "\n" "\n " terms "${terms}")
    file(WRITE ${output}
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Trelvo

Files: *
Copyright: ${holder}
License: Expat
 ${terms}
")
endfunction()
