# Puts the Windows program and everything it needs to run into one folder (what windeployqt does
# on Windows, for the files this program uses):
#   cmake -DZK_EXE=<zentrikclock.exe> -DZK_QT_PREFIX=<Qt for mingw> -DZK_RUNTIME_DIR=<dir of the
#         compiler's runtime DLLs> -DZK_DEPLOY_DIR=<folder> -P cmake/ZkWindowsDeploy.cmake
# The folder is made afresh each time, so nothing stale is shipped. Its qt.conf points Qt at the
# folder itself: Qt's built-in prefix (the toolchain on the build machine) is never consulted, so
# a missing plugin shows under Wine as it would on a user's machine.
foreach(var ZK_EXE ZK_QT_PREFIX ZK_RUNTIME_DIR ZK_DEPLOY_DIR)
    if(NOT ${var})
        message(FATAL_ERROR "ZkWindowsDeploy: ${var} not set")
    endif()
endforeach()

set(qt_libraries Core Gui Widgets Network Sql Multimedia)
# The plugins the program loads: the window system, the native style, the .ico pictures of its
# menus (PNG is built into Qt), the stock table's SQLite driver, and the audio output that
# QSoundEffect plays through.
set(qt_plugins
    platforms/qwindows.dll
    styles/qwindowsvistastyle.dll
    imageformats/qico.dll
    sqldrivers/qsqlite.dll
    audio/qtaudio_windows.dll)

file(REMOVE_RECURSE ${ZK_DEPLOY_DIR})
file(MAKE_DIRECTORY ${ZK_DEPLOY_DIR})
file(COPY ${ZK_EXE} DESTINATION ${ZK_DEPLOY_DIR})
foreach(library ${qt_libraries})
    file(COPY ${ZK_QT_PREFIX}/bin/Qt5${library}.dll DESTINATION ${ZK_DEPLOY_DIR})
endforeach()
foreach(plugin ${qt_plugins})
    get_filename_component(folder ${plugin} DIRECTORY)
    if(NOT EXISTS ${ZK_QT_PREFIX}/plugins/${plugin})
        message(FATAL_ERROR "ZkWindowsDeploy: Qt plugin ${plugin} missing in ${ZK_QT_PREFIX}/plugins")
    endif()
    file(COPY ${ZK_QT_PREFIX}/plugins/${plugin} DESTINATION ${ZK_DEPLOY_DIR}/${folder})
endforeach()
file(GLOB runtime ${ZK_RUNTIME_DIR}/*.dll)
if(NOT runtime)
    message(FATAL_ERROR "ZkWindowsDeploy: no runtime DLLs in ${ZK_RUNTIME_DIR}")
endif()
file(COPY ${runtime} DESTINATION ${ZK_DEPLOY_DIR})
file(WRITE ${ZK_DEPLOY_DIR}/qt.conf "[Paths]\nPrefix = .\nPlugins = .\n")
message(STATUS "ZkWindowsDeploy: ${ZK_DEPLOY_DIR}")
