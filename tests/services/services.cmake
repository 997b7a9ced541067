# The test services themselves and the sample data they serve, checked with independent tools
# (isql-fb, fbsvcmgr, sqlcipher, /usr/bin/python3's smtplib and email parser).
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/tst_services.cpp)
velmora_add_test(tst_services SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_services.cpp LINK Qt6::Core
  FIXTURES fbserver LABELS services)
target_compile_definitions(tst_services PRIVATE VELMORA_SCRIPTS_DIR="${CMAKE_SOURCE_DIR}/scripts")
endif()
if(TARGET velmora-sampledb)
  velmora_add_test(tst_sampledb SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_sampledb.cpp LINK Qt6::Core
    FIXTURES sampledb LABELS services)
  target_compile_definitions(tst_sampledb PRIVATE SAMPLEDB_EXE="$<TARGET_FILE:velmora-sampledb>")
  add_dependencies(tst_sampledb velmora-sampledb)
endif()
