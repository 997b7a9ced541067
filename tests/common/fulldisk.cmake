velmora_add_test(tst_fulldisk SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_fulldisk.cpp ${CMAKE_CURRENT_LIST_DIR}/fulldisk.h
  LINK Qt6::Core)
