# Settings shared by the host and the Windows configurations.
include_guard(GLOBAL)

# The project's own code builds without warnings; third-party code is left alone.
function(quib_strict target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wno-missing-field-initializers -Werror)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# A GoogleTest program. On the host it runs directly; in the Windows configuration CTest
# runs it under Wine through the cross-compiling emulator, as one test per program.
function(quib_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    quib_strict(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} gtest gtest_main)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    if(WIN32)
        quib_wine_test(${name})
    endif()
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()
