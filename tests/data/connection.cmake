velmora_add_test(tst_connection SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_connection.cpp LINK velmora_data)
# A host process that opens a database and waits, for the signal test.
add_executable(velmora-signal-host ${CMAKE_CURRENT_LIST_DIR}/signalhost.cpp)
target_link_libraries(velmora-signal-host PRIVATE velmora_data)
velmora_add_test(tst_connection_server SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_connection_server.cpp
  LINK velmora_data Qt6::Network FIXTURES fbserver)
set_tests_properties(tst_connection_server PROPERTIES RESOURCE_LOCK velmora_fbserver_paused)
target_compile_definitions(tst_connection_server PRIVATE VELMORA_SIGNAL_HOST="$<TARGET_FILE:velmora-signal-host>")
add_dependencies(tst_connection_server velmora-signal-host)
