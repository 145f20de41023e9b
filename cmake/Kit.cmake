# The kit an author needs, laid out by `cmake --install` and packed as a zip
# by CPack (`cpack` in the build tree):
#   Windows (win32 preset): ssbuild.exe (the stub and library inside),
#     impborl.dll, sample.scr, ssbuild.html, docs/, example/
#   Linux (native or release preset): bin/ssbuild, share/doc/ssbuild/,
#     share/ssbuild/example/, share/ssbuild/ssbuild.html
# ssbuild.html is the builder as a web page (scripts/build-web.sh), carried
# when it has been built.
# The example is the project `ssbuild init` writes, made at install time by
# running ssbuild: the native one directly; for the Windows kit a host ssbuild
# (SSI_HOST_SSBUILD) or, failing that, ssbuild.exe under Wine.
if(SSI_FUZZ)
  return()
endif()

if(WIN32)
  set(kit_bin .)
  set(kit_doc docs)
  set(kit_example example)
  install(FILES $<TARGET_FILE:impborl> $<TARGET_FILE:sample_saver> $<TARGET_FILE:flashax> DESTINATION .)
  set(SSI_HOST_SSBUILD "${CMAKE_SOURCE_DIR}/build/release/tools/ssbuild/ssbuild" CACHE FILEPATH
      "A native ssbuild that writes the Windows kit's example project")
  find_program(SSI_WINE wine)
  if(EXISTS "${SSI_HOST_SSBUILD}")
    set(kit_init "${SSI_HOST_SSBUILD}")
  elseif(SSI_WINE)
    # A prefix of its own: the kit never touches the user's ~/.wine.
    set(kit_init "${CMAKE_COMMAND};-E;env;WINEPREFIX=${CMAKE_BINARY_DIR}/kit-wine-prefix;WINEARCH=win32;WINEDEBUG=-all;${SSI_WINE};$<TARGET_FILE:ssbuild>")
  endif()
  set(CPACK_SYSTEM_NAME win32)
else()
  include(GNUInstallDirs)
  set(kit_bin ${CMAKE_INSTALL_BINDIR})
  set(kit_doc ${CMAKE_INSTALL_DATADIR}/doc/ssbuild)
  set(kit_example ${CMAKE_INSTALL_DATADIR}/ssbuild/example)
  set(kit_init "$<TARGET_FILE:ssbuild>")
  set(CPACK_SYSTEM_NAME linux)
endif()

install(TARGETS ssbuild RUNTIME DESTINATION ${kit_bin})
set(SSI_WEB_PAGE "${CMAKE_SOURCE_DIR}/build/web/ssbuild.html" CACHE FILEPATH
    "The builder's web page that the kit carries (scripts/build-web.sh)")
if(WIN32)
  install(FILES ${SSI_WEB_PAGE} DESTINATION . OPTIONAL)
else()
  install(FILES ${SSI_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/ssbuild OPTIONAL)
endif()
# The author's guide and its pictures, not the developers' README.
install(FILES ${CMAKE_SOURCE_DIR}/docs/authors-guide.md DESTINATION ${kit_doc})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images DESTINATION ${kit_doc})
install(FILES ${CMAKE_SOURCE_DIR}/tools/ssbuild/README.md DESTINATION ${kit_doc} RENAME ssbuild.md)
if(kit_init)
  install(CODE "
    set(example \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${kit_example}\")
    file(REMOVE_RECURSE \"\${example}\")
    execute_process(COMMAND ${kit_init} init -q \"\${example}\" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR \"ssbuild init \${example} failed\")
    endif()")
else()
  message(STATUS "kit: no way to run ssbuild here, so the Windows kit has no example project")
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ssbuild-kit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
