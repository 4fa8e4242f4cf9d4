# What the korvat package installs beside the program: the example profiles and jobs (found by
# the installed program under <datadir>/korvat), the man page and the bash completion.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/machines ${PROJECT_SOURCE_DIR}/examples/jobs
        DESTINATION ${CMAKE_INSTALL_DATADIR}/korvat COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/korvat.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME korvat
        COMPONENT program)

# The man page is made from the program's own --help texts (help2man, with one section per verb
# from `korvat VERB --help`), so the two never disagree and a new verb appears without edits.
# Not in the sanitizer build, whose program should not run as a build step.
find_program(KORVAT_HELP2MAN help2man)
if(KORVAT_HELP2MAN AND NOT KORVAT_SANITIZE)
    set(_man ${CMAKE_CURRENT_BINARY_DIR}/korvat.1)
    add_custom_command(
        OUTPUT ${_man} ${_man}.gz
        COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/man-page.sh $<TARGET_FILE:korvat_program>
                ${PROJECT_VERSION} ${CMAKE_INSTALL_FULL_DATADIR} ${_man}
        DEPENDS korvat_program ${PROJECT_SOURCE_DIR}/packaging/man-page.sh
                ${PROJECT_SOURCE_DIR}/packaging/verb-help.awk
        COMMENT "Writing the korvat man page from its --help texts")
    add_custom_target(korvat_man ALL DEPENDS ${_man}.gz)
    install(FILES ${_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
else()
    message(STATUS "No man page for korvat (needs help2man, and no sanitizer build)")
endif()
