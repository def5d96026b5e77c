# Adds every listed folder that already holds a CMakeLists.txt, so subsystems
# can land one at a time.
function(tarnivex_add_existing)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
