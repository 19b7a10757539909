target_sources(orvalith_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/startup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/uninstall_sequence.cpp
)
