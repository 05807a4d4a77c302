# The window program on Windows: a window program without a console, with
# its icon and version in its resources, installed with the Qt libraries and
# plugins it needs beside it.
set_target_properties(tagshift PROPERTIES WIN32_EXECUTABLE ON)

tagshift_add_windows_resources(tagshift "Tagshift")

# windeployqt, run at install time, copies Qt's DLLs and plugins next to
# tagshift.exe (Qt 6.3 and later).
qt_generate_deploy_app_script(TARGET tagshift OUTPUT_SCRIPT TAGSHIFT_DEPLOY_SCRIPT NO_UNSUPPORTED_PLATFORM_ERROR)
install(SCRIPT ${TAGSHIFT_DEPLOY_SCRIPT})
