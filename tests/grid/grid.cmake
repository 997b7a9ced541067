velmora_add_test(tst_reportgrid SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_reportgrid.cpp ${CMAKE_CURRENT_LIST_DIR}/gridtesting.h
  LINK velmora_grid)
velmora_add_test(tst_gridprint SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_gridprint.cpp ${CMAKE_CURRENT_LIST_DIR}/gridtesting.h
  LINK velmora_grid)
velmora_add_test(tst_gridwriteback SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_gridwriteback.cpp
  LINK velmora_grid FIXTURES sampledb)
velmora_add_test(tst_textranks SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_textranks.cpp ${CMAKE_CURRENT_LIST_DIR}/gridtesting.h
  LINK velmora_grid)
