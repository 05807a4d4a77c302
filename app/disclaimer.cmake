# Sources of the disclaimer window and start-up: target_sources(tagshift_gui PRIVATE ...)
