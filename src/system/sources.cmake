target_sources(orvalith_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/system_info.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pause.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/communications_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/launch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/files_left.cpp
)
