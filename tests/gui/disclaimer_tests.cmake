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
