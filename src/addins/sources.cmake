# Sources of this subsystem, added to orvalith_core with target_sources.
target_sources(orvalith_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/clickonce_store.cpp
    ${CMAKE_CURRENT_LIST_DIR}/addin_uninstall.cpp
    ${CMAKE_CURRENT_LIST_DIR}/restore_point.cpp
)
