# The Windows program ready to run and to package: <build>/deploy holds zentrikclock.exe with Qt's
# DLLs and plugins and the compiler's runtime DLLs (cmake/ZkWindowsDeploy.cmake); the installer
# packs that folder (packaging/windows).
get_filename_component(ZK_QT_PREFIX ${Qt5_DIR}/../../.. ABSOLUTE)
set(ZK_DEPLOY_DIR ${CMAKE_BINARY_DIR}/deploy)
add_custom_target(zentrikclock_deploy
    COMMAND ${CMAKE_COMMAND} -DZK_EXE=$<TARGET_FILE:zentrikclock> -DZK_QT_PREFIX=${ZK_QT_PREFIX}
            -DZK_RUNTIME_DIR=${ZK_QT_PREFIX}/runtime -DZK_DEPLOY_DIR=${ZK_DEPLOY_DIR}
            -P ${PROJECT_SOURCE_DIR}/cmake/ZkWindowsDeploy.cmake
    DEPENDS zentrikclock
    VERBATIM)

# The installer, <build>/zentrikclock-<version>-setup.exe, from that folder (Debian's nsis).
find_program(ZK_MAKENSIS makensis)
if(ZK_MAKENSIS)
    set(ZK_INSTALLER ${CMAKE_BINARY_DIR}/zentrikclock-${PROJECT_VERSION}-setup.exe)
    add_custom_target(zentrikclock_installer
        COMMAND ${ZK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DDEPLOY_DIR=${ZK_DEPLOY_DIR}
                -DICON=${PROJECT_SOURCE_DIR}/src/resources/img/appicon.ico -DOUTFILE=${ZK_INSTALLER}
                ${PROJECT_SOURCE_DIR}/packaging/windows/zentrikclock.nsi
        DEPENDS zentrikclock_deploy
        BYPRODUCTS ${ZK_INSTALLER}
        VERBATIM)
else()
    message(STATUS "Windows installer skipped: makensis not found (scripts/setup-deps installs nsis)")
endif()
