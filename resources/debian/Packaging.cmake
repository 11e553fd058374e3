# The Debian package: `cpack -G DEB` in a build folder (./package.sh does
# it all) makes halvarin_<version>_<arch>.deb from what `cmake --install`
# installs. Name, maintainer and description come from the program identity
# through package.cmake; the dependencies are worked out from the binaries by
# dpkg-shlibdeps (package dpkg-dev).
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
if(NOT HALVARIN_IDENTITY_VERSION STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "project() says version ${PROJECT_VERSION}, the program identity "
                      "${HALVARIN_IDENTITY_VERSION} (ui/about/ProgramIdentity.h)")
endif()

set(HALVARIN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${HALVARIN_PACKAGE_NAME})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_CURRENT_LIST_DIR}/changelog
        DESTINATION ${HALVARIN_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${HALVARIN_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${HALVARIN_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION ${HALVARIN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION ${HALVARIN_PACKAGE_SECTION})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
# Debian keeps man pages and changelogs compressed; cmake --install leaves
# them plain, so they are compressed in the package's staging tree only.
set(CPACK_HALVARIN_COMPRESS_PATHS ${CMAKE_INSTALL_MANDIR}/man1/halvarin.1
    ${CMAKE_INSTALL_MANDIR}/man1/halvarin-grp.1 ${HALVARIN_DOC_DIR}/changelog)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CompressDocs.cmake)
include(CPack)
