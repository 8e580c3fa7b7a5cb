# Install rules (cmake --install) and the package built from the same build
# (cmake --build <dir> --target package, or cpack in <dir>): the Debian
# package on Linux, the download zip for Windows.
include(GNUInstallDirs)

# Tellmar-<version>-win64.zip: one folder with the program, the README, the
# license and the manual as text (doc/CMakeLists.txt). The simulator and the
# Debian package belong to the Linux build.
if(WIN32)
  install(TARGETS tellmar RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME Tellmar)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME Tellmar-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

install(TARGETS tellmar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(TARGETS tellmar-modemsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Where bash-completion looks for the completion of a command, loaded when
# the command is first completed.
install(FILES packaging/bash-completion/tellmar
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# The service that runs `tellmar sms watch`; where Debian 12's systemd
# looks for the units of packages. Not enabled on installation.
install(FILES packaging/systemd/tellmar-watch.service DESTINATION /lib/systemd/system)
install(FILES tools/modemsim/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.modemsim.md)
install(FILES tools/modemsim/demo.json DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The copyright file in Debian's machine-readable format, made from LICENSE:
# its "Copyright (c) ..." line and the permission text below it.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licenseText)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" copyrightLine "${licenseText}")
set(copyrightHolder "${CMAKE_MATCH_1}")
string(FIND "${licenseText}" "Permission is hereby granted" permissionStart)
if(NOT copyrightHolder OR permissionStart EQUAL -1)
  message(FATAL_ERROR "LICENSE is not the MIT license text this build expects")
endif()
string(SUBSTRING "${licenseText}" ${permissionStart} -1 permissionText)
string(STRIP "${permissionText}" permissionText)
string(REGEX REPLACE "\n\n" "\n.\n" permissionText "${permissionText}")
string(REGEX REPLACE "\n" "\n " permissionText "${permissionText}")
file(WRITE ${PROJECT_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}

Files: *
Copyright: ${copyrightHolder}
License: Expat
 ${permissionText}
")
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The changelog of the package, compressed as Debian keeps it. Its newest
# entry names the version being built: packaging/changelog.in writes it as
# @PROJECT_VERSION@ (the older entries keep their own numbers).
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog.in changelogTop LIMIT_COUNT 1)
if(NOT changelogTop MATCHES "^tellmar \\(@PROJECT_VERSION@\\) ")
  message(FATAL_ERROR "packaging/changelog.in starts with '${changelogTop}', not the version being built")
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
find_program(GZIP_EXECUTABLE gzip)
if(GZIP_EXECUTABLE)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${PROJECT_BINARY_DIR}/changelog
            > ${PROJECT_BINARY_DIR}/changelog.gz
    DEPENDS ${PROJECT_BINARY_DIR}/changelog)
  add_custom_target(changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
  install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tellmar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Corvel <tellmar@corvel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console tool for SMS modems on serial ports")
set(CPACK_PACKAGE_DESCRIPTION
"Tellmar scans every serial port at once, recognises which modem answers on
each (GSM modems built on the Quectel M35, Yuga CLM920_NC5, Huawei ME909s-821,
Huawei MG301 and Wavecom Q2406B modules, and a CDMA modem built on the Huawei
MC323), shows each port's line speed, state, SIM card number, signal and
serial number (IMEI) in a table, and model, operator and state as JSON, sends
SMS (PDU mode, UCS-2, concatenated long texts) and reads or clears the
messages stored in the modems and on their SIM cards. Without arguments it is
an interactive console; with arguments it prints one JSON document.

The modems' serial ports are usually open to root and to the dialout group
only: add the users of tellmar to that group (adduser USER dialout).

The unit tellmar-watch.service (not enabled on installation) runs
tellmar sms watch, which keeps every message in a store under
/var/lib/tellmar before it deletes it from its modem, and writes it as a JSON
line to the journal.

The package also holds tellmar-modemsim, a simulator of these modems on
pseudo-terminals for trying tellmar without hardware.")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
