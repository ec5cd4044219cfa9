# SPDX-License-Identifier: GPL-3.0-or-later
# A static library of widget code; each dialog's Designer file lies beside its class.
function(korvane_widget_library name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  add_library(${name} STATIC ${sources})
  set_target_properties(${name} PROPERTIES
    AUTOMOC ON
    AUTOUIC ON)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
