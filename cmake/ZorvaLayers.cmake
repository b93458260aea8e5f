# One object library per layer of the library, each compiled against an
# include root of its own that holds only what the layer may use: links to
# the public headers it may include and to the internal folders (or single
# headers) below it. An include that crosses a layer the wrong way names a
# file its root does not hold, so it fails to compile. Only the back-ends
# layer links the third-party libraries, so only it sees their headers
# through the build (tests/check_layers.sh guards the system include path).
#
# zorva_layer(<name>
#   SOURCES <files under src/>
#   PUBLIC  <headers of include/ it may include>
#   SEES    <folders or headers under src/ it may include>
#   [LINK   <libraries whose headers it may use>])
function(zorva_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;PUBLIC;SEES;LINK" ${ARGN})
  set(root ${PROJECT_BINARY_DIR}/layers/${name})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(header IN LISTS L_PUBLIC)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/include/${header} ${root}/${header} SYMBOLIC)
  endforeach()
  foreach(path IN LISTS L_SEES)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/src/${path})
      message(FATAL_ERROR "layer ${name}: src/${path} does not exist")
    endif()
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${path} ${root}/${path} SYMBOLIC)
  endforeach()

  list(TRANSFORM L_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/src/)
  add_library(zorva_${name} OBJECT ${L_SOURCES})
  target_include_directories(zorva_${name} PRIVATE ${root})
  target_compile_definitions(zorva_${name} PRIVATE ZORVA_BUILDING_LIBRARY)
  target_compile_options(zorva_${name} PRIVATE ${ZORVA_WARNINGS})
  if(L_LINK)
    target_link_libraries(zorva_${name} PRIVATE ${L_LINK})
  endif()
  set_target_properties(zorva_${name} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  set_property(GLOBAL APPEND PROPERTY ZORVA_LAYERS zorva_${name})
endfunction()
