# The test services themselves and the sample data they serve, checked with independent tools
# (isql-fb, sqlcipher).
if(TARGET velmora-sampledb)
  velmora_add_test(tst_sampledb SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_sampledb.cpp LINK Qt6::Core
    FIXTURES sampledb fbserver LABELS services)
  target_compile_definitions(tst_sampledb PRIVATE SAMPLEDB_EXE="$<TARGET_FILE:velmora-sampledb>")
  add_dependencies(tst_sampledb velmora-sampledb)
endif()
