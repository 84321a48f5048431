# make install and make uninstall (cmake -P).
#   -DACTION=install -DBUILD=<build folder> -DPREFIX=<prefix>
#       cmake --install, then adds what it wrote to the list PREFIX/share/velm/install_manifest.txt
#   -DACTION=uninstall -DPREFIX=<prefix>
#       removes the files on that list, the list, and the folders of our own left empty
# Both honour DESTDIR (in the environment) as cmake --install does; the list names the files
# as they are seen once installed, without it.
#
# The list lives under the prefix rather than in the build folder: cmake rewrites the build
# folder's install_manifest.txt at every install (the package's and the tests' too), and
# `make clean` removes it. Uninstalling removes only files below the prefix that the list
# names, so a stray list can not reach elsewhere.
cmake_minimum_required(VERSION 3.25)

if(NOT PREFIX)
  message(FATAL_ERROR "PREFIX is empty")
endif()
get_filename_component(PREFIX "${PREFIX}" ABSOLUTE)
string(REGEX REPLACE "(.)/+$" "\\1" PREFIX "${PREFIX}")
set(root "$ENV{DESTDIR}${PREFIX}")
set(record "${root}/share/velm/install_manifest.txt")

# Whether path lies below folder (plain text, no patterns: a prefix may hold any character).
function(below var path folder)
  string(REGEX REPLACE "/$" "" folder "${folder}") # the prefix /
  string(FIND "${path}" "${folder}/" at)
  if(at EQUAL 0)
    set(${var} TRUE PARENT_SCOPE)
  else()
    set(${var} FALSE PARENT_SCOPE)
  endif()
endfunction()

function(read_list var file)
  file(STRINGS "${file}" entries)
  list(FILTER entries EXCLUDE REGEX "^$")
  set(${var} "${entries}" PARENT_SCOPE)
endfunction()

if(ACTION STREQUAL "install")
  get_filename_component(BUILD "${BUILD}" ABSOLUTE)
  execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                  COMMAND_ERROR_IS_FATAL ANY)
  read_list(installed "${BUILD}/install_manifest.txt")
  foreach(file IN LISTS installed)
    below(inside "${file}" "${PREFIX}")
    if(NOT inside)
      message(FATAL_ERROR "${BUILD}/install_manifest.txt names ${file}, which is not under "
                          "${PREFIX}: did another install from ${BUILD} run at the same time? "
                          "Run make install again.")
    endif()
  endforeach()
  # A new install over an older one: the list keeps the older files too, so that an uninstall
  # also removes what only the older version installed.
  if(EXISTS "${record}")
    read_list(earlier "${record}")
    list(APPEND installed ${earlier})
  endif()
  list(REMOVE_DUPLICATES installed)
  list(SORT installed)
  list(JOIN installed "\n" text)
  file(WRITE "${record}" "${text}\n")
  message(STATUS "The list of installed files, for make uninstall: ${record}")

elseif(ACTION STREQUAL "uninstall")
  if(NOT EXISTS "${record}")
    message(FATAL_ERROR "Nothing to uninstall under ${root}: ${record}, the list that "
                        "make install writes, is missing (was PREFIX different?)")
  endif()
  read_list(installed "${record}")
  set(removed 0)
  set(folders "")
  string(LENGTH "${root}/" skip)
  foreach(file IN LISTS installed ITEMS "${PREFIX}/share/velm/install_manifest.txt")
    below(inside "${file}" "${PREFIX}")
    if(NOT inside)
      message(WARNING "Left alone (not under ${PREFIX}): ${file}")
      continue()
    endif()
    set(path "$ENV{DESTDIR}${file}")
    if(IS_SYMLINK "${path}" OR (EXISTS "${path}" AND NOT IS_DIRECTORY "${path}"))
      file(REMOVE "${path}")
      math(EXPR removed "${removed} + 1")
    endif()
    # The folders between the file and the prefix that are ours alone: those named velm and
    # the ones below them (share/doc/velm/docs, share/velm), never shared ones like bin.
    get_filename_component(folder "${path}" DIRECTORY)
    below(inside "${folder}" "${root}")
    while(inside)
      string(SUBSTRING "${folder}" ${skip} -1 relative)
      if(relative MATCHES "(^|/)velm(/|$)")
        list(APPEND folders "${folder}")
      endif()
      get_filename_component(folder "${folder}" DIRECTORY)
      below(inside "${folder}" "${root}")
    endwhile()
  endforeach()
  # Deepest first, so that a folder's emptied subfolders are gone when it is looked at.
  list(REMOVE_DUPLICATES folders)
  list(SORT folders ORDER DESCENDING)
  foreach(folder IN LISTS folders)
    file(GLOB children LIST_DIRECTORIES true "${folder}/*")
    if(IS_DIRECTORY "${folder}" AND NOT IS_SYMLINK "${folder}" AND children STREQUAL "")
      file(REMOVE_RECURSE "${folder}")
    endif()
  endforeach()
  message(STATUS "Removed ${removed} files from ${root}")

else()
  message(FATAL_ERROR "ACTION must be install or uninstall, not '${ACTION}'")
endif()
