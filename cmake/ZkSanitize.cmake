# ZK_SANITIZE=address|thread builds every native target with sanitizers, to run the test suite
# under them (scripts/test does so with ZK_SANITIZE set; docs/testing.md).
#   address  AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer; any UB aborts.
#   thread   ThreadSanitizer.
# Qt and the system libraries are not instrumented; the suppressions in tests/sanitizers cover
# reports that lie entirely inside them.
set(ZK_SANITIZE "" CACHE STRING "Build with sanitizers: address (ASan+UBSan) or thread (TSan)")
set_property(CACHE ZK_SANITIZE PROPERTY STRINGS "" address thread)

# Real-time tests run several times slower instrumented; their ctest timeouts scale by this.
set(ZK_TEST_TIMEOUT_SCALE 1)

# Called once Qt is found, before the targets are made: under TSan every program gets
# tests/sanitizers/TsanQt.cpp, which shows the sanitizer Qt's thread joins and event hand-overs.
function(zk_sanitize_qt)
    if(NOT ZK_SANITIZE STREQUAL "thread")
        return()
    endif()
    add_library(zk_tsan_qt SHARED ${PROJECT_SOURCE_DIR}/tests/sanitizers/TsanQt.cpp)
    target_link_libraries(zk_tsan_qt PRIVATE Qt5::Core ${CMAKE_DL_LIBS})
    link_libraries(zk_tsan_qt)
endfunction()

if(ZK_SANITIZE STREQUAL "")
    return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang|GNU")
    message(FATAL_ERROR "ZK_SANITIZE needs clang or gcc")
endif()

if(ZK_SANITIZE STREQUAL "address")
    set(ZK_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined)
    set(ZK_TEST_TIMEOUT_SCALE 3)
elseif(ZK_SANITIZE STREQUAL "thread")
    set(ZK_SANITIZE_FLAGS -fsanitize=thread)
    set(ZK_TEST_TIMEOUT_SCALE 5)
else()
    message(FATAL_ERROR "ZK_SANITIZE must be address or thread, not '${ZK_SANITIZE}'")
endif()
add_compile_options(${ZK_SANITIZE_FLAGS} -fno-omit-frame-pointer)
add_link_options(${ZK_SANITIZE_FLAGS})
message(STATUS "Sanitizers: ${ZK_SANITIZE_FLAGS}")
