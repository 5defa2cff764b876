# The core library never draws: it links no Qt Widgets, includes no widget header and no file of
# the widget library, and the programs of the core suites load no widget library at run time.
# Run with -DLINK_LIBRARIES=<kelvo_core's link libraries> -DSOURCE_DIR=<src> -DPROGRAMS=<core
# test programs>.
foreach(library IN LISTS LINK_LIBRARIES)
  if(library MATCHES "Widgets|Svg|kelvo_ui")
    message(FATAL_ERROR "kelvo_core links ${library}")
  endif()
endforeach()

set(core_layers runtime model clientconfig host platform cloudlog signalling media gateway presentation collab conference
                multiprojector window)
foreach(layer IN LISTS core_layers)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.h)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      if(line MATCHES "QtWidgets|<QWidget|<QApplication|<QLabel|<QPushButton|<QDialog|\"ui/")
        message(FATAL_ERROR "${source} includes a widget header: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND readelf -d ${program} OUTPUT_VARIABLE dynamic RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "readelf failed on ${program}")
  endif()
  if(dynamic MATCHES "Qt6Widgets")
    message(FATAL_ERROR "${program} loads Qt Widgets")
  endif()
endforeach()
message(STATUS "the core links and includes no widgets")
