velmora_add_test(tst_viewrules SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_viewrules.cpp LINK velmora_core)
