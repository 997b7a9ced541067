velmora_add_test(tst_layouts SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_layouts.cpp ${CMAKE_CURRENT_LIST_DIR}/viewertesting.h
  LINK velmora_ui)
