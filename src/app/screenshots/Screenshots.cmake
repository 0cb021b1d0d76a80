# `cmake --build BUILD --target screenshots`: runs the program offscreen on the sample photograph
# and saves pictures of the main window under BUILD/screenshots.
add_executable(velmora-screenshots EXCLUDE_FROM_ALL
  screenshots/screenshot_driver.cpp
  screenshots/screenshot_session.cpp)
target_link_libraries(velmora-screenshots PRIVATE velmora_app)

set(VELMORA_SCREENSHOT_DIR ${CMAKE_BINARY_DIR}/screenshots)
add_custom_target(screenshots
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_SCREENSHOT_DIR}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:velmora-screenshots>
          ${PROJECT_SOURCE_DIR}/assets/sample/ladybird.jpg
          ${PROJECT_SOURCE_DIR}/assets/sample/ladybird.polygon
          ${VELMORA_SCREENSHOT_DIR}
  DEPENDS velmora-screenshots
  COMMENT "Taking screenshots of the main window into ${VELMORA_SCREENSHOT_DIR}"
  VERBATIM)
