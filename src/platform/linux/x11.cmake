# Host desktop over X11/EWMH with XTest input, hot keys by key grabs, XDG autostart, /proc.
find_package(X11 REQUIRED)
if(NOT X11_XTest_FOUND OR NOT X11_Xext_FOUND OR NOT X11_xcb_FOUND)
    message(FATAL_ERROR "The Linux backend needs libxtst-dev, libxext-dev and libxcb1-dev (scripts/setup-deps)")
endif()
set(_x11_dir ${CMAKE_CURRENT_LIST_DIR})
list(APPEND ZK_LINUX_SOURCES
    ${_x11_dir}/LinuxProcesses.cpp ${_x11_dir}/LinuxProcesses.h
    ${_x11_dir}/LinuxRegistry.h
    ${_x11_dir}/LinuxServices.cpp ${_x11_dir}/LinuxServices.h
    ${_x11_dir}/VirtualKeys.cpp ${_x11_dir}/VirtualKeys.h
    ${_x11_dir}/X11Desktop.cpp ${_x11_dir}/X11Desktop.h
    ${_x11_dir}/X11Errors.cpp ${_x11_dir}/X11Errors.h
    ${_x11_dir}/X11ForegroundHook.cpp ${_x11_dir}/X11ForegroundHook.h
    ${_x11_dir}/X11Hotkeys.cpp ${_x11_dir}/X11Hotkeys.h
    ${_x11_dir}/XdgAutostart.cpp ${_x11_dir}/XdgAutostart.h)
list(APPEND ZK_LINUX_LIBS X11::X11 X11::Xtst X11::Xext X11::xcb)
