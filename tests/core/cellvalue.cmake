velmora_add_test(tst_cellvalue SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_cellvalue.cpp LINK velmora_core)
