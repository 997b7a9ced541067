# A host process that opens a database and waits, for the signal test.
add_executable(velmora-signal-host ${CMAKE_CURRENT_LIST_DIR}/signalhost.cpp)
target_link_libraries(velmora-signal-host PRIVATE velmora_data)
velmora_add_test(tst_hostsignals SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_hostsignals.cpp LINK velmora_data
  FIXTURES fbserver)
target_compile_definitions(tst_hostsignals PRIVATE VELMORA_SIGNAL_HOST="$<TARGET_FILE:velmora-signal-host>")
add_dependencies(tst_hostsignals velmora-signal-host)
