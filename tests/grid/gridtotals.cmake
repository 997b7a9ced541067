velmora_add_test(tst_gridtotals SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_gridtotals.cpp ${CMAKE_CURRENT_LIST_DIR}/gridtesting.h
  LINK velmora_grid)
