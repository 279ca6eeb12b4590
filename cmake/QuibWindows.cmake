# The Windows configuration: static executables, Unicode, run under Wine by CTest.
include_guard(GLOBAL)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# No libstdc++, libgcc or winpthread DLLs beside any of our programs.
add_link_options(-static -static-libgcc -static-libstdc++)

# Every Wine test shares one prefix, one display and one wineserver, set up by the
# wine_session fixture below and torn down after the last test.
set(QUIB_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)
set(QUIB_WINE_SESSION ${PROJECT_BINARY_DIR}/wine-session)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${PROJECT_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run)

add_test(NAME wine_session_start
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-session start ${QUIB_WINE_SESSION} ${QUIB_WINEPREFIX})
add_test(NAME wine_session_stop
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-session stop ${QUIB_WINE_SESSION} ${QUIB_WINEPREFIX})
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)

function(quib_wine_test name)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine_desktop)
endfunction()

# The program's import library for QuibTPApi.dll, made from the same definition file as
# the stand-in library, so the program binds each entry by ordinal alone.
set(QUIB_TPAPI_DEF ${PROJECT_SOURCE_DIR}/link/QuibTPApi.def)
set(QUIB_TPAPI_IMPLIB ${PROJECT_BINARY_DIR}/lib/libQuibTPApi.a)
add_custom_command(OUTPUT ${QUIB_TPAPI_IMPLIB}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/lib
    COMMAND ${CMAKE_DLLTOOL} -d ${QUIB_TPAPI_DEF} -l ${QUIB_TPAPI_IMPLIB}
    DEPENDS ${QUIB_TPAPI_DEF}
    COMMENT "Import library for QuibTPApi.dll (by ordinal)")
add_custom_target(quib_tpapi_implib DEPENDS ${QUIB_TPAPI_IMPLIB})
add_library(QuibTPApi STATIC IMPORTED GLOBAL)
set_target_properties(QuibTPApi PROPERTIES IMPORTED_LOCATION ${QUIB_TPAPI_IMPLIB})
add_dependencies(QuibTPApi quib_tpapi_implib)
