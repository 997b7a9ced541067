pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
target_link_libraries(velmora_ui PUBLIC PkgConfig::XLSXWRITER)
target_sources(velmora_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/exportformat.h ${CMAKE_CURRENT_LIST_DIR}/exportformat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exporttable.h ${CMAKE_CURRENT_LIST_DIR}/exporttable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recordformatter.h ${CMAKE_CURRENT_LIST_DIR}/recordformatter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mExport.h ${CMAKE_CURRENT_LIST_DIR}/mExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spreadsheet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exportcommands.h ${CMAKE_CURRENT_LIST_DIR}/exportcommands.cpp)
