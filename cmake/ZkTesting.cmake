# zk_add_qtest(<name> SOURCES <files...> [LIBS <targets...>] [GUI] [TIMEOUT <seconds>] [LABELS <labels...>])
#
# One QtTest executable registered with ctest. Every test runs with its own throw-away HOME and
# XDG directories (see tests/common/ZkTest.h), so no test ever touches the user's real files.
# GUI tests need an X display (scripts/test runs ctest under Xvfb); the others use the
# offscreen platform plugin. GUI tests run one at a time (RESOURCE_LOCK x_display).
function(zk_add_qtest name)
    cmake_parse_arguments(ARG "GUI" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE zk_test_common Qt5::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    math(EXPR ARG_TIMEOUT "${ARG_TIMEOUT} * ${ZK_TEST_TIMEOUT_SCALE}")
    set(env "ZK_TEST_TMP=${CMAKE_BINARY_DIR}/test-home")
    if(NOT ARG_GUI)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${env}")
    if(ARG_GUI)
        # All GUI tests share one X server: global key grabs and synthetic input of one test
        # must not land in another's windows, so they take turns (as the Wine leg does).
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK x_display)
    endif()
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()
