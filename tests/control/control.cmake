velmora_add_test(tst_qlrvx SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_qlrvx.cpp LINK velmora_ui FIXTURES sampledb)
