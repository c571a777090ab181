# Cases for the CMake helpers of the Debian package, run as `cmake -DCASE=... -P` by CTest.
# A case that must fail reports through its error message (checked by the test's regex).
cmake_minimum_required(VERSION 3.25)
include(${SOURCE_DIR}/cmake/ChangelogEntry.cmake)
include(${SOURCE_DIR}/cmake/DebianCopyright.cmake)

function(expect_equal actual expected what)
    if(NOT actual STREQUAL expected)
        message(FATAL_ERROR "${what}:\n--- got ---\n${actual}\n--- expected ---\n${expected}")
    endif()
endfunction()

set(changelog ${WORK}/${CASE}-CHANGELOG.md)

if(CASE STREQUAL "entry")
    # Wrapped items, an entry for a look-alike version before it, an older entry after it.
    file(WRITE ${changelog} [[
# Changelog

## 3.1.01 - 2030-01-01

- Not this one.

## 3.1.0 - 2029-02-28

- First item,
  wrapped.
- Second item.

## 3.0.9 - 2028-01-01

- An older release.
]])
    trelvo_changelog_entry(${changelog} 3.1.0 date notes)
    expect_equal("${date}" "2029-02-28" "date")
    expect_equal("${notes}" "  * First item,\n    wrapped.\n  * Second item." "notes")
    # The dots of a version are literal.
    file(WRITE ${changelog} "## 3x1x0 - 2029-02-28\n\n- Item.\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR} -DWORK=${WORK}
                            -DCASE=lookup -DFILE=${changelog} -DVERSION=3.1.0
                            -P ${CMAKE_CURRENT_LIST_FILE}
                    RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
    if(NOT failed)
        message(FATAL_ERROR "3x1x0 was taken for 3.1.0")
    endif()
elseif(CASE STREQUAL "lookup")
    trelvo_changelog_entry(${FILE} ${VERSION} date notes)
elseif(CASE STREQUAL "missing")
    file(WRITE ${changelog} "# Changelog\n\n## 3.0.9 - 2028-01-01\n\n- Older.\n")
    trelvo_changelog_entry(${changelog} 3.1.0 date notes)
elseif(CASE STREQUAL "empty")
    file(WRITE ${changelog} "## 3.1.0 - 2029-02-28\n\n## 3.0.9 - 2028-01-01\n\n- Older.\n")
    trelvo_changelog_entry(${changelog} 3.1.0 date notes)
elseif(CASE STREQUAL "stray_line")
    file(WRITE ${changelog} "## 3.1.0 - 2029-02-28\n\nSome prose.\n- Item.\n")
    trelvo_changelog_entry(${changelog} 3.1.0 date notes)
elseif(CASE STREQUAL "project")
    # The release being built has its entry, with lines a Debian changelog accepts (80 columns).
    trelvo_changelog_entry(${SOURCE_DIR}/CHANGELOG.md ${VERSION} date notes)
    string(REPLACE "\n" ";" lines "${notes}")
    foreach(line IN LISTS lines)
        string(LENGTH "${line}" length)
        if(length GREATER 80)
            message(FATAL_ERROR "CHANGELOG.md: a line of the ${VERSION} entry is too long: ${line}")
        endif()
    endforeach()
elseif(CASE STREQUAL "copyright")
    trelvo_debian_copyright(${SOURCE_DIR}/LICENSE ${WORK}/copyright)
    file(READ ${WORK}/copyright text)
    file(READ ${SOURCE_DIR}/LICENSE license)
    string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" found "${license}")
    string(FIND "${text}" "\nCopyright: ${CMAKE_MATCH_1}\nLicense: Expat\n Permission is hereby granted" at)
    if(at LESS 0)
        message(FATAL_ERROR "copyright header or start of the terms missing:\n${text}")
    endif()
    # Every line of the terms is there, indented, and paragraphs are separated by " .".
    string(FIND "${license}" "Permission" start)
    string(SUBSTRING "${license}" ${start} -1 terms)
    string(STRIP "${terms}" terms)
    string(REPLACE "\n\n" "\n.\n" terms "${terms}")
    string(REPLACE "\n" "\n " terms "${terms}")
    string(FIND "${text}" " ${terms}\n" at)
    if(at LESS 0)
        message(FATAL_ERROR "the licence terms are not copied whole:\n${text}")
    endif()
    if(text MATCHES "\n\n[^\n]*Permission|\n \n")
        message(FATAL_ERROR "an empty line inside the licence field:\n${text}")
    endif()
elseif(CASE STREQUAL "copyright_not_mit")
    file(WRITE ${WORK}/LICENSE-other "Apache License\nVersion 2.0\n")
    trelvo_debian_copyright(${WORK}/LICENSE-other ${WORK}/copyright-other)
elseif(CASE STREQUAL "udev_rule")
    # The rule gives access on the probe's word alone, and runs the probe the package installs
    # only for devices with a vendor-specific interface.
    file(STRINGS ${SOURCE_DIR}/packaging/udev/70-trelvo.rules lines REGEX "^[^#]")
    set(vendor_filter -1)
    set(probe -1)
    set(index 0)
    foreach(line IN LISTS lines)
        if(line MATCHES "uaccess")
            expect_equal("${line}" [[ENV{TRELVO_INTERFACE}=="?*", TAG+="uaccess"]] "the tagging line")
        endif()
        if(line MATCHES [[ff\?\?\?\?]])
            expect_equal("${line}" [[ENV{ID_USB_INTERFACES}!="*:ff????:*", GOTO="trelvo_end"]]
                         "the vendor-specific filter")
            set(vendor_filter ${index})
        endif()
        if(line MATCHES [[^IMPORT{program}="([^ ]+) \$devnode"$]])
            set(probe ${index})
            set(probe_path ${CMAKE_MATCH_1})
        endif()
        math(EXPR index "${index} + 1")
    endforeach()
    if(vendor_filter LESS 0 OR probe LESS vendor_filter)
        message(FATAL_ERROR "the probe does not run, or runs before the vendor-specific filter")
    endif()
    file(READ ${SOURCE_DIR}/packaging/deb-contents.txt contents)
    file(READ ${SOURCE_DIR}/packaging/debian/conffiles conffiles)
    foreach(installed "-rwxr-xr-x root/root .${probe_path}\n"
                      "-rw-r--r-- root/root ./etc/trelvo/usb-ids\n")
        string(FIND "${contents}" "${installed}" at)
        if(at LESS 0)
            message(FATAL_ERROR "the package does not install ${installed}")
        endif()
    endforeach()
    expect_equal("${conffiles}" "/etc/trelvo/usb-ids\n" "the conffiles")
else()
    message(FATAL_ERROR "unknown case ${CASE}")
endif()
