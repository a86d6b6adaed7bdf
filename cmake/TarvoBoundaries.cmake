# Checks, at configure time, that the module boundaries hold; a breach stops the configuration with
# the files or libraries at fault.

# Windows live in widgets/ folders. Any other source file that includes a Qt Widgets header or a
# header from a widgets/ folder fails the configuration.
# Exempt: tests/, tools/, bench/ and fuzz/ (they may build windows), and the files at app/'s top
# level (main window, menus, entry), where windows are put together; app/'s folders are checked.
function(tarvo_check_widget_includes)
  get_target_property(qt_dirs Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
  set(widgets_dir "")
  foreach(d ${qt_dirs})
    if(d MATCHES "/QtWidgets$")
      set(widgets_dir ${d})
    endif()
  endforeach()
  if(NOT widgets_dir)
    message(FATAL_ERROR "Qt Widgets' header folder not found; cannot check which files include it")
  endif()
  # Every header Qt Widgets installs, by its class name (QDialog) and its file name (qdialog.h).
  file(GLOB qt_widget_headers RELATIVE ${widgets_dir} ${widgets_dir}/*)

  set(exempt_top tests tools bench fuzz)
  file(GLOB top RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/*)
  set(sources "")
  foreach(t ${top})
    set(p ${PROJECT_SOURCE_DIR}/${t})
    # Build trees inside the source tree hold generated code, not ours.
    if(NOT IS_DIRECTORY ${p} OR t MATCHES "^\\." OR t IN_LIST exempt_top OR EXISTS ${p}/CMakeCache.txt)
      continue()
    endif()
    file(GLOB_RECURSE found ${p}/*.cpp ${p}/*.h ${p}/*.cc ${p}/*.hpp)
    list(APPEND sources ${found})
  endforeach()

  set(breaches "")
  foreach(f ${sources})
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${f})
    if(rel MATCHES "(^|/)widgets/" OR rel MATCHES "^app/[^/]+$")
      continue()
    endif()
    file(STRINGS ${f} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" header "${line}")
      string(REGEX REPLACE "^QtWidgets/" "" bare "${header}")
      if(header STREQUAL "QtWidgets" OR bare IN_LIST qt_widget_headers OR header MATCHES "(^|/)widgets/")
        list(APPEND breaches "  ${rel}: ${header}")
      endif()
    endforeach()
  endforeach()
  if(breaches)
    list(JOIN breaches "\n" text)
    message(FATAL_ERROR "Widget headers included outside a widgets/ folder:\n${text}\n"
      "Put the window in the module's widgets/ folder, or keep the logic free of widgets.")
  endif()
endfunction()

# Libraries that must not pull in heavier ones or ones above them: net depends on common alone, and
# common on Qt Core and threads, so neither may reach Qt Gui, Qt Widgets, GStreamer or libjpeg
# through any link; settings reach no capture, publishing or app library; storage no publishing.
function(tarvo_collect_links target out)
  set(seen ${${out}})
  get_target_property(type ${target} TYPE)
  set(links "")
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(own ${target} LINK_LIBRARIES)
    if(own)
      list(APPEND links ${own})
    endif()
  endif()
  get_target_property(iface ${target} INTERFACE_LINK_LIBRARIES)
  if(iface)
    list(APPEND links ${iface})
  endif()
  foreach(l ${links})
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" l "${l}")
    if(TARGET ${l} AND NOT l IN_LIST seen)
      list(APPEND seen ${l})
      tarvo_collect_links(${l} seen)
    endif()
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Fails when lib reaches any of the forbidden targets through its links; why says what lib is for.
function(tarvo_forbid_links lib why)
  set(all "")
  tarvo_collect_links(${lib} all)
  foreach(f ${ARGN})
    if(f IN_LIST all)
      message(FATAL_ERROR "${lib} links ${f} (directly or through another library); it must not: ${why}")
    endif()
  endforeach()
endfunction()

function(tarvo_check_light_libraries)
  set(heavy Qt6::Gui Qt::Gui Qt6::Widgets Qt::Widgets PkgConfig::GST JPEG::JPEG)
  foreach(lib tarvo_common tarvo_net)
    tarvo_forbid_links(${lib} "it stays on Qt Core and threads" ${heavy})
  endforeach()
  # Settings load, save and list; what the settings drive (camera, publishing, the program) is
  # above them. Storage tells its own files by imaging's names and never reaches publishing.
  tarvo_forbid_links(tarvo_settings "settings are below the modules that use them"
    tarvo_capture tarvo_publish tarvo_app tarvo_app_core tarvo_storage tarvo_liveview tarvo_clips)
  tarvo_forbid_links(tarvo_storage "storage knows file names, not publishing" tarvo_publish)
  tarvo_forbid_links(tarvo_capture "the capture device captures without windows" Qt6::Widgets Qt::Widgets)
  # The station runs without a desktop (tarvo-station), so nothing it is built of may need one.
  foreach(lib tarvo_engine tarvo_station tarvo-station)
    tarvo_forbid_links(${lib} "the station and its engine run without windows" Qt6::Widgets Qt::Widgets)
  endforeach()
endfunction()
