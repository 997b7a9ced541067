velmora_add_test(tst_groupsort SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_groupsort.cpp ${CMAKE_CURRENT_LIST_DIR}/dialogtesting.h
  LINK velmora_dialogs LABELS dialogs)
velmora_add_test(tst_showfields SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_showfields.cpp ${CMAKE_CURRENT_LIST_DIR}/dialogtesting.h
  LINK velmora_dialogs LABELS dialogs)
velmora_add_test(tst_formatview SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_formatview.cpp ${CMAKE_CURRENT_LIST_DIR}/dialogtesting.h
  LINK velmora_dialogs LABELS dialogs)
velmora_add_test(tst_summary SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_summary.cpp ${CMAKE_CURRENT_LIST_DIR}/dialogtesting.h
  LINK velmora_dialogs LABELS dialogs)
