# The Windows program ready to run and to package: <build>/deploy holds zentrikclock.exe with Qt's
# DLLs and plugins and the compiler's runtime DLLs (cmake/ZkWindowsDeploy.cmake); the installer
# packs that folder (packaging/windows). Both are remade only when the program or their scripts
# change.
get_filename_component(ZK_QT_PREFIX ${Qt5_DIR}/../../.. ABSOLUTE)
set(ZK_DEPLOY_DIR ${CMAKE_BINARY_DIR}/deploy)
set(ZK_DEPLOY_STAMP ${CMAKE_CURRENT_BINARY_DIR}/zentrikclock_deploy.stamp)
add_custom_command(OUTPUT ${ZK_DEPLOY_STAMP}
    COMMAND ${CMAKE_COMMAND} -DZK_EXE=$<TARGET_FILE:zentrikclock> -DZK_QT_PREFIX=${ZK_QT_PREFIX}
            -DZK_RUNTIME_DIR=${ZK_QT_PREFIX}/runtime -DZK_DEPLOY_DIR=${ZK_DEPLOY_DIR} -DZK_STRIP=${CMAKE_STRIP}
            -P ${PROJECT_SOURCE_DIR}/cmake/ZkWindowsDeploy.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${ZK_DEPLOY_STAMP}
    DEPENDS zentrikclock ${PROJECT_SOURCE_DIR}/cmake/ZkWindowsDeploy.cmake
    VERBATIM)
add_custom_target(zentrikclock_deploy DEPENDS ${ZK_DEPLOY_STAMP})

# The installer, <build>/zentrikclock-<version>-setup.exe, from that folder (Debian's nsis).
find_program(ZK_MAKENSIS makensis)
if(ZK_MAKENSIS)
    set(ZK_INSTALLER ${CMAKE_BINARY_DIR}/zentrikclock-${PROJECT_VERSION}-setup.exe)
    set(ZK_NSIS_SCRIPT ${PROJECT_SOURCE_DIR}/packaging/windows/zentrikclock.nsi)
    set(ZK_ICON ${PROJECT_SOURCE_DIR}/src/resources/img/appicon.ico)
    add_custom_command(OUTPUT ${ZK_INSTALLER}
        COMMAND ${ZK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DDEPLOY_DIR=${ZK_DEPLOY_DIR}
                -DICON=${ZK_ICON} -DOUTFILE=${ZK_INSTALLER} ${ZK_NSIS_SCRIPT}
        DEPENDS ${ZK_DEPLOY_STAMP} ${ZK_NSIS_SCRIPT} ${ZK_ICON}
        VERBATIM)
    add_custom_target(zentrikclock_installer DEPENDS ${ZK_INSTALLER})
else()
    message(STATUS "Windows installer skipped: makensis not found (scripts/setup-deps installs nsis)")
endif()
