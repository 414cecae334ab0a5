# orvane_install_man_page(PAGE COMPONENT): the section-1 page PAGE with @PROJECT_VERSION@ filled in,
# compressed as Debian wants it (gzip -9n: no name, no time stamp, so the same page gives the same bytes),
# and installed into man1 with COMPONENT.
function(orvane_install_man_page page component)
    get_filename_component(name ${page} NAME)
    set(configured ${CMAKE_CURRENT_BINARY_DIR}/${name})
    configure_file(${page} ${configured} @ONLY)
    add_custom_command(OUTPUT ${configured}.gz
                       COMMAND gzip -9nkf ${configured}
                       DEPENDS ${configured}
                       COMMENT "Compressing the man page ${name}"
                       VERBATIM)
    add_custom_target(${name}-man ALL DEPENDS ${configured}.gz)
    include(GNUInstallDirs)
    install(FILES ${configured}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()
