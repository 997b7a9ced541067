# cmake -P script behind the install.designer_plugin test (see ../install.cmake): the package is
# installed into a fresh prefix, a host form laid out with both controls is built against it and
# loaded by QUiLoader with only QT_PLUGIN_PATH pointing at the installed plugin.
cmake_minimum_required(VERSION 3.25)

foreach(v BUILD_DIR HOST_SOURCE_DIR WORK_DIR GENERATOR CXX_COMPILER)
  if(NOT DEFINED ${v} OR "${${v}}" STREQUAL "")
    message(FATAL_ERROR "designer_check.cmake needs -D${v}=...")
  endif()
endforeach()

set(prefix ${WORK_DIR}/prefix)
set(host_build ${WORK_DIR}/host-build)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(step name)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${name} failed (${rc}):\n${out}\n${err}")
  endif()
  set(step_output "${out}${err}" PARENT_SCOPE)
endfunction()

step("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
file(GLOB_RECURSE plugin ${prefix}/*/qt6/plugins/designer/libvelmoradesigner.so)
if(NOT plugin)
  message(FATAL_ERROR "the install holds no designer plugin under <libdir>/qt6/plugins/designer")
endif()
get_filename_component(designer_dir ${plugin} DIRECTORY)
get_filename_component(plugin_path ${designer_dir} DIRECTORY)

set(host_flags)
if(SANITIZE)
  set(host_flags -DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined)
endif()
set(make_program)
if(MAKE_PROGRAM)
  set(make_program -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM})
endif()
step("configure the host project" ${CMAKE_COMMAND} -S ${HOST_SOURCE_DIR} -B ${host_build} -G ${GENERATOR}
  ${make_program} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF ${host_flags})
step("build the host project" ${CMAKE_COMMAND} --build ${host_build})

# Designer's own folder is searched too; the plugin must come from the prefix, not from there or
# from the build tree.
step("run the host program" ${CMAKE_COMMAND} -E env QT_PLUGIN_PATH=${plugin_path} ${host_build}/velmora-designer-host)
foreach(expected
    "uic form holds velmora::QLrvx and velmora::QLCustSearch"
    "loaded report control showing \"Tallybook \\+ Email\"; search Caption \"01-00042\" after 1 Change")
  if(NOT step_output MATCHES "${expected}")
    message(FATAL_ERROR "the host did not get the controls (${expected}):\n${step_output}")
  endif()
endforeach()
file(REAL_PATH ${plugin} real_plugin)
string(FIND "${step_output}" "plugin ${real_plugin}" at)
if(at LESS 0)
  string(FIND "${step_output}" "plugin ${plugin}" at)
endif()
if(at LESS 0)
  message(FATAL_ERROR "the host did not load the installed plugin ${plugin}:\n${step_output}")
endif()
message(STATUS "designer plugin installed and used by QUiLoader: ${plugin}")
