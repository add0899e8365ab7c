# Common settings for the project's own targets.

function(orvane_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  # GCC 12 reports impossible overlaps inside std::string at -O2 and above (its bug
  # 105329); the warning says nothing about our code there.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(ORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# orvane_library(<name> SOURCES ... [DEPENDS ...]): one static library per subsystem
# folder, named orvane_<name>. Headers are included as "<folder>/<file>.h".
function(orvane_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(orvane_${name} STATIC ${ARG_SOURCES})
  target_include_directories(orvane_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(orvane_${name} PUBLIC ${ARG_DEPENDS})
  orvane_target_defaults(orvane_${name})
endfunction()
