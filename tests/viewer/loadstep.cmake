velmora_add_test(tst_loadstep SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_loadstep.cpp LINK velmora_ui FIXTURES sampledb fbserver)
