velmora_add_test(tst_commandbar SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_commandbar.cpp LINK velmora_ui)
