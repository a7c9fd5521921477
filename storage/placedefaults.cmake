# cmake -DSOURCE_DIR=<defaults> -DTARGET_DIR=<program folder> -P placedefaults.cmake
# Copies each default data file whose name is absent in the program folder. A file there, even
# with other letter case (the no-reserve file is written as "noreserve.dat"), is left alone.
file(MAKE_DIRECTORY "${TARGET_DIR}")
file(GLOB defaults RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.dat")
file(GLOB present RELATIVE "${TARGET_DIR}" "${TARGET_DIR}/*")
foreach(name IN LISTS defaults)
    string(TOLOWER "${name}" wanted)
    set(found FALSE)
    foreach(other IN LISTS present)
        string(TOLOWER "${other}" have)
        if(have STREQUAL wanted)
            set(found TRUE)
        endif()
    endforeach()
    if(NOT found)
        file(COPY "${SOURCE_DIR}/${name}" DESTINATION "${TARGET_DIR}")
    endif()
endforeach()
