# Tests of the main window
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(tagshift_window_tests ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp ${CMAKE_CURRENT_LIST_DIR}/WindowFakes.h)
target_link_libraries(tagshift_window_tests PRIVATE tagshift_gui Qt6::Test GTest::gtest)
gtest_discover_tests(tagshift_window_tests
  PROPERTIES LABELS gui ENVIRONMENT QT_QPA_PLATFORM=offscreen
  DISCOVERY_TIMEOUT 60)

# Renders the window to PNG files (scripts/screenshot.sh).
add_executable(tagshift_window_screenshot ${CMAKE_CURRENT_LIST_DIR}/window_screenshot.cpp)
target_link_libraries(tagshift_window_screenshot PRIVATE tagshift_gui)
