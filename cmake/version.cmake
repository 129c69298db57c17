# migprof/version.h, generated from the project version, next to the public
# headers of migprof_core (and installed with them).
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${PROJECT_BINARY_DIR}/include/migprof/version.h @ONLY)
target_include_directories(migprof_core PUBLIC $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>)
