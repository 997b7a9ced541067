target_sources(velmora_grid PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/gridviewmodel.h ${CMAKE_CURRENT_LIST_DIR}/gridviewmodel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/textranks.h ${CMAKE_CURRENT_LIST_DIR}/textranks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gridformat.h ${CMAKE_CURRENT_LIST_DIR}/gridformat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reportgrid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gridprint.h ${CMAKE_CURRENT_LIST_DIR}/gridprint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gridtableview.h ${CMAKE_CURRENT_LIST_DIR}/gridtableview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gridcardview.h ${CMAKE_CURRENT_LIST_DIR}/gridcardview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/groupbybox.h ${CMAKE_CURRENT_LIST_DIR}/groupbybox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gridaccessible.h ${CMAKE_CURRENT_LIST_DIR}/gridaccessible.cpp)
