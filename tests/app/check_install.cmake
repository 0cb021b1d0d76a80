# Installs the build into a scratch prefix and checks that the desktop program lands where a
# desktop finds it. Run with -DBUILD_DIR=... -DPREFIX=...
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${installed}")
endif()

set(app_id example.halvard.Velmora)
set(expected
    bin/velmora
    share/applications/${app_id}.desktop
    share/metainfo/${app_id}.metainfo.xml
    share/icons/hicolor/scalable/apps/velmora.svg
    share/velmora/help/velmora.html
    share/doc/velmora/icons/LICENSE.LGPL-3)
foreach(size 16 22 24 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/velmora.png)
endforeach()
foreach(path IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

file(READ "${PREFIX}/share/applications/${app_id}.desktop" entry)
foreach(line "Exec=velmora %f" "Icon=velmora" "MimeType=image/jpeg;image/png;image/bmp;")
  string(FIND "${entry}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the desktop entry lacks '${line}'")
  endif()
endforeach()

# The validators, where the machine has them.
find_program(DESKTOP_VALIDATE desktop-file-validate)
if(DESKTOP_VALIDATE)
  execute_process(COMMAND "${DESKTOP_VALIDATE}" "${PREFIX}/share/applications/${app_id}.desktop"
                  RESULT_VARIABLE valid OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(NOT valid EQUAL 0 OR said MATCHES "error")
    message(FATAL_ERROR "desktop entry: ${said}")
  endif()
else()
  message(STATUS "desktop-file-validate not found: desktop entry not validated")
endif()
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND "${APPSTREAMCLI}" validate --no-net
                          "${PREFIX}/share/metainfo/${app_id}.metainfo.xml"
                  RESULT_VARIABLE valid OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(NOT valid EQUAL 0)
    message(FATAL_ERROR "metainfo: ${said}")
  endif()
else()
  message(STATUS "appstreamcli not found: metainfo not validated")
endif()
message(STATUS "installed into ${PREFIX}")
