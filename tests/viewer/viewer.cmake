velmora_add_test(tst_frmmain SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_frmmain.cpp ${CMAKE_CURRENT_LIST_DIR}/viewertesting.h
  LINK velmora_ui)
velmora_add_test(tst_printpreview SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_printpreview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/viewertesting.h LINK velmora_ui)
