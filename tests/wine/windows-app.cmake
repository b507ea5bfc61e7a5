# The Windows program itself, with the toolchain of scripts/windows-toolchain (ZK_WINDOWS_QT): an
# external project in <build>/mingw-app cross-builds zentrikclock.exe, its deploy folder and its
# installer with the same CMake files, and the tests below run them with Wine.
set(ZK_WINDOWS_QT "" CACHE PATH
    "Qt for mingw-w64 made by scripts/windows-toolchain; when set, the Windows program and its installer are built and tested under Wine")
if(NOT ZK_WINDOWS_QT)
    message(STATUS "Windows program skipped: ZK_WINDOWS_QT not set (scripts/test sets it)")
    return()
endif()
if(NOT EXISTS ${ZK_WINDOWS_QT}/.complete)
    message(FATAL_ERROR "ZK_WINDOWS_QT=${ZK_WINDOWS_QT} is not a finished toolchain of scripts/windows-toolchain")
endif()

set(ZK_MINGW_APP_DIR ${CMAKE_BINARY_DIR}/mingw-app)
set(ZK_MINGW_APP_ARGS)
foreach(launcher CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER)
    if(${launcher})
        list(APPEND ZK_MINGW_APP_ARGS -D${launcher}=${${launcher}})
    endif()
endforeach()
ExternalProject_Add(zk_mingw_app
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${ZK_MINGW_APP_DIR}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
        -DCMAKE_PREFIX_PATH=${ZK_WINDOWS_QT}
        -DZK_BUILD_TESTS=OFF
        -DZK_BUILD_BENCH=OFF
        -DCMAKE_BUILD_TYPE=Release
        ${ZK_MINGW_APP_ARGS}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target zentrikclock_installer
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    TEST_COMMAND "")

set(ZK_WINE_APP_TESTS
    wine_app_demo demo ${ZK_MINGW_APP_DIR}/deploy/zentrikclock.exe
    wine_app_installer installer ${ZK_MINGW_APP_DIR}/zentrikclock-${PROJECT_VERSION}-setup.exe)
while(ZK_WINE_APP_TESTS)
    list(POP_FRONT ZK_WINE_APP_TESTS name what program)
    add_test(NAME ${name}
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine-app.sh ${what} ${program} ${CMAKE_BINARY_DIR}/${name}.png)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_prefix RESOURCE_LOCK x_display TIMEOUT 300)
    list(APPEND ZK_WINE_TESTS ${name})
endwhile()
