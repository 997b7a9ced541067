velmora_add_test(tst_loadstep SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_loadstep.cpp LINK velmora_ui FIXTURES sampledb fbserver)
# Its cancel test stops the shared test server for a moment (SIGSTOP): the server tests that time
# their own calls must not run meanwhile.
set_tests_properties(tst_loadstep PROPERTIES RESOURCE_LOCK velmora_fbserver_paused)
