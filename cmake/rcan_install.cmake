# Desktop integration, the adapter's udev rule and the Debian package. The program, its
# translation and its pictures are installed by the top file and rcan_runtime.cmake.
#
# The program looks for its files under the prefix it was configured with, so a package is built
# from a tree configured for where the package puts them:
#   cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
#         -DRCAN_BUILD_TESTS=OFF -DRCAN_BUILD_TOOLS=OFF
#   cmake --build build-deb && (cd build-deb && cpack -G DEB)

# udev reads rules only from /usr/lib, /lib and /etc, whatever the prefix; a relative value is
# taken under the prefix.
set(RCAN_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING "Where the adapter's udev rule goes")

install(FILES ${CMAKE_SOURCE_DIR}/packaging/rcan-tools.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/rcan-tools.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/70-rcan-tools.rules
        DESTINATION ${RCAN_UDEV_RULES_DIR})
# rcan-cli itself is installed by cli/CMakeLists.txt; the service is an example to adapt.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/rcan-capture@.service
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_PACKAGE_NAME rcan-tools)
set(CPACK_PACKAGE_VENDOR "RCAN Tools")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CAN bus analyser for the RCAN-U01 USB-CAN adapter")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Opens the two-channel RCAN-U01 adapter (USB serial port, product 0x5722), starts each CAN\n"
    "channel at a standard or calculated bit rate, shows received and sent frames in a\n"
    "filterable table, sends frames once or repeatedly, records traffic to text logs and shows\n"
    "bus load per channel. Chinese interface with an English translation; --simulate runs it\n"
    "on a built-in virtual adapter. rcan-cli captures, sends, replays and converts without a\n"
    "display.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "RCAN Tools developers <rcan-tools@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The interface is Chinese first: without a CJK font every caption is boxes, and without Qt's
# translations its file dialogs and message boxes stay English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, qttranslations5-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
