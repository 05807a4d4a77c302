# tagshift_add_windows_resources(TARGET DESCRIPTION): gives a Windows program
# the icon (resources/icon.ico) and a version resource with project()'s
# version.
function(tagshift_add_windows_resources sTarget sDescription)
  set(TAGSHIFT_ICON "${PROJECT_SOURCE_DIR}/resources/icon.ico")
  set(TAGSHIFT_RC_NAME "${sTarget}")
  set(TAGSHIFT_RC_DESCRIPTION "${sDescription}")
  set(TAGSHIFT_RC_VERSION "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0${PROJECT_VERSION_PATCH},0")
  configure_file(${PROJECT_SOURCE_DIR}/resources/tagshift.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${sTarget}.rc @ONLY)
  target_sources(${sTarget} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${sTarget}.rc)
endfunction()
