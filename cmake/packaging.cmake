# `make package` (or `cpack` in a build folder): a Debian package of the installed layout.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellix-kit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Pellix)
set(CPACK_PACKAGE_CONTACT "Pellix service tools <service@pellix.example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for the Pellix coin hopper")
set(CPACK_PACKAGE_DESCRIPTION
    "Tests and configures a Pellix coin hopper over RS232: coin number setting,\n\
TZV protocol testing, China interface (CNY mode) testing, hardware self-test\n\
and flash record, the manual, and service records of every hopper. Includes\n\
pellix-line, which tests and programs many hoppers at once without windows,\n\
and pellix-hopper-emulator, hoppers on pseudo-terminals.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # pellix-kit_3.0.3_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries come from dpkg-shlibdeps; the font is for the Chinese status texts
# ("RS232 開啟"), which Qt would otherwise draw as boxes.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, libqt6sql6-sqlite")
# The service records on a shared PostgreSQL server need its driver.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
# Serial access comes from the dialout group (see README): nothing to run at install time.

include(CPack)
