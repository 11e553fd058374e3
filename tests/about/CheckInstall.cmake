# Installs the build into a scratch prefix and checks that the programs, man
# page, desktop files and icons are where desktops and man look for them.
# Variables: BUILD (the build folder), PREFIX (a scratch folder).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
include(GNUInstallDirs)
foreach(path bin/halvarin bin/halvarin-grp ${CMAKE_INSTALL_MANDIR}/man1/halvarin-grp.1
    share/applications/org.halvarin.Halvarin.desktop share/metainfo/org.halvarin.Halvarin.metainfo.xml
    share/icons/hicolor/32x32/apps/halvarin.png share/icons/hicolor/scalable/apps/halvarin.svg)
  if(NOT result EQUAL 0 OR NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "cmake --install failed or did not install ${path}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
