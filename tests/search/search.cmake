velmora_add_test(tst_qlcustsearch SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_qlcustsearch.cpp LINK velmora_ui
  FIXTURES sampledb)
if(TARGET velmora-report)
  velmora_add_test(tst_velmorareport SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_velmorareport.cpp LINK velmora_ui
    FIXTURES sampledb fbserver)
  target_compile_definitions(tst_velmorareport PRIVATE VELMORA_REPORT_TOOL="$<TARGET_FILE:velmora-report>")
  add_dependencies(tst_velmorareport velmora-report)
endif()
