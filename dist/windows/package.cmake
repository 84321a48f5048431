cmake_policy(VERSION 3.25)
# Stages the Windows programs with what they load and packs the zip and the installer.
# Run by the target velm-windows-package; every input comes as a -D definition.
# Nothing of an earlier run stays to be taken for this one.
file(REMOVE_RECURSE ${STAGE} ${ZIP} ${SETUP})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${PROGRAMS} DESTINATION ${STAGE})

# The plugins Qt loads from beside the programs: the window system, the record database's
# driver and the native look; velm-report-pdf draws on the offscreen platform. Image formats
# are not among them (the icon is a PNG, built in).
set(plugins platforms/qwindows.dll platforms/qoffscreen.dll sqldrivers/qsqlite.dll
            styles/qwindowsvistastyle.dll)
set(queue ${PROGRAMS})
foreach(plugin ${plugins})
  get_filename_component(folder ${plugin} DIRECTORY)
  file(COPY ${SDK}/plugins/${plugin} DESTINATION ${STAGE}/${folder})
  list(APPEND queue ${SDK}/plugins/${plugin})
endforeach()

# Every DLL that the programs and plugins import, and those that these import, found in the
# SDK or the compiler's runtime; the rest are Windows' own.
set(copied)
set(damaged)
while(queue)
  list(POP_FRONT queue binary)
  execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump ERROR_QUIET
                  RESULT_VARIABLE failed)
  # A DLL whose headers do not read is damaged, and Windows will not load it either: a
  # package with it would install a program that does not start. Every one is named.
  if(failed)
    list(APPEND damaged ${binary})
    continue()
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  list(TRANSFORM imports REPLACE "DLL Name: " "")
  foreach(dll ${imports})
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" key)
    if(key IN_LIST copied)
      continue()
    endif()
    set(found)
    foreach(dir ${RUNTIME} ${SDK}/bin)
      if(EXISTS ${dir}/${dll})
        set(found ${dir}/${dll})
        break()
      endif()
    endforeach()
    if(found)
      list(APPEND copied ${key})
      file(COPY ${found} DESTINATION ${STAGE})
      list(APPEND queue ${found})
    endif()
  endforeach()
endwhile()
if(damaged)
  file(REMOVE_RECURSE ${STAGE})
  list(JOIN damaged "\n  " names)
  message(FATAL_ERROR "The zip and the installer were NOT made: these DLLs of the Windows Qt SDK "
                      "are damaged (their headers do not read), and a program that loads them "
                      "does not start:\n  ${names}\nRebuild the SDK (build-qt-windows.sh beside "
                      "it) or set VELM_QT_WINDOWS to a whole one.")
endif()

file(COPY ${SOURCE}/README.md ${SOURCE}/docs DESTINATION ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/licenses)
file(COPY ${SOURCE}/dist/windows/licenses.txt DESTINATION ${STAGE}/licenses)
foreach(text LGPL-3 GPL-3 LGPL-2.1)
  if(EXISTS /usr/share/common-licenses/${text})
    configure_file(/usr/share/common-licenses/${text} ${STAGE}/licenses/${text}.txt COPYONLY)
  endif()
endforeach()

get_filename_component(parent ${STAGE} DIRECTORY)
get_filename_component(name ${STAGE} NAME)
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${name}
                WORKING_DIRECTORY ${parent} COMMAND_ERROR_IS_FATAL ANY)
file(SIZE ${ZIP} size)
math(EXPR kib "${size} / 1024")
message(STATUS "Windows zip: ${ZIP} (${kib} KiB)")

if(NOT MAKENSIS)
  message(FATAL_ERROR "makensis not found: the installer needs the Debian package nsis")
endif()
execute_process(COMMAND ${MAKENSIS} -V2 -DVERSION=${VERSION} -DSTAGE=${STAGE} -DOUTFILE=${SETUP}
                        ${SOURCE}/dist/windows/velm.nsi
                COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Windows installer: ${SETUP}")
