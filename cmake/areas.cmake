# The component library (migprof_core) is made of the folders of the
# component, each a target of its own: an object library compiled as the
# component is. The layering check (cmake/layering.cmake) holds each folder to
# the folders it may include.

# The check runs before anything is compiled, again whenever a source or
# header of a checked folder changes.
file(GLOB_RECURSE migprof_checked_files CONFIGURE_DEPENDS
     LIST_DIRECTORIES false
     ${PROJECT_SOURCE_DIR}/include/migprof/*.h
     ${PROJECT_SOURCE_DIR}/component/*.h ${PROJECT_SOURCE_DIR}/component/*.cc
     ${PROJECT_SOURCE_DIR}/schema/*.cc ${PROJECT_SOURCE_DIR}/schema/*.h
     ${PROJECT_SOURCE_DIR}/profiles/*.cc ${PROJECT_SOURCE_DIR}/profiles/*.h
     ${PROJECT_SOURCE_DIR}/maprules/*.cc ${PROJECT_SOURCE_DIR}/maprules/*.h
     ${PROJECT_SOURCE_DIR}/funclib/*.cc ${PROJECT_SOURCE_DIR}/funclib/*.h
     ${PROJECT_SOURCE_DIR}/configmgt/*.cc ${PROJECT_SOURCE_DIR}/configmgt/*.h
     ${PROJECT_SOURCE_DIR}/insight/*.cc ${PROJECT_SOURCE_DIR}/insight/*.h
     ${PROJECT_SOURCE_DIR}/app/*.cc ${PROJECT_SOURCE_DIR}/app/*.h
     ${PROJECT_SOURCE_DIR}/wire/*.cc ${PROJECT_SOURCE_DIR}/wire/*.h
     ${PROJECT_SOURCE_DIR}/cli/*.cc ${PROJECT_SOURCE_DIR}/cli/*.h
     ${PROJECT_SOURCE_DIR}/web/*.cc ${PROJECT_SOURCE_DIR}/web/*.h)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/layering.stamp
  COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR}
          -DSTAMP=${PROJECT_BINARY_DIR}/layering.stamp -P ${PROJECT_SOURCE_DIR}/cmake/layering.cmake
  DEPENDS ${migprof_checked_files} ${PROJECT_SOURCE_DIR}/cmake/layering.cmake
  COMMENT "Checking the includes of every folder against the layering"
  VERBATIM)
add_custom_target(migprof_layering DEPENDS ${PROJECT_BINARY_DIR}/layering.stamp)

# migprof_add_area(<target> <sources...>): the folder's sources as <target>,
# whose objects go into migprof_core.
function(migprof_add_area name)
  add_library(${name} OBJECT ${ARGN})
  add_dependencies(${name} migprof_layering)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include
                                             ${PROJECT_BINARY_DIR})
  target_link_libraries(${name} PRIVATE SQLite::SQLite3)
  target_compile_features(${name} PRIVATE cxx_std_20)
  if(MIGPROF_FAULT_SEAM)
    target_compile_definitions(${name} PRIVATE MIGPROF_FAULT_SEAM)
  endif()
  if(MIGPROF_BUILD_SHARED)
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
  target_sources(migprof_core PRIVATE $<TARGET_OBJECTS:${name}>)
  set_property(GLOBAL APPEND PROPERTY MIGPROF_AREAS ${name})
endfunction()
