# The layering of the project as a build rule: every #include "<folder>/..."
# of a source or header must name a folder that the including file's folder
# may use. Run as a script (cmake -DROOT=<source dir> -DSTAMP=<file> -P
# layering.cmake) by the build before anything is compiled; a file that
# includes against the layering fails the build with the file, the line and
# what its folder may use.
#
# A folder is the first path part of a file ("app", "cli"), or the first two
# for the backends of the data-access layer ("component/sqlite",
# "component/odbc") and the parts of the front end ("web/http", "web/pages",
# "web/api"); "migprof" is include/migprof, the installed headers.

cmake_minimum_required(VERSION 3.25)

set(allowed_migprof migprof)
# The class frame and the data-access layer; it opens sessions of either
# backend, and each backend implements the layer's session interface.
set(allowed_component component component/sqlite component/odbc migprof)
set(allowed_component/sqlite component/sqlite component migprof)
set(allowed_component/odbc component/odbc component migprof)
# The member areas and the components beside the class stand on the frame.
# The schema makes the embedded database file, and insight's snapshots are
# embedded files.
set(allowed_schema schema component component/sqlite migprof)
set(allowed_profiles profiles component migprof)
set(allowed_maprules maprules component migprof)
set(allowed_funclib funclib component migprof)
set(allowed_configmgt configmgt component migprof)
set(allowed_insight insight schema component component/sqlite migprof)
# The application layer uses everything below it.
set(allowed_app app insight configmgt profiles schema component component/sqlite component/odbc
    migprof)
# The entry points: the JSON forms, the tool, the front end and the API use
# the application layer, never the component's parts below it.
set(allowed_wire wire app migprof)
set(allowed_cli cli web wire app migprof)
set(allowed_web/http web/http app migprof)
set(allowed_web/pages web/pages web/http wire app migprof)
set(allowed_web/api web/api web/http wire app migprof)
set(allowed_web web web/http web/pages web/api wire app migprof)

set(folders component schema profiles maprules funclib configmgt insight app wire cli web
            include/migprof)

function(folder_of path out)
  if(path MATCHES "^include/migprof/")
    set(${out} migprof PARENT_SCOPE)
  elseif(path MATCHES "^(component/(sqlite|odbc))/")
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  elseif(path MATCHES "^(web/(http|pages|api))/")
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  elseif(path MATCHES "^([a-z_]+)/")
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

set(problems "")
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cc
       ${ROOT}/${folder}/*.in)
  foreach(file IN LISTS files)
    folder_of(${file} own)
    file(STRINGS ${ROOT}/${file} lines REGEX "^#include \"[a-z_]+/")
    foreach(line IN LISTS lines)
      string(REGEX MATCH "\"([^\"]+)\"" quoted "${line}")
      set(target ${CMAKE_MATCH_1})
      folder_of(${target} used)
      if(NOT used IN_LIST allowed_${own})
        list(JOIN allowed_${own} ", " may)
        list(APPEND problems "${file}: #include \"${target}\": ${own}/ may include only ${may}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "includes against the layering:\n  ${text}")
endif()
file(WRITE ${STAMP} "")
