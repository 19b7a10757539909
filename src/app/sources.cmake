# Sources of this subsystem, added to orvalith_core with target_sources.
target_sources(orvalith_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/startup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/uninstall_sequence.cpp
    ${CMAKE_CURRENT_LIST_DIR}/product_files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shortcuts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registry_entries.cpp
)
