# Installs the build into a scratch prefix and checks that the programs, man
# pages, desktop entry, metainfo, icons, MIME type and copyright file are
# where desktops and man look for them, and that the entry starts the
# installed command with the file it is given.
# Variables: BUILD (the build folder), PREFIX (a scratch folder).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
include(GNUInstallDirs)
set(share ${CMAKE_INSTALL_DATADIR})
foreach(path ${CMAKE_INSTALL_BINDIR}/halvarin ${CMAKE_INSTALL_BINDIR}/halvarin-grp
    ${CMAKE_INSTALL_MANDIR}/man1/halvarin-grp.1 ${CMAKE_INSTALL_MANDIR}/man1/halvarin.1
    ${share}/applications/org.halvarin.Halvarin.desktop
    ${share}/metainfo/org.halvarin.Halvarin.metainfo.xml
    ${share}/icons/hicolor/32x32/apps/halvarin.png ${share}/icons/hicolor/48x48/apps/halvarin.png
    ${share}/icons/hicolor/64x64/apps/halvarin.png ${share}/icons/hicolor/128x128/apps/halvarin.png
    ${share}/icons/hicolor/256x256/apps/halvarin.png
    ${share}/icons/hicolor/scalable/apps/halvarin.svg
    ${share}/mime/packages/org.halvarin.Halvarin.mime.xml ${share}/doc/halvarin/copyright)
  if(NOT result EQUAL 0 OR NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "cmake --install failed or did not install ${path}")
  endif()
endforeach()
file(READ ${PREFIX}/${share}/applications/org.halvarin.Halvarin.desktop entry)
if(NOT entry MATCHES "\nExec=halvarin %f\n" OR NOT entry MATCHES "\nIcon=halvarin\n")
  message(FATAL_ERROR "the desktop entry names another command or icon:\n${entry}")
endif()
file(REMOVE_RECURSE ${PREFIX})
