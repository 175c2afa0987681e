# The layers of src/, one static library each, from the bottom up; folders of one layer are
# joined by '+'. A file includes only from its own layer and the layers listed before it.
# src/CMakeLists.txt adds these folders and tests/layers checks the includes against this list.
set(VELMOR_LAYERS utils core theme device_data io devices device_models platform ui_models+ui_mediators qml app)

# Adds every listed sub-directory of the current source folder; a listed folder without a
# CMakeLists.txt stops the configure instead of leaving its targets out unnoticed.
function(velmor_add_subdirectories)
    foreach(dir IN LISTS ARGN)
        if(NOT EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt")
            message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt is missing")
        endif()
        add_subdirectory(${dir})
    endforeach()
endfunction()
