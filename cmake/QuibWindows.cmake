# The Windows configuration: static executables, Unicode, run under Wine by CTest.
include_guard(GLOBAL)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# No libstdc++, libgcc or winpthread DLLs beside any of our programs.
add_link_options(-static -static-libgcc -static-libstdc++)

# Wine sessions (scripts/wine-session): the wine_template fixture boots one prefix a build and
# keeps it pristine; every session's prefix is a copy of it. Tests that only need Wine share
# one session, one at a time on its desktop (quib_wine_test); whatever starts the program or
# needs a desktop of its own gets a session of its own and runs beside the others
# (quib_wine_session_test). After the last test, wine_sessions_check fails if a session was
# left behind or the template was written to.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(QUIB_WINE_SESSION_TOOL ${PROJECT_SOURCE_DIR}/scripts/wine-session)
set(QUIB_WINEPREFIX ${PROJECT_BINARY_DIR}/wine-sessions/shared/prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${PROJECT_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run)

add_test(NAME wine_template COMMAND ${QUIB_WINE_SESSION_TOOL} template ${PROJECT_BINARY_DIR})
add_test(NAME wine_session_start COMMAND ${QUIB_WINE_SESSION_TOOL} start ${PROJECT_BINARY_DIR})
add_test(NAME wine_session_stop COMMAND ${QUIB_WINE_SESSION_TOOL} stop ${PROJECT_BINARY_DIR})
add_test(NAME wine_sessions_check COMMAND ${QUIB_WINE_SESSION_TOOL} check ${PROJECT_BINARY_DIR})
set_tests_properties(wine_template PROPERTIES FIXTURES_SETUP wine_template)
set_tests_properties(wine_sessions_check PROPERTIES FIXTURES_CLEANUP wine_template)
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine FIXTURES_REQUIRED wine_template)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine FIXTURES_REQUIRED wine_template)

function(quib_wine_test name)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "wine_template;wine" RESOURCE_LOCK wine_desktop)
endfunction()

# quib_wine_session_test(name [fixture...]): the test's Wine programs run in a session named
# after the test (wine-run reads QUIB_WINE_SESSION); an e2e driver opens its own.
function(quib_wine_session_test name)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "wine_template;${ARGN}"
        ENVIRONMENT QUIB_WINE_SESSION=${name})
endfunction()

# The program's import library for QuibTPApi.dll, made from the same definition file as
# the stand-in library, so the program binds each entry by ordinal alone.
set(QUIB_TPAPI_DEF ${PROJECT_SOURCE_DIR}/link/QuibTPApi.def)
set(QUIB_TPAPI_IMPLIB ${PROJECT_BINARY_DIR}/lib/libQuibTPApi.a)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
add_custom_command(OUTPUT ${QUIB_TPAPI_IMPLIB}
    COMMAND ${CMAKE_DLLTOOL} -d ${QUIB_TPAPI_DEF} -l libQuibTPApi.a
    DEPENDS ${QUIB_TPAPI_DEF}
    # dlltool names the library's symbols after the path it is given: no build folder in them.
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/lib
    COMMENT "Import library for QuibTPApi.dll (by ordinal)")
add_custom_target(quib_tpapi_implib DEPENDS ${QUIB_TPAPI_IMPLIB})
add_library(QuibTPApi STATIC IMPORTED GLOBAL)
set_target_properties(QuibTPApi PROPERTIES IMPORTED_LOCATION ${QUIB_TPAPI_IMPLIB})
add_dependencies(QuibTPApi quib_tpapi_implib)

# --- The program's build: hardened, reproducible, with its debug information beside it ---

# The program's own code (status/, link/, tray/, app/): stack protection, and debug
# information for the symbol file. Paths of the source and build folders are left out of
# that information, so two builds in two folders give the same bytes: sources are named from
# the top of the tree (app/win_main.cpp), the build folder is "."; its map comes last and so
# wins for a build folder inside the tree.
set(QUIB_PROGRAM_COMPILE_OPTIONS -g -fstack-protector-strong
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}/= -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)

# The guard and the failure path of the stack protection come from quib_stack_guard
# (app/stack_guard.cpp), linked into whatever uses the program's code. -fstack-protector-strong
# stays off every link line: there the driver would add GCC's libssp.
function(quib_program_code)
    foreach(target IN LISTS ARGN)
        target_compile_options(${target} PRIVATE ${QUIB_PROGRAM_COMPILE_OPTIONS})
        target_link_libraries(${target} INTERFACE quib_stack_guard)
    endforeach()
endfunction()

# quib_program(target): an executable built as the shipped program is. The link writes no
# time stamp (the header's TimeDateStamp stays 0), marks the program terminal-server aware
# and writes a map of what it took from which library (read for the third-party notices).
# After the link the debug information moves to <exe>.debug, the exe is stripped and names
# that file, and its length is padded to 8 bytes with the checksum set again, so that an
# Authenticode signature can be attached and removed without changing any other byte.
function(quib_program target)
    target_compile_options(${target} PRIVATE ${QUIB_PROGRAM_COMPILE_OPTIONS})
    target_link_libraries(${target} PRIVATE quib_stack_guard)
    target_link_options(${target} PRIVATE -municode -g
        -Wl,--tsaware -Wl,--no-insert-timestamp -Wl,-Map,${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
    # objcopy writes the time of the copy into the header unless it is given one; keep 0.
    set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${objcopy} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
        COMMAND ${objcopy} --strip-all --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug
                $<TARGET_FILE:${target}>
        COMMAND ${Python3_EXECUTABLE} -B ${PROJECT_SOURCE_DIR}/release/pe_finish.py $<TARGET_FILE:${target}>
        COMMENT "Debug information of ${target} to ${target}.exe.debug; stripped"
        VERBATIM)
endfunction()
