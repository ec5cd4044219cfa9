# A static library of widget code whose dialogs take their Designer files from resources/dialogs.
function(korvane_widget_library name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  add_library(${name} STATIC ${sources})
  set_target_properties(${name} PROPERTIES
    AUTOMOC ON
    AUTOUIC ON
    AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/resources/dialogs)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
