# Debian package: cpack --config build/CPackConfig.cmake -G DEB
# gives vantrel_<version>_<arch>.deb with everything the install rules put in place.
set(CPACK_PACKAGE_NAME "vantrel")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Vantrel")
set(CPACK_PACKAGE_CONTACT "Vantrel developers <maintainers@vantrel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for the Vantrel gaming keyboard")
set(CPACK_PACKAGE_DESCRIPTION
    "Vantrel configures one USB gaming keyboard (vendor 0x0C45, product\n"
    "0x7666): key and G-key assignments of its three on-board profiles,\n"
    "macros stored on the keyboard, lighting effects and per-key colours,\n"
    "the active profile and the USB report rate, and backup and restore of\n"
    "the whole configuration as profile files.\n"
    "\n"
    "It is a tray program with skinned windows, plus vantrelctl, which does\n"
    "the same work from a shell. The package installs a udev rule that gives\n"
    "the logged-in user access to the keyboard.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_GENERATOR "DEB")

set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# Library dependencies computed from the binaries by dpkg-shlibdeps, plus Qt's Wayland
# platform plugin, which no binary links but which a Wayland desktop needs to show the
# windows natively.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts (message-box buttons, file dialogs) in the languages the program offers.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-wayland, qt6-translations-l10n")
# GNOME shows no tray icons without the AppIndicator extension.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-shell-extension-appindicator")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_SOURCE_DIR}/postinst" "${CMAKE_CURRENT_SOURCE_DIR}/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
