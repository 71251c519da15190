# One test tree for both builds: a test source named *PosixTest.cpp is built
# for Linux only, one named *WindowsTest.cpp for Windows only, and every other
# *Test.cpp of the folder for both.
function(platform_test_sources out)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
    if(WIN32)
        list(FILTER sources EXCLUDE REGEX "PosixTest\\.cpp$")
    else()
        list(FILTER sources EXCLUDE REGEX "WindowsTest\\.cpp$")
    endif()
    set(${out} ${sources} PARENT_SCOPE)
endfunction()

# Each case a test of its own. Under Wine (the emulator) GUI cases run one at
# a time: real key presses go to whichever program's window is in front, and
# all of Wine's programs share one screen.
function(discover_tests target)
    cmake_parse_arguments(ARG "GUI" "" "" ${ARGN})
    if(NOT WIN32)
        gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST)
        return()
    endif()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES TIMEOUT 120 RUN_SERIAL ${ARG_GUI})
endfunction()
