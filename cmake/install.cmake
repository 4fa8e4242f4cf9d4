# Install rules: headers under include/korvat (keeping their folders), both libraries, a CMake
# package (find_package(korvat)) and a pkg-config file.
include(CMakePackageConfigHelpers)

foreach(dir common platform host channel writers online supervision geometry digitizer)
    if(EXISTS ${PROJECT_SOURCE_DIR}/${dir})
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvat
                FILES_MATCHING PATTERN "*.h")
    endif()
endforeach()

install(TARGETS korvat korvat_static EXPORT korvatTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT korvatTargets NAMESPACE korvat:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/korvat)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/korvatConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/korvatConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/korvat)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/korvatConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/korvatConfig.cmake ${PROJECT_BINARY_DIR}/korvatConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/korvat)

configure_file(${PROJECT_SOURCE_DIR}/cmake/korvat.pc.in ${PROJECT_BINARY_DIR}/korvat.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/korvat.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
