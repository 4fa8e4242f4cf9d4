# Run by cpack after it built the Debian packages (CPACK_POST_BUILD_SCRIPTS). CPack gives a
# package with a shared library maintainer scripts that call ldconfig; Debian wants the package
# to activate libc's ldconfig trigger instead and to have no such scripts. This rebuilds each
# package that has a shlibs file that way; its files and their checksums stay as they were.
find_program(_dpkg_deb dpkg-deb REQUIRED)
foreach(_package IN LISTS CPACK_PACKAGE_FILES)
    set(_tree "${_package}.tree")
    file(REMOVE_RECURSE "${_tree}")
    execute_process(COMMAND ${_dpkg_deb} --raw-extract "${_package}" "${_tree}"
                    COMMAND_ERROR_IS_FATAL ANY)
    if(EXISTS "${_tree}/DEBIAN/shlibs")
        file(REMOVE "${_tree}/DEBIAN/postinst" "${_tree}/DEBIAN/postrm")
        file(WRITE "${_tree}/DEBIAN/triggers" "activate-noawait ldconfig\n")
        execute_process(COMMAND ${_dpkg_deb} --root-owner-group --build "${_tree}" "${_package}"
                        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    endif()
    file(REMOVE_RECURSE "${_tree}")
endforeach()
