# Tests of the disclaimer window and start-up
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(tagshift_disclaimer_tests
  ${CMAKE_CURRENT_LIST_DIR}/disclaimer_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disclaimer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disclaimer_layout_test.cpp
)
target_link_libraries(tagshift_disclaimer_tests PRIVATE tagshift_gui Qt6::Test GTest::gtest)
gtest_discover_tests(tagshift_disclaimer_tests
  PROPERTIES LABELS gui ENVIRONMENT QT_QPA_PLATFORM=offscreen
  DISCOVERY_TIMEOUT 60)

# The start-up with the real main window.
add_executable(tagshift_startup_tests
  ${CMAKE_CURRENT_LIST_DIR}/disclaimer_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp
)
target_link_libraries(tagshift_startup_tests PRIVATE tagshift_gui Qt6::Test GTest::gtest)
target_compile_definitions(tagshift_startup_tests PRIVATE TAGSHIFT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
gtest_discover_tests(tagshift_startup_tests
  PROPERTIES LABELS gui ENVIRONMENT QT_QPA_PLATFORM=offscreen
  DISCOVERY_TIMEOUT 60)

# What `cmake --install` gives a user, checked in a temporary prefix.
add_test(NAME install_check
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_check.sh ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
set_tests_properties(install_check PROPERTIES LABELS gui TIMEOUT 120)

# Both windows in one picture for the README (scripts/screenshot-disclaimer.sh).
add_executable(tagshift_startup_screenshot ${CMAKE_CURRENT_LIST_DIR}/startup_screenshot.cpp)
target_link_libraries(tagshift_startup_screenshot PRIVATE tagshift_gui)
