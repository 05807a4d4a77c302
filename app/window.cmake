# Sources of the main window: target_sources(tagshift_gui PRIVATE ...)
