target_sources(orvane_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/example_pack_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png_writer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/range_allocator_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_math_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shadow_cache_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/texture_set_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/visual_settings_test.cpp
)
target_link_libraries(orvane_tests PRIVATE orvane_render PkgConfig::LIBZIP PkgConfig::ZLIB)

# Display tests: the screenshot mode under xvfb-run with lavapipe and the validation layer.
if(ORVANE_APP)
  add_executable(orvane_png_check ${CMAKE_CURRENT_LIST_DIR}/png_check.cpp)
  orvane_target_defaults(orvane_png_check)
  target_link_libraries(orvane_png_check PRIVATE orvane_render PkgConfig::ZLIB)
  add_test(NAME display.scenes
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/scene_display.sh $<TARGET_FILE:orvane> $<TARGET_FILE:orvane_png_check>)
  set_tests_properties(display.scenes PROPERTIES LABELS display RESOURCE_LOCK xvfb)
  add_test(NAME display.sight
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/sight_display.sh $<TARGET_FILE:orvane> $<TARGET_FILE:orvane_png_check>)
  set_tests_properties(display.sight PROPERTIES LABELS display RESOURCE_LOCK xvfb)
  foreach(case scene badpacks nodevice unwritable)
    add_test(NAME display.screenshot_${case}
      COMMAND ${CMAKE_CURRENT_LIST_DIR}/screenshot_display.sh ${case} $<TARGET_FILE:orvane>
              $<TARGET_FILE:orvane_png_check>)
    # xvfb-run -a can race for a display number when started side by side.
    set_tests_properties(display.screenshot_${case} PROPERTIES LABELS display RESOURCE_LOCK xvfb)
  endforeach()
  foreach(scene main worlds multiplayer)
    add_test(NAME display.menu_${scene}
      COMMAND ${CMAKE_CURRENT_LIST_DIR}/menu_display.sh ${scene} $<TARGET_FILE:orvane>
              $<TARGET_FILE:orvane_png_check>)
    set_tests_properties(display.menu_${scene} PROPERTIES LABELS display RESOURCE_LOCK xvfb)
  endforeach()

  # The renderer's passes, settings, packs and resizing, each against a partner picture.
  add_executable(orvane_render_check ${CMAKE_CURRENT_LIST_DIR}/render_check.cpp)
  orvane_target_defaults(orvane_render_check)
  target_link_libraries(orvane_render_check PRIVATE orvane_game orvane_render orvane_world
                        PkgConfig::GLFW3)
  foreach(case shadows post night override visual resize reference turn)
    add_test(NAME display.render_${case}
      COMMAND ${CMAKE_CURRENT_LIST_DIR}/render_display.sh ${case}
              $<TARGET_FILE:orvane_render_check> $<TARGET_FILE:orvane_png_check>)
    set_tests_properties(display.render_${case} PROPERTIES LABELS display RESOURCE_LOCK xvfb)
  endforeach()
endif()
