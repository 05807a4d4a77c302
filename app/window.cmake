# The main window, its pictures and the platform services.
set(TAGSHIFT_DONATION_ACCOUNT "donations@example.com" CACHE STRING
    "Receiving account of the donation page (the 'business' key of its address); a placeholder by default")
set(TAGSHIFT_DONATION_BUTTON_SOURCE "Tagshift_Donate_WPS_GB" CACHE STRING
    "Button-source code of the donation page (the 'bn' key of its address); a placeholder by default")

target_sources(tagshift_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/form1.h
  ${CMAKE_CURRENT_LIST_DIR}/form1.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PictureBox.h
  ${CMAKE_CURRENT_LIST_DIR}/PictureBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Services.h
  ${CMAKE_CURRENT_LIST_DIR}/PlatformServices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandLine.h
  ${CMAKE_CURRENT_LIST_DIR}/CommandLine.cpp
  ${PROJECT_SOURCE_DIR}/resources/tagshift.qrc
)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/form1.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  TAGSHIFT_DONATION_ACCOUNT="${TAGSHIFT_DONATION_ACCOUNT}"
  TAGSHIFT_DONATION_BUTTON_SOURCE="${TAGSHIFT_DONATION_BUTTON_SOURCE}")
