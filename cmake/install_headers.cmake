# Installs the library's headers under <include dir>/korvat, keeping their folders. In the source
# tree the headers include each other from the project root ("common/records.h"); the installed
# copies say <korvat/common/records.h>, so a host puts only <prefix>/include on its include path
# and no folder named common/ or platform/ lands on it. Runs at install time and globs the
# library folders then, so a new header or folder installs without editing this file.
#
# Set by the install rule that includes this script:
#   KORVAT_SOURCE_DIR    the source tree
#   KORVAT_STAGE_DIR     a folder of the build tree for the rewritten copies
#   KORVAT_HEADER_DIRS   the library folders that hold installed headers
#   KORVAT_INCLUDE_DIR   the include folder, relative to the install prefix or absolute
list(JOIN KORVAT_HEADER_DIRS "|" _dirs)
file(REMOVE_RECURSE "${KORVAT_STAGE_DIR}")
foreach(_dir IN LISTS KORVAT_HEADER_DIRS)
    file(GLOB_RECURSE _headers RELATIVE "${KORVAT_SOURCE_DIR}" "${KORVAT_SOURCE_DIR}/${_dir}/*.h")
    foreach(_header IN LISTS _headers)
        file(READ "${KORVAT_SOURCE_DIR}/${_header}" _text)
        string(REGEX REPLACE "#([ \t]*)include[ \t]*\"((${_dirs})/[^\"]+)\"" "#\\1include <korvat/\\2>"
                             _text "${_text}")
        file(WRITE "${KORVAT_STAGE_DIR}/korvat/${_header}" "${_text}")
    endforeach()
endforeach()

set(_destination "${KORVAT_INCLUDE_DIR}")
if(NOT IS_ABSOLUTE "${_destination}")
    set(_destination "${CMAKE_INSTALL_PREFIX}/${_destination}")
endif()
if(EXISTS "${KORVAT_STAGE_DIR}/korvat")
    file(INSTALL DESTINATION "${_destination}" TYPE DIRECTORY FILES "${KORVAT_STAGE_DIR}/korvat"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
         DIR_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE)
endif()
