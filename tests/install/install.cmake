# The installed package as a host project meets it: `cmake --install` of this build into a fresh
# prefix, then a tiny project that does find_package(Velmora) and links Velmora::Velmora is
# configured, built and run against that prefix only.
add_test(NAME install.find_package
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${CMAKE_BINARY_DIR}
    -DHOST_SOURCE_DIR=${CMAKE_CURRENT_LIST_DIR}/host
    -DWORK_DIR=${CMAKE_BINARY_DIR}/install-test
    -DGENERATOR=${CMAKE_GENERATOR}
    -DMAKE_PROGRAM=${CMAKE_MAKE_PROGRAM}
    -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
    -DSANITIZE=${VELMORA_SANITIZE}
    -DEXPECTED_VERSION=${PROJECT_VERSION}
    -P ${CMAKE_CURRENT_LIST_DIR}/script/install_check.cmake)
set_tests_properties(install.find_package PROPERTIES TIMEOUT 600 LABELS install
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0")
# Each `cmake --install` of the build tree rewrites its install_manifest.txt: one at a time.
set_tests_properties(install.find_package PROPERTIES RESOURCE_LOCK velmora_install_manifest)

# The designer plugin as a host meets it: a form with both controls, compiled through uic and
# loaded by QUiLoader from the installed plugin (QT_PLUGIN_PATH only).
if(TARGET velmoradesigner)
  add_test(NAME install.designer_plugin
    COMMAND ${CMAKE_COMMAND}
      -DBUILD_DIR=${CMAKE_BINARY_DIR}
      -DHOST_SOURCE_DIR=${CMAKE_CURRENT_LIST_DIR}/designer
      -DWORK_DIR=${CMAKE_BINARY_DIR}/install-designer-test
      -DGENERATOR=${CMAKE_GENERATOR}
      -DMAKE_PROGRAM=${CMAKE_MAKE_PROGRAM}
      -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
      -DSANITIZE=${VELMORA_SANITIZE}
      -P ${CMAKE_CURRENT_LIST_DIR}/script/designer_check.cmake)
  set_tests_properties(install.designer_plugin PROPERTIES TIMEOUT 600 LABELS install
    RESOURCE_LOCK velmora_install_manifest ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0")
endif()
