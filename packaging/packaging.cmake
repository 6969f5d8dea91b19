# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where, and the Debian package CPack builds from it.
include(GNUInstallDirs)

set(TELVANE_APP_ID org.velmora.Telvane)
set(TELVANE_MAINTAINER "Telvane maintainers <telvane@velmora-drives.example>"
    CACHE STRING "Maintainer named in the Debian package")
set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})
set(packaging_build_dir ${CMAKE_BINARY_DIR}/packaging)
# Directories made on installation get 0755 whatever the umask of the one who installs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS telvane telvane-decode RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${packaging_dir}/${TELVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_dir}/${TELVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(appicon_dir ${CMAKE_SOURCE_DIR}/resources/appicon)
foreach(size 16 32 48 64 128 256)
    install(FILES ${appicon_dir}/${TELVANE_APP_ID}-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${TELVANE_APP_ID}.png)
endforeach()
install(FILES ${appicon_dir}/${TELVANE_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages and the changelog are installed gzipped (-n: no name or time stamp inside), as
# Debian requires; the version in the pages comes from the project.
find_program(GZIP_PROGRAM gzip)
if(NOT GZIP_PROGRAM)
    message(FATAL_ERROR "gzip is needed to compress the manual pages")
endif()
set(compressed_docs)
foreach(page telvane telvane-decode)
    configure_file(${packaging_dir}/${page}.1.in ${packaging_build_dir}/${page}.1 @ONLY)
    list(APPEND compressed_docs ${packaging_build_dir}/${page}.1)
endforeach()
configure_file(${packaging_dir}/changelog ${packaging_build_dir}/changelog COPYONLY)
list(APPEND compressed_docs ${packaging_build_dir}/changelog)

set(compressed_outputs)
foreach(doc ${compressed_docs})
    add_custom_command(OUTPUT ${doc}.gz
                       COMMAND ${GZIP_PROGRAM} -9 -n -f -k ${doc}
                       DEPENDS ${doc}
                       VERBATIM)
    list(APPEND compressed_outputs ${doc}.gz)
endforeach()
add_custom_target(packaging_docs ALL DEPENDS ${compressed_outputs})

install(FILES ${packaging_build_dir}/telvane.1.gz ${packaging_build_dir}/telvane-decode.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/telvane)
install(FILES ${packaging_dir}/copyright ${packaging_build_dir}/changelog.gz
        DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME telvane)
set(CPACK_PACKAGE_VENDOR "Velmora Drives")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for drive-commissioning communication logs")
# Debian wants the long description in lines of at most 80 characters; CPack keeps the breaks.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Telvane shows the communication logs that the Brantel drive-commissioning\n"
    "tool writes while it talks to drives, several side by side. Beside every\n"
    "telegram line it writes a decoded one-line summary with an icon (PROFIdrive\n"
    "over PROFIBUS DP-V1, the plain and framed serial telegrams); the selected\n"
    "line's details show below the log. One search bar finds plain text, hex\n"
    "bytes or parameter ids, and a results pane lists every match.\n"
    "\n"
    "It also decodes the fault records of a drive's safety option, and the\n"
    "command-line tool telvane-decode prints the decoded details for scripts.")
set(CPACK_PACKAGE_CONTACT "${TELVANE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TELVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
include(CPack)
