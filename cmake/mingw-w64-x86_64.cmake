# Cross build for 64-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-x86-64):
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DZK_PLATFORM_ONLY=ON
# the Qt-free platform layer and its tests, or the whole program with the Qt of
# scripts/windows-toolchain:
#   cmake -S . -B build-mingw-app -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DCMAKE_PREFIX_PATH=<toolchain> -DZK_BUILD_TESTS=OFF
# The Qt-free binaries are linked statically, so they run under Wine (or on Windows) without the
# toolchain's runtime DLLs. The program shares those DLLs with Qt's (one C++ runtime in the
# process); they lie beside it in its deploy folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZK_MINGW_TRIPLE x86_64-w64-mingw32)
# The "-posix" compilers: GCC 12's default win32 thread model has no std::thread or std::mutex.
find_program(CMAKE_C_COMPILER NAMES ${ZK_MINGW_TRIPLE}-gcc-posix ${ZK_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${ZK_MINGW_TRIPLE}-g++-posix ${ZK_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ZK_MINGW_TRIPLE}-windres)

# Qt for mingw lives outside the compiler's root: its prefix is a root of its own.
set(CMAKE_FIND_ROOT_PATH /usr/${ZK_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(ZK_PLATFORM_ONLY)
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()
