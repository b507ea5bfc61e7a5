# The Debian package: "cpack -G DEB" in the build directory writes zentrikclock_<version>_<arch>.deb
# with what cmake/ZkInstallLinux.cmake installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zentrikclock)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "灵拓软件")
set(CPACK_PACKAGE_CONTACT "灵拓软件 <support@zentrik.com.cn>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop clock and companion of the Zentrik USB trading keyboard")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ZentrikClock (灵拓键盘专业版) shows a small always-on-top clock
and talks to one or several Zentrik trading keyboards over USB HID: their
state, key map, parameters and trading mode. On Linux it is the clock and the
keyboard's configurator; a demo mode (zentrikclock --demo) runs it on a
simulated keyboard beside a simulated trading client.
.
The package installs a udev rule that gives the logged-in user access to the
keyboard, a desktop entry and the program's icon.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.zentrik.com.cn")
# The libraries the program links come from dpkg-shlibdeps; the Qt plugins it loads at run time
# are named here: the SQLite driver of the stock table is needed, sound and speech are wanted.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5sql5-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libqt5multimedia5-plugins, qtspeech5-speechd-plugin | qtspeech5-flite-plugin, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/deb/postinst ${PROJECT_SOURCE_DIR}/packaging/deb/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
