# Adds every listed sub-directory of the current source folder that has a CMakeLists.txt.
# Layers link to each other by target name, so the order of adding does not matter.
function(velmor_add_existing_subdirectories)
    foreach(dir IN LISTS ARGN)
        if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt")
            add_subdirectory(${dir})
        endif()
    endforeach()
endfunction()
