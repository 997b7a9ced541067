pkg_check_modules(GMIME REQUIRED IMPORTED_TARGET gmime-3.0)
target_link_libraries(velmora_ui PUBLIC PkgConfig::GMIME)
target_sources(velmora_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/mimemessage.h ${CMAKE_CURRENT_LIST_DIR}/mimemessage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/smtptransport.h ${CMAKE_CURRENT_LIST_DIR}/smtptransport.cpp)
target_sources(velmora_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/EmailAB.h ${CMAKE_CURRENT_LIST_DIR}/EmailAB.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EmailFRM.h ${CMAKE_CURRENT_LIST_DIR}/EmailFRM.cpp)
