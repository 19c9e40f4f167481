# Fails when a source under src/ crosses a folder boundary:
# - a folder includes only folders of lower layers (and itself):
#     app > overlay, pipeline > web, capture > translate > history, bus > protocol > support
#     > platform;
#   platform/ is the bottom layer and includes nothing of ours above it: the seams (platform/*.h)
#   include only other seams, the adapters (platform/<name>/) only the seams and each other, and
#   whatever they need from above (a sealed name) is handed in by their maker; support/ never
#   includes an adapter that pulls in desktop code (gtk, atspi, x11); translate/ never includes
#   history/;
# - the core (everything but app/, web/, the desktop adapters and any desktop/ sub-folder)
#   includes no GTK, GDK, WebKit, AT-SPI, ATK or X11 header. The compiler would not notice X11's,
#   which sit on the default include path;
# - only platform/x11/ speaks X11 itself (Xlib, XCB, GDK's X11 backend): everything else reaches
#   the X server through it.
set(layer_app 1)
set(layer_overlay 2)
set(layer_pipeline 2)
set(layer_web 3)
set(layer_capture 3)
set(layer_translate 4)
set(layer_history 5)
set(layer_bus 5)
set(layer_protocol 6)
set(layer_support 7)
set(layer_platform 8)
set(desktop_adapters gtk atspi x11)
# Pairs kept apart although their layers would allow it: the caption-line record is a leaf in
# history/, and what joins translations to lines and history sits above both.
set(kept_apart "translate>history")
set(desktop_header_regex "^#include <(gtk|gdk|webkit|webkit2|atspi|atk|X11|jsc|xcb)/")
set(x11_header_regex "^#include <(X11/|xcb/|gdk/gdkx)")

# The folder a path below src/ belongs to: "platform" for the seams, "platform/<name>" for an
# adapter, else the first path component.
function(folder_of relative out)
  string(REGEX MATCH "^[^/]+" top "${relative}")
  if(top STREQUAL "platform" AND relative MATCHES "^platform/([^/]+)/")
    set(${out} "platform/${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    set(${out} "${top}" PARENT_SCOPE)
  endif()
endfunction()

function(allowed from to out)
  set(ok FALSE)
  list(FIND kept_apart "${from}>${to}" apart)
  if(apart GREATER -1)
    # Never, whatever the layers say.
  elseif(from STREQUAL to)
    set(ok TRUE)
  elseif(from STREQUAL "platform")
    # Seams include nothing of ours but other seams.
  elseif(from MATCHES "^platform/")
    if(to MATCHES "^platform(/|$)")
      set(ok TRUE)
    endif()
  elseif(to MATCHES "^platform/(.*)$")
    list(FIND desktop_adapters "${CMAKE_MATCH_1}" adapter)
    if(NOT (from STREQUAL "support" AND adapter GREATER -1))
      set(ok TRUE)
    endif()
  elseif(DEFINED layer_${from} AND DEFINED layer_${to})
    if(layer_${to} GREATER layer_${from})
      set(ok TRUE)
    endif()
  endif()
  set(${out} ${ok} PARENT_SCOPE)
endfunction()

set(offenders "")
file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
foreach(relative IN LISTS files)
  folder_of("${relative}" from)
  file(STRINGS ${SOURCE_DIR}/${relative} includes REGEX "^#include \"[^\"]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" target "${line}")
    folder_of("${target}" to)
    allowed("${from}" "${to}" ok)
    if(NOT ok)
      list(APPEND offenders "${relative}: ${from}/ may not include ${target}")
    endif()
  endforeach()
  set(desktop FALSE)
  if(from MATCHES "^(app|web)$" OR relative MATCHES "/desktop/")
    set(desktop TRUE)
  endif()
  foreach(adapter IN LISTS desktop_adapters)
    if(from STREQUAL "platform/${adapter}")
      set(desktop TRUE)
    endif()
  endforeach()
  if(NOT from STREQUAL "platform/x11")
    file(STRINGS ${SOURCE_DIR}/${relative} x11_includes REGEX "${x11_header_regex}")
    if(x11_includes)
      list(APPEND offenders "${relative}: only platform/x11/ includes ${x11_includes}")
    endif()
  endif()
  if(NOT desktop)
    file(STRINGS ${SOURCE_DIR}/${relative} desktop_includes REGEX "${desktop_header_regex}")
    if(desktop_includes)
      list(APPEND offenders "${relative}: the core includes ${desktop_includes}")
    endif()
  endif()
endforeach()
if(offenders)
  list(JOIN offenders "\n" report)
  message(FATAL_ERROR "Include boundaries crossed:\n${report}")
endif()
