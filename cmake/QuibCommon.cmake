# Settings shared by the host and the Windows configurations.
include_guard(GLOBAL)

# The project's own code builds without warnings; third-party code is left alone.
function(quib_strict target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wno-missing-field-initializers -Werror)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# A GoogleTest program. On the host it runs directly; in the Windows configuration CTest
# runs it under Wine through the cross-compiling emulator, as one test per program: in the
# shared Wine session, or with OWN_SESSION in one of its own (a test that starts the program).
function(quib_test name)
    cmake_parse_arguments(ARG "OWN_SESSION" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    quib_strict(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} gtest gtest_main)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    if(WIN32 AND ARG_OWN_SESSION)
        quib_wine_session_test(${name})
    elseif(WIN32)
        quib_wine_test(${name})
    endif()
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()
