velmora_add_test(tst_searchfile SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_searchfile.cpp LINK velmora_data)
