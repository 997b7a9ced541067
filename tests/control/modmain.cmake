velmora_add_test(tst_modmain SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_modmain.cpp LINK velmora_ui)
