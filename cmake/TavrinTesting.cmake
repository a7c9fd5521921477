# tavrin_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [GUI] [TIMEOUT seconds]
#                 [UNPRIVILEGED function ...])
# UNPRIVILEGED also runs those test functions as name_unprivileged with every capability
# dropped, so that root (as CI runs) meets the permission checks a seller's own account does;
# it is skipped where the tests do not run as root, the plain run being unprivileged already.
# Every test runs with a pinned environment: a UTF-8 C locale and, for window tests, the
# offscreen platform, so results never depend on the developer's desktop.
# Built for Windows on Linux, the tests run under Wine (tests/wine/wine-run, the emulator the
# windows preset names) in a Wine prefix of the build's own, finding Qt's and MinGW's DLLs and
# Qt's plug-ins where they were built.
if(WIN32 AND CMAKE_CROSSCOMPILING)
    get_target_property(qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
    cmake_path(GET qt_core_dll PARENT_PATH qt_bin_dir)
    cmake_path(GET qt_bin_dir PARENT_PATH qt_prefix)
    set(dll_dirs "${qt_bin_dir}")
    foreach(runtime libstdc++-6.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                        OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
        cmake_path(GET runtime_path PARENT_PATH runtime_dir)
        string(APPEND dll_dirs ":${runtime_dir}")
    endforeach()
    set(TAVRIN_WINE_ENV "TAVRIN_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix" "TAVRIN_WINE_DLL_DIRS=${dll_dirs}"
                        "QT_PLUGIN_PATH=Z:${qt_prefix}/plugins")
endif()

function(tavrin_add_test)
    cmake_parse_arguments(T "GUI" "NAME;TIMEOUT" "SOURCES;LIBS;UNPRIVILEGED" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    target_compile_definitions(${T_NAME} PRIVATE
        TAVRIN_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
        TAVRIN_BIN_DIR="${TAVRIN_BIN_DIR}"
        TAVRIN_DEFAULTS_DIR="${PROJECT_SOURCE_DIR}/resources/defaults")
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(TAVRIN_WINE_ENV)
        # Qt's test log goes to the debugger where Windows shows no console, as under Wine: it
        # is written to a file, which wine-run shows once the test has ended.
        set(log ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.log)
        add_test(NAME ${T_NAME} COMMAND ${T_NAME} -o ${log},txt)
        set_tests_properties(${T_NAME} PROPERTIES LABELS wine)
    else()
        add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    endif()
    set(env "LANG=C.UTF-8;LC_ALL=C.UTF-8;QT_QPA_PLATFORM=offscreen;QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu")
    if(TAVRIN_WINE_ENV)
        list(APPEND env ${TAVRIN_WINE_ENV} "TAVRIN_WINE_SHOW_LOG=${log}")
    endif()
    if(TAVRIN_SANITIZE)
        # No leak is suppressed: a leak anywhere, Qt's included, fails the test with its report.
        list(APPEND env "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"
                        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
    if(T_UNPRIVILEGED AND NOT WIN32)
        add_test(NAME ${T_NAME}_unprivileged
                 COMMAND sh ${PROJECT_SOURCE_DIR}/tests/unprivileged.sh $<TARGET_FILE:${T_NAME}>
                         ${T_UNPRIVILEGED})
        set_tests_properties(${T_NAME}_unprivileged PROPERTIES
            ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT} SKIP_RETURN_CODE 77)
    endif()
endfunction()
