# tavrin_windows_resources(target DESCRIPTION text [ICON png])
# Gives a Windows executable its version resource, its manifest and, with ICON, the picture
# as its file icon (made into an .ico by icotool, Debian package icoutils). Does nothing on
# other systems.
function(tavrin_windows_resources target)
    if(NOT WIN32)
        return()
    endif()
    cmake_parse_arguments(R "" "DESCRIPTION;ICON" "" ${ARGN})
    set(TAVRIN_RC_NAME ${target})
    set(TAVRIN_RC_FILE ${target}.exe)
    set(TAVRIN_RC_DESCRIPTION ${R_DESCRIPTION})
    set(TAVRIN_RC_MANIFEST ${PROJECT_SOURCE_DIR}/resources/windows/tavrin.manifest)
    set(TAVRIN_RC_ICON_LINE "")
    if(R_ICON)
        find_program(ICOTOOL_EXE icotool REQUIRED)
        set(ico ${CMAKE_CURRENT_BINARY_DIR}/${target}.ico)
        add_custom_command(OUTPUT ${ico}
                           COMMAND ${ICOTOOL_EXE} --create --output=${ico} ${R_ICON}
                           DEPENDS ${R_ICON}
                           COMMENT "Making ${target}'s file icon")
        set(TAVRIN_RC_ICON_LINE "1 ICON \"${ico}\"")
        target_sources(${target} PRIVATE ${ico})
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/resources/windows/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${ico};${TAVRIN_RC_MANIFEST}")
endfunction()
