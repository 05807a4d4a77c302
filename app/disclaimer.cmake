# The disclaimer window and the start-up.
target_sources(tagshift_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Form2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Form2.h
  ${CMAKE_CURRENT_LIST_DIR}/StartUp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StartUp.h
)

# The help file goes next to the program: "I need help!" opens readme.txt of
# the current directory and, failing that, the one beside the program.
install(FILES ${PROJECT_SOURCE_DIR}/readme.txt DESTINATION ${CMAKE_INSTALL_BINDIR})
if(UNIX AND NOT APPLE)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/tagshift.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
if(UNIX AND NOT APPLE)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icon.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME tagshift.svg)
endif()
