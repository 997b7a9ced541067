velmora_add_test(tst_qlcustsearch SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_qlcustsearch.cpp LINK velmora_ui
  FIXTURES sampledb)
