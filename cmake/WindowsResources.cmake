# tagshift_add_windows_resources(TARGET DESCRIPTION [MANIFEST file]
#                                [PICTURES name...]): gives a Windows program
# the icon (resources/icon.ico) and a version resource with project()'s
# version; a window program also gets its manifest and its pictures
# (resources/<name>, embedded as RCDATA under their file names, which
# resource names keep in capitals: FindResource finds them in any case).
function(tagshift_add_windows_resources sTarget sDescription)
  cmake_parse_arguments(PARSE_ARGV 2 TAGSHIFT_RC "" "MANIFEST" "PICTURES")
  set(TAGSHIFT_ICON "${PROJECT_SOURCE_DIR}/resources/icon.ico")
  set(TAGSHIFT_RC_NAME "${sTarget}")
  set(TAGSHIFT_RC_DESCRIPTION "${sDescription}")
  set(TAGSHIFT_RC_VERSION "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0${PROJECT_VERSION_PATCH},0")
  set(TAGSHIFT_RC_EXTRA "")
  set(lDepends "${TAGSHIFT_ICON}")
  if(TAGSHIFT_RC_MANIFEST)
    string(APPEND TAGSHIFT_RC_EXTRA "1 24 \"${TAGSHIFT_RC_MANIFEST}\"\n")  # RT_MANIFEST of the program
    list(APPEND lDepends "${TAGSHIFT_RC_MANIFEST}")
  endif()
  foreach(sPicture IN LISTS TAGSHIFT_RC_PICTURES)
    string(APPEND TAGSHIFT_RC_EXTRA "${sPicture} RCDATA \"${PROJECT_SOURCE_DIR}/resources/${sPicture}\"\n")
    list(APPEND lDepends "${PROJECT_SOURCE_DIR}/resources/${sPicture}")
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/resources/tagshift.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${sTarget}.rc @ONLY)
  target_sources(${sTarget} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${sTarget}.rc)
  # The resource compiler does not report the files it embeds.
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${sTarget}.rc PROPERTIES OBJECT_DEPENDS "${lDepends}")
endfunction()
