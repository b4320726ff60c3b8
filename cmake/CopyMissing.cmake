# Copies every file under SRC to DST, but only where DST does not have it yet:
# a user's edited list or settings beside the program must survive a rebuild.
file(GLOB_RECURSE files RELATIVE "${SRC}" "${SRC}/*")
foreach(f IN LISTS files)
    if(NOT EXISTS "${DST}/${f}")
        get_filename_component(dir "${DST}/${f}" DIRECTORY)
        file(MAKE_DIRECTORY "${dir}")
        file(COPY_FILE "${SRC}/${f}" "${DST}/${f}")
    endif()
endforeach()
