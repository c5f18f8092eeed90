# Manual pages and the package's changelog, compressed as Debian keeps them: a page is filled
# in with the version, built with the programs and installed in section 1.
include(GNUInstallDirs)

# Compresses FILE at build time (gzip's best level, no name or time stamp, so that the same
# input gives the same bytes) and installs FILE.gz in DESTINATION.
function(tidelin_install_compressed file destination)
  get_filename_component(name ${file} NAME)
  add_custom_command(OUTPUT ${file}.gz
    COMMAND gzip -9 -n -k -f ${file}
    DEPENDS ${file}
    COMMENT "Compressing ${name}")
  add_custom_target(compressed-${name} ALL DEPENDS ${file}.gz)
  install(FILES ${file}.gz DESTINATION ${destination})
endfunction()

function(tidelin_install_manual_page source)
  get_filename_component(name ${source} NAME_WLE)
  set(page ${CMAKE_BINARY_DIR}/generated/man/${name})
  configure_file(${source} ${page} @ONLY)
  tidelin_install_compressed(${page} ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
