velmora_add_test(tst_qlrvx SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_qlrvx.cpp
  ${CMAKE_SOURCE_DIR}/apps/demo/demowindow.h ${CMAKE_SOURCE_DIR}/apps/demo/demowindow.cpp
  LINK velmora_ui FIXTURES sampledb)
