# What `cmake --install` puts under the prefix:
#   bin/migprof                                  the tool            (component tool)
#   share/migprof/schema/*.sql                   the schema scripts  (component tool)
#   share/migprof/schema/mariadb_collation.xml   MariaDB's collation for them (tool)
#   lib/migprof/migprof_sqlite.so                the SQLite extension (tool)
#   share/man/man1, share/bash-completion        its manual and completion (tool)
#   lib/systemd/system, etc/migprof              the service unit and its settings (tool)
#   lib/libmigprof.a (and libmigprof.so)         the component library (component dev)
#   include/migprof/                             its public headers (dev)
#   lib/cmake/migprof/, lib/pkgconfig/migprof.pc the CMake and pkg-config packages (dev)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

option(MIGPROF_BUILD_SHARED "Also build and install the component library as a shared library" OFF)

set_target_properties(migprof_core PROPERTIES OUTPUT_NAME migprof EXPORT_NAME core)
target_include_directories(migprof_core PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
# The public headers are C++20: programs using them are compiled as such.
target_compile_features(migprof_core PUBLIC cxx_std_20)
set(migprof_libraries migprof_core)

if(MIGPROF_BUILD_SHARED)
  # The shared library is made of the static one's objects, which must be
  # position-independent for that.
  set_target_properties(migprof_core PROPERTIES POSITION_INDEPENDENT_CODE ON)
  get_property(migprof_areas GLOBAL PROPERTY MIGPROF_AREAS)
  set(migprof_area_objects)
  foreach(area IN LISTS migprof_areas)
    list(APPEND migprof_area_objects $<TARGET_OBJECTS:${area}>)
  endforeach()
  add_library(migprof_shared SHARED $<TARGET_OBJECTS:migprof_core> ${migprof_area_objects})
  add_library(migprof::shared ALIAS migprof_shared)
  get_target_property(migprof_core_links migprof_core LINK_LIBRARIES)
  target_link_libraries(migprof_shared PRIVATE ${migprof_core_links})
  target_include_directories(migprof_shared PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_features(migprof_shared PUBLIC cxx_std_20)
  set_target_properties(migprof_shared PROPERTIES
    OUTPUT_NAME migprof EXPORT_NAME shared
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
  list(APPEND migprof_libraries migprof_shared)
endif()

# The tool.
install(TARGETS migprof RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
# The front end's tables (web_*) and configuration management's (configmgt_*,
# named so as not to meet the component's scripts of the same file names) go
# with the component's, so a server database can be set up from the install.
install(FILES schema/sqlite.sql schema/sqlserver.sql schema/mariadb.sql schema/web_mariadb.sql
              schema/web_sqlserver.sql schema/mariadb_collation.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/migprof/schema COMPONENT tool)
foreach(dialect sqlite sqlserver mariadb)
  install(FILES configmgt/${dialect}.sql DESTINATION ${CMAKE_INSTALL_DATADIR}/migprof/schema
          RENAME configmgt_${dialect}.sql COMPONENT tool)
endforeach()

# The library, its headers and the packages that find it.
install(TARGETS ${migprof_libraries} EXPORT migprofTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
# A stripping install (`cmake --install --strip`, and cpack) strips the
# programs and shared libraries; the static library loses its debug
# information too.
string(CONFIGURE [[
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND "@CMAKE_STRIP@" --strip-debug --remove-section=.comment
      --enable-deterministic-archives
      "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_LIBDIR@/$<TARGET_FILE_NAME:migprof_core>"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
]] strip_static_library @ONLY)
install(CODE "${strip_static_library}" COMPONENT dev)
install(DIRECTORY include/migprof ${PROJECT_BINARY_DIR}/include/migprof
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

set(migprof_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/migprof)
# Whether the library links the ODBC driver manager: the packages then find
# it too.
get_target_property(migprof_core_links migprof_core LINK_LIBRARIES)
if("ODBC::ODBC" IN_LIST migprof_core_links)
  set(MIGPROF_WITH_ODBC ON)
  set(MIGPROF_PC_REQUIRES "sqlite3 odbc")
else()
  set(MIGPROF_WITH_ODBC OFF)
  set(MIGPROF_PC_REQUIRES "sqlite3")
endif()
install(EXPORT migprofTargets NAMESPACE migprof:: DESTINATION ${migprof_cmake_dir} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/migprofConfig.cmake.in
  ${PROJECT_BINARY_DIR}/migprofConfig.cmake INSTALL_DESTINATION ${migprof_cmake_dir}
  PATH_VARS CMAKE_INSTALL_DATADIR)
# 0.x releases make no promise between minor versions.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/migprofConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/migprofConfig.cmake
              ${PROJECT_BINARY_DIR}/migprofConfigVersion.cmake
        DESTINATION ${migprof_cmake_dir} COMPONENT dev)

# pkg-config finds the prefix from the file's own place, so the installed
# tree can move.
file(RELATIVE_PATH MIGPROF_PC_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" MIGPROF_PC_PREFIX "${MIGPROF_PC_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/migprof.pc.in ${PROJECT_BINARY_DIR}/migprof.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/migprof.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# Man pages, bash completion, the service unit and its settings.
add_subdirectory(${PROJECT_SOURCE_DIR}/packaging ${PROJECT_BINARY_DIR}/packaging)
