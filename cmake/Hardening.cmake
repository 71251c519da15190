# Hardens the release builds as Debian's packages are: the compile and link
# flags of dpkg-buildflags with all its hardening (fortified functions, stack
# protector, full RELRO, immediate binding), and position-independent programs.
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

find_program(QUILLMARK_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT QUILLMARK_DPKG_BUILDFLAGS)
    message(WARNING "dpkg-buildflags not found (package dpkg-dev): the release build is not hardened")
    return()
endif()

function(quillmark_build_flags variable)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${QUILLMARK_DPKG_BUILDFLAGS} --get ${variable}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(${variable} ${flags} PARENT_SCOPE)
endfunction()

quillmark_build_flags(CPPFLAGS)
quillmark_build_flags(CXXFLAGS)
quillmark_build_flags(LDFLAGS)
set(release $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
foreach(flag IN LISTS CPPFLAGS CXXFLAGS)
    add_compile_options($<${release}:${flag}>)
endforeach()
foreach(flag IN LISTS LDFLAGS)
    add_link_options($<${release}:${flag}>)
endforeach()
