velmora_add_test(tst_profilefile SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_profilefile.cpp LINK velmora_core)
velmora_add_test(tst_layoutrules SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_layoutrules.cpp LINK velmora_core)
