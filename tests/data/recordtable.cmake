velmora_add_test(tst_recordtable SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recordtable.cpp LINK velmora_data)
