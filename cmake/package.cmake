# The Debian packages, built with `cpack -G DEB` from a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr:
#   migprof      the tool, schema scripts, man pages, completion, service unit
#   migprof-dev  the library, its headers and the CMake and pkg-config packages
# Every install rule names one of the components tool and dev; the others are
# not packaged.
set(MIGPROF_PACKAGE_MAINTAINER "migprof developers <migprof@example.org>"
    CACHE STRING "Maintainer field of the Debian packages")

set(CPACK_PACKAGE_NAME migprof)
set(CPACK_PACKAGE_VENDOR "migprof developers")
set(CPACK_PACKAGE_CONTACT "${MIGPROF_PACKAGE_MAINTAINER}")
set(CPACK_GENERATOR DEB)
# Files with absolute destinations (/etc/migprof) go into the package too.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")

# Descriptions: the synopsis, then paragraphs (CPack indents and wraps them).
set(migprof_about "migprof maintains migration profiles (how one application's data is carried
into another) with their mapping rules and function libraries in a
relational database: an embedded SQLite file or an ODBC data source.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME migprof)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION database)
set(CPACK_COMPONENT_TOOL_DESCRIPTION
    "migration-profile handler: command-line tool and service
${migprof_about}

This package holds the migprof tool, the schema scripts, the manual, bash
completion and the systemd unit migprof-serve.service.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME migprof-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
    "migprof (= ${PROJECT_VERSION}), libsqlite3-dev, unixodbc-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "migration-profile handler: development files
${migprof_about}

This package holds the C++ component library (static), its headers and the
CMake (find_package(migprof)) and pkg-config (migprof) packages.")

# The settings file is the operator's to edit: a conffile, which dpkg keeps
# on upgrade and removal.
if(CMAKE_INSTALL_PREFIX MATCHES "^/(usr/?)?$")
  file(WRITE ${PROJECT_BINARY_DIR}/deb/conffiles "/etc/migprof/serve.conf\n")
  set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/deb/conffiles)
endif()

# Every package's documentation folder holds its copyright file and a
# changelog in Debian's format, compressed.
string(TIMESTAMP migprof_package_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
foreach(component tool dev)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  file(WRITE ${PROJECT_BINARY_DIR}/deb/${package}/changelog
       "${package} (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
       "  * Version ${PROJECT_VERSION}.\n\n"
       " -- ${MIGPROF_PACKAGE_MAINTAINER}  ${migprof_package_date}\n")
  execute_process(COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/deb/${package}/changelog
                  COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${PROJECT_BINARY_DIR}/deb/${package}/changelog.gz
                ${PROJECT_SOURCE_DIR}/packaging/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

include(CPack)
