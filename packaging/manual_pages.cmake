# Manual pages: a page is filled in with the version, compressed as Debian keeps manual pages,
# built with the programs and installed in section 1.
include(GNUInstallDirs)

function(tidelin_install_manual_page source)
  get_filename_component(name ${source} NAME_WLE)
  set(page ${CMAKE_BINARY_DIR}/generated/man/${name})
  configure_file(${source} ${page} @ONLY)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND gzip -9 -n -k -f ${page}
    DEPENDS ${page}
    COMMENT "Compressing the manual page ${name}")
  add_custom_target(manual-${name} ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
