velmora_add_test(tst_mailrules SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mailrules.cpp LINK velmora_core LABELS mail)
velmora_add_test(tst_smtptransport SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_smtptransport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mailtesting.h LINK velmora_ui Qt6::Network FIXTURES smtp LABELS mail)
velmora_add_test(tst_emailfrm SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_emailfrm.cpp ${CMAKE_CURRENT_LIST_DIR}/mailtesting.h
  ${CMAKE_SOURCE_DIR}/apps/demo/demowindow.h ${CMAKE_SOURCE_DIR}/apps/demo/demowindow.cpp
  LINK velmora_ui Qt6::Network FIXTURES smtp LABELS mail)
target_include_directories(tst_emailfrm PRIVATE ${CMAKE_SOURCE_DIR}/apps/demo)
