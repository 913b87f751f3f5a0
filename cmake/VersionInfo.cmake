# The program's version information: one string table, generated at build time and linked into an executable,
# where the About box reads it back from the file on disk. The table's layout is described in
# src/platform/VersionInfo.h.
#
#   tocsinet_add_version_info(<target>)
#
# In script mode (cmake -P) this file is the generator itself; the build runs it with OUTPUT and FILE_VERSION.
if(CMAKE_SCRIPT_MODE_FILE)
    cmake_policy(VERSION 3.25)
endif()

# The one block the About box looks in: language 0x0410 (Italian) with code page 0x04E4 (1252).
set(TOCSINET_VERSION_BLOCK "\\StringFileInfo\\041004E4\\")
# Key, value pairs of the block, in the order they are stored (UTF-8; no ';' in a value). FileVersion is the
# project's version.
set(TOCSINET_VERSION_STRINGS
    CompanyName "https://tocsinet.example.org"
    FileDescription "Tocsinet"
    FileVersion "@FILE_VERSION@"
    InternalName "Tocsinet"
    LegalCopyright "Copyright (C) The Tocsinet authors"
    LegalTrademarks "All rights reserved"
    OriginalFilename ""
    ProductName "Tocsinet"
    ProductVersion "1.3.1.5"
    Comments ""
)
set(_tocsinet_version_info_script "${CMAKE_CURRENT_LIST_FILE}")
set(_tocsinet_version_info_template "${CMAKE_CURRENT_LIST_DIR}/VersionInfo.cpp.in")

function(tocsinet_add_version_info target)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/${target}_versioninfo.cpp")
    add_custom_command(
        OUTPUT "${out}"
        COMMAND "${CMAKE_COMMAND}" "-DOUTPUT=${out}" "-DFILE_VERSION=${Tocsinet_VERSION}"
                -P "${_tocsinet_version_info_script}"
        DEPENDS "${_tocsinet_version_info_script}" "${_tocsinet_version_info_template}"
        COMMENT "Generating the version information of ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE "${out}")
    # The table is referenced by nothing in the code: keep the linker from leaving it out.
    target_link_options(${target} PRIVATE "LINKER:--require-defined=tocsinet_version_info")
endfunction()

# Appends to the variable named by out_var the bytes of text followed by a NUL, as "0x..," items.
function(_tocsinet_append_cstring out_var text)
    string(HEX "${text}" hex)
    string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
    set(${out_var} "${${out_var}}${bytes}0x00," PARENT_SCOPE)
    string(LENGTH "${text}" text_length)
    math(EXPR length "${${out_var}_LENGTH} + ${text_length} + 1")
    set(${out_var}_LENGTH ${length} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT OUTPUT OR NOT FILE_VERSION)
        message(FATAL_ERROR "VersionInfo.cmake needs -DOUTPUT=<file> and -DFILE_VERSION=<version>")
    endif()
    set(records "")
    set(records_LENGTH 0)
    set(pairs "${TOCSINET_VERSION_STRINGS}") # quoted: keeps the empty values
    list(LENGTH pairs count)
    math(EXPR last "${count} - 1")
    foreach(i RANGE 0 ${last} 2)
        math(EXPR j "${i} + 1")
        list(GET pairs ${i} key)
        list(GET pairs ${j} value)
        string(CONFIGURE "${value}" value @ONLY)
        _tocsinet_append_cstring(records "${TOCSINET_VERSION_BLOCK}${key}")
        _tocsinet_append_cstring(records "${value}")
        string(APPEND records "\n    ")
    endforeach()
    set(length ${records_LENGTH})
    # Header: the magic "TOCSVER1", then the records' length as a little-endian 32-bit number.
    string(HEX "TOCSVER1" magic)
    math(EXPR b0 "${length} & 255" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR b1 "(${length} >> 8) & 255" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR b2 "(${length} >> 16) & 255" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR b3 "(${length} >> 24) & 255" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "(..)" "0x\\1," header "${magic}")
    string(APPEND header "${b0},${b1},${b2},${b3},\n    ")
    string(REGEX REPLACE "\n    $" "" records "${records}")
    set(VERSION_INFO_BYTES "${header}${records}")
    get_filename_component(template "${CMAKE_CURRENT_LIST_DIR}/VersionInfo.cpp.in" ABSOLUTE)
    configure_file("${template}" "${OUTPUT}" @ONLY)
endif()
