# The help file Karvo.chm, compiled from docs/help/ with chmcmd (Debian package fp-utils) into the
# program folder of the build. Included by the desktop install and by the Windows build, whose
# portable zip and installer carry it beside karvo.exe. Sets help_chm ("" without chmcmd), help_src,
# help_pages, help_html and help_deps.
set(help_src ${PROJECT_SOURCE_DIR}/docs/help)
set(help_pages index.html backup.html restore.html favourites.html registry.html wine.html
    troubleshooting.html help.css)
set(help_html ${CMAKE_BINARY_DIR}/bin/Karvo-html)
set(help_inputs Karvo.hhp Karvo.hhc ${help_pages})
list(TRANSFORM help_inputs PREPEND ${help_src}/ OUTPUT_VARIABLE help_deps)
find_program(KARVO_CHMCMD chmcmd)
if(KARVO_CHMCMD)
    set(help_work ${CMAKE_CURRENT_BINARY_DIR}/help)
    add_custom_command(
        OUTPUT ${CMAKE_BINARY_DIR}/bin/Karvo.chm
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${help_work}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${help_work}
        COMMAND ${CMAKE_COMMAND} -E copy ${help_deps} ${help_work}
        COMMAND ${CMAKE_COMMAND} -E chdir ${help_work} ${KARVO_CHMCMD} --no-html-scan --verbosity 0 Karvo.hhp
        COMMAND ${CMAKE_COMMAND} -E copy ${help_work}/Karvo.chm ${CMAKE_BINARY_DIR}/bin/Karvo.chm
        DEPENDS ${help_deps}
        COMMENT "Compiling the help file Karvo.chm"
        VERBATIM)
    set(help_chm ${CMAKE_BINARY_DIR}/bin/Karvo.chm)
else()
    message(WARNING "chmcmd (Debian package fp-utils) not found: Karvo.chm is not built")
    set(help_chm)
endif()
