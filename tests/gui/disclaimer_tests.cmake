# Tests of the disclaimer window and start-up
