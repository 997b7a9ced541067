# Services the tests need, as CTest fixtures: a test names them in velmora_add_test(... FIXTURES ...)
# and a plain `ctest` starts them first and stops them afterwards.
#   fbserver  private Firebird server on a loopback port   -> ${VELMORA_TEST_RUN_DIR}/fbserver.env
#   smtp      SMTP sink storing every accepted message      -> ${VELMORA_TEST_RUN_DIR}/smtp.env
#   sampledb  sample.fdb (2,000 inventory rows, seed 1) and search.tmp (password "velmora")
# The run folder belongs to this build tree, and the ports are picked free, so test runs of two
# build trees side by side never meet.
set(_scripts ${CMAKE_SOURCE_DIR}/scripts)

add_test(NAME services.fbserver.start COMMAND ${_scripts}/fbserver.sh start ${VELMORA_TEST_RUN_DIR})
add_test(NAME services.fbserver.stop COMMAND ${_scripts}/fbserver.sh stop ${VELMORA_TEST_RUN_DIR})
set_tests_properties(services.fbserver.start PROPERTIES FIXTURES_SETUP fbserver TIMEOUT 60)
set_tests_properties(services.fbserver.stop PROPERTIES FIXTURES_CLEANUP fbserver TIMEOUT 60)

add_test(NAME services.smtp.start COMMAND ${_scripts}/smtpsink.sh start ${VELMORA_TEST_RUN_DIR})
add_test(NAME services.smtp.stop COMMAND ${_scripts}/smtpsink.sh stop ${VELMORA_TEST_RUN_DIR})
set_tests_properties(services.smtp.start PROPERTIES FIXTURES_SETUP smtp TIMEOUT 60)
set_tests_properties(services.smtp.stop PROPERTIES FIXTURES_CLEANUP smtp TIMEOUT 60)

if(TARGET velmora-sampledb)
  add_test(NAME services.sampledb.create
    COMMAND sh -c "mkdir -p \"$1\" && exec \"$2\" --output \"$1/sample.fdb\" --rows 2000 --seed 1 --replace --search-file \"$1/search.tmp\" --search-password velmora --quiet"
            sampledb ${VELMORA_TEST_RUN_DIR} $<TARGET_FILE:velmora-sampledb>)
  # The engine's own allocations outlive main(): not ours to report in a sanitizer build.
  set_tests_properties(services.sampledb.create PROPERTIES FIXTURES_SETUP sampledb TIMEOUT 120
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
endif()

# Test programs include "common/testservices.h".
include_directories(${CMAKE_CURRENT_SOURCE_DIR})
