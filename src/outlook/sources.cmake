target_sources(orvalith_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/outlook_connection.cpp
)
