# The Windows installer and the portable zip of the mingw-w64 build:
# `cmake --build BUILD --target windows_packages` (./package.sh does it)
# leaves halvarin-<version>-win64-setup.exe and halvarin-<version>-win64.zip
# in BUILD. Both are made from one folder, BUILD/windows-package: the two
# programs stripped, the sample archive, README.txt and LICENSE.txt. The
# installer is installer.nsi compiled by makensis (Debian's nsis).
include(${PROJECT_SOURCE_DIR}/resources/debian/package.cmake)
if(NOT HALVARIN_IDENTITY_VERSION STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "project() says version ${PROJECT_VERSION}, the program identity "
                      "${HALVARIN_IDENTITY_VERSION} (ui/about/ProgramIdentity.h)")
endif()

find_program(HALVARIN_MAKENSIS makensis)
if(NOT TARGET halvarin OR NOT HALVARIN_MAKENSIS OR NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(STATUS "No Windows installer and zip: they need halvarin.exe in this build, "
                 "makensis (package nsis) and wine to write the sample archive")
  return()
endif()

set(stage ${PROJECT_BINARY_DIR}/windows-package)
set(base ${PROJECT_BINARY_DIR}/halvarin-${PROJECT_VERSION}-win64)
set(staged ${stage}/halvarin.exe ${stage}/halvarin-grp.exe ${stage}/sample.grp)

# The texts with Windows line ends, rewritten only when they change.
foreach(text README.txt LICENSE.txt)
  file(GENERATE OUTPUT ${stage}/${text} INPUT ${CMAKE_CURRENT_LIST_DIR}/${text} NEWLINE_STYLE CRLF)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${text})
  list(APPEND staged ${stage}/${text})
endforeach()

# The sample archive is written by the build's own writer, run under wine in
# the build folder's own prefix (the one test.sh uses).
add_custom_command(OUTPUT ${stage}/halvarin.exe ${stage}/halvarin-grp.exe ${stage}/sample.grp
  COMMAND ${CMAKE_STRIP} -o ${stage}/halvarin.exe $<TARGET_FILE:halvarin>
  COMMAND ${CMAKE_STRIP} -o ${stage}/halvarin-grp.exe $<TARGET_FILE:halvarin-grp>
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${PROJECT_BINARY_DIR}/wine WINEDEBUG=-all
          WINEDLLOVERRIDES=winemenubuilder.exe=d
          ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:halvarin_make_sample> ${stage}/sample.grp
  DEPENDS halvarin halvarin-grp halvarin_make_sample
  COMMENT "Gathering the files of the Windows installer and zip"
  VERBATIM)

add_custom_command(OUTPUT ${base}-setup.exe
  COMMAND ${HALVARIN_MAKENSIS} -V2 -DHALVARIN_STAGE=${stage} -DHALVARIN_OUTFILE=${base}-setup.exe
          -DHALVARIN_ICON=${PROJECT_SOURCE_DIR}/resources/halvarin.ico
          ${CMAKE_CURRENT_LIST_DIR}/installer.nsi
  DEPENDS ${staged} ${CMAKE_CURRENT_LIST_DIR}/installer.nsi ${CMAKE_CURRENT_LIST_DIR}/identity.nsh
          ${PROJECT_SOURCE_DIR}/resources/halvarin.ico
  COMMENT "Compiling the Windows installer"
  VERBATIM)

# The files at the zip's top: Explorer's "Extract all" puts them in a folder
# named after the zip.
add_custom_command(OUTPUT ${base}.zip
  COMMAND ${CMAKE_COMMAND} -E tar cf ${base}.zip --format=zip -- halvarin.exe halvarin-grp.exe
          sample.grp README.txt LICENSE.txt
  WORKING_DIRECTORY ${stage}
  DEPENDS ${staged}
  COMMENT "Packing the portable zip"
  VERBATIM)

add_custom_target(windows_packages DEPENDS ${base}-setup.exe ${base}.zip)
