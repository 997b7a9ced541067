# cmake -P script behind the install.find_package test (see ../install.cmake). It sits one folder
# down so that the fragment glob of tests/CMakeLists.txt does not include it.
cmake_minimum_required(VERSION 3.25)

foreach(v BUILD_DIR HOST_SOURCE_DIR WORK_DIR GENERATOR CXX_COMPILER EXPECTED_VERSION)
  if(NOT DEFINED ${v} OR "${${v}}" STREQUAL "")
    message(FATAL_ERROR "install_check.cmake needs -D${v}=...")
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

file(GLOB_RECURSE config_files ${prefix}/*/VelmoraConfig.cmake)
if(NOT config_files)
  message(FATAL_ERROR "the install holds no VelmoraConfig.cmake")
endif()
if(NOT EXISTS ${prefix}/include/velmora/error.h)
  message(FATAL_ERROR "the install holds no include/velmora/error.h")
endif()

set(host_flags)
if(SANITIZE)
  # An instrumented library needs its runtime loaded first: the host is built the same way.
  set(host_flags -DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined)
endif()
set(make_program)
if(MAKE_PROGRAM)
  set(make_program -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM})
endif()

# Only the prefix is searched: the build tree's own package registry must not help.
step("configure the host project" ${CMAKE_COMMAND} -S ${HOST_SOURCE_DIR} -B ${host_build} -G ${GENERATOR}
  ${make_program} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON
  -DVELMORA_EXPECTED_VERSION=${EXPECTED_VERSION} ${host_flags})
string(FIND "${step_output}" "Velmora ${EXPECTED_VERSION} found in ${prefix}/" found_at)
if(found_at LESS 0)
  message(FATAL_ERROR "the host project did not find Velmora in ${prefix}:\n${step_output}")
endif()

step("build the host project" ${CMAKE_COMMAND} --build ${host_build})

step("run the host program" ${host_build}/velmora-host)
if(NOT step_output MATCHES "velmora host: control shows \"Tallybook \\+ Email\"")
  message(FATAL_ERROR "the report control did not show its label in the host:\n${step_output}")
endif()
if(NOT step_output MATCHES "velmora host: error 42 \"Customer search file missing\" with 2 engine messages")
  message(FATAL_ERROR "the host program printed something else:\n${step_output}")
endif()

# The program must run on the installed library, not on the one in the build tree.
find_program(LDD ldd)
if(LDD)
  step("ldd" ${LDD} ${host_build}/velmora-host)
  string(REGEX MATCH "libvelmora\\.so[^\n]*=> ([^ \n]+)" _ "${step_output}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "velmora-host does not load libvelmora:\n${step_output}")
  endif()
  file(REAL_PATH ${CMAKE_MATCH_1} loaded)
  file(REAL_PATH ${prefix} real_prefix)
  string(FIND "${loaded}" "${real_prefix}/" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "velmora-host loads ${loaded}, not the library installed in ${prefix}")
  endif()
endif()
message(STATUS "installed package found, built against and run: ${prefix}")
