# HID interfaces of the keyboard: hidapi over hidraw for enumeration and I/O, libudev for arrival
# and removal (scripts/setup-deps installs libhidapi-dev and libudev-dev).
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZK_HIDAPI REQUIRED IMPORTED_TARGET GLOBAL hidapi-hidraw)
pkg_check_modules(ZK_UDEV REQUIRED IMPORTED_TARGET GLOBAL libudev)
set(_hid_dir ${CMAKE_CURRENT_LIST_DIR})
list(APPEND ZK_LINUX_SOURCES
    ${_hid_dir}/LinuxHidApi.cpp ${_hid_dir}/LinuxHidApi.h
    ${_hid_dir}/LinuxHidPorts.cpp ${_hid_dir}/LinuxHidPorts.h)
list(APPEND ZK_LINUX_LIBS PkgConfig::ZK_HIDAPI PkgConfig::ZK_UDEV)
