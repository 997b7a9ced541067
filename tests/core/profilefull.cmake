velmora_add_test(tst_profilefull SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_profilefull.cpp
  ${CMAKE_SOURCE_DIR}/tests/common/fulldisk.h LINK velmora_core)
