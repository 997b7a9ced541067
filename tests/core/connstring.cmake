velmora_add_test(tst_connstring SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_connstring.cpp LINK velmora_core)
