# The disclaimer window and the start-up.
target_sources(tagshift_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Form2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Form2.h
  ${CMAKE_CURRENT_LIST_DIR}/StartUp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StartUp.h
)
