velmora_add_test(tst_connection SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_connection.cpp LINK velmora_data)
velmora_add_test(tst_connection_server SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_connection_server.cpp
  LINK velmora_data Qt6::Network FIXTURES fbserver)
set_tests_properties(tst_connection_server PROPERTIES RESOURCE_LOCK velmora_fbserver_paused)
