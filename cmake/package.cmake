# Debian packages, built by CPack from the install components (cmake/install.cmake):
#   libkorvat0     lib       the shared library, with its SONAME
#   libkorvat-dev  dev       headers, static library, CMake package, korvat.pc
#   korvat         program   the program, example profiles and jobs, man page, bash completion
# scripts/package.sh configures a build for them (prefix /usr, Debian's build flags,
# KORVAT_DEBIAN=ON) and runs cpack.
option(KORVAT_DEBIAN "Install each Debian package's copyright and changelog (for cpack)" OFF)
set(KORVAT_MAINTAINER "Korvat maintainers <maintainers@users.noreply.c-seed-558f5149.example>"
    CACHE STRING "Maintainer of the Debian packages")

set(_packages lib libkorvat0 dev libkorvat-dev program korvat)

if(KORVAT_DEBIAN)
    # The changelog's newest entry names the version the packages get: refuse a mismatch.
    set(_changelog ${PROJECT_SOURCE_DIR}/packaging/changelog)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_changelog})
    file(STRINGS ${_changelog} _first LIMIT_COUNT 1)
    if(NOT _first MATCHES "^korvat \\(${PROJECT_VERSION}\\) ")
        message(FATAL_ERROR "packaging/changelog starts with '${_first}', "
                            "not with an entry for version ${PROJECT_VERSION}")
    endif()
    find_program(KORVAT_GZIP gzip REQUIRED)
    execute_process(COMMAND ${KORVAT_GZIP} -9nc ${_changelog}
                    OUTPUT_FILE ${PROJECT_BINARY_DIR}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
    while(_packages)
        list(POP_FRONT _packages _component _name)
        install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/changelog.gz
                DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_name} COMPONENT ${_component})
    endwhile()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvat)
set(CPACK_PACKAGE_VENDOR "The Korvat developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lib dev program)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVAT_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# Each package's first description line is its own synopsis, not the project's description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
# CPack calls ldconfig from maintainer scripts; Debian asks for the ldconfig trigger instead.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_ldconfig_trigger.cmake)

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libkorvat0)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LIB_DESCRIPTION
    "machine output library for engraving and milling CNC machines
Korvat takes tool paths from a CAD/CAM host one element at a time and turns
them into NC program files for a family of machine controllers (DIN/ISO,
Heidenhain, HPGL, DXF, Datron and others) or into live commands to a
controller on a serial line.

This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libkorvat-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS lib)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "machine output library for CNC machines - development files
Korvat takes tool paths from a CAD/CAM host one element at a time and turns
them into NC program files or live commands to a machine controller.

This package holds the headers (include them as <korvat/...>), the static
library, the CMake package for find_package(korvat) and the pkg-config file.")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME korvat)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION misc)
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION
    "machine programs for engraving and milling machines from tool paths
korvat posts G-code jobs, call scripts and tool-path element files as
programs for CNC engraving and milling machines through the Korvat library,
draws previews of them, adds ramped entries to contours and lists the
machine profiles it knows.

It comes with example machine profiles for every machine family and example
jobs under /usr/share/korvat.")

include(CPack)
