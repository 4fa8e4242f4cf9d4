# Install rules, in three components that become the three Debian packages (cmake/package.cmake):
#   lib      the shared library                                            (libkorvat0)
#   dev      headers under include/korvat, libkorvat.so, the static library, the CMake package
#            (find_package(korvat)) and korvat.pc                          (libkorvat-dev)
#   program  the korvat program, its example profiles and jobs, man page and bash completion
#            (korvat; see cmake/program_install.cmake)
include(CMakePackageConfigHelpers)

# Every library folder holds installed headers; common/ has headers only.
set(KORVAT_HEADER_DIRS common ${KORVAT_LIBRARY_DIRS})
install(CODE "
    set(KORVAT_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")
    set(KORVAT_STAGE_DIR \"${PROJECT_BINARY_DIR}/installed-headers\")
    set(KORVAT_HEADER_DIRS \"${KORVAT_HEADER_DIRS}\")
    set(KORVAT_INCLUDE_DIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
    include(\"${PROJECT_SOURCE_DIR}/cmake/install_headers.cmake\")"
    COMPONENT dev)

install(TARGETS korvat EXPORT korvatTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT lib)
install(TARGETS korvat_static EXPORT korvatTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(EXPORT korvatTargets NAMESPACE korvat:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/korvat
        COMPONENT dev)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/korvatConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/korvatConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/korvat)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/korvatConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/korvatConfig.cmake ${PROJECT_BINARY_DIR}/korvatConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/korvat COMPONENT dev)

configure_file(${PROJECT_SOURCE_DIR}/cmake/korvat.pc.in ${PROJECT_BINARY_DIR}/korvat.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/korvat.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT dev)
