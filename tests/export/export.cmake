velmora_add_test(tst_exportformat SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_exportformat.cpp LINK velmora_ui)
velmora_add_test(tst_export SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_export.cpp ${CMAKE_CURRENT_LIST_DIR}/exporttesting.h
  LINK velmora_ui)
velmora_add_test(tst_exportcommands SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_exportcommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exporttesting.h LINK velmora_ui)
velmora_add_test(tst_recordformatter SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recordformatter.cpp LINK velmora_ui)
