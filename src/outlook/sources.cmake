target_sources(orvalith_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/call_watch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/com_error.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dispatch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/folder_cache.cpp
    ${CMAKE_CURRENT_LIST_DIR}/outlook_connection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/outlook_errors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/outlook_folders.cpp
    ${CMAKE_CURRENT_LIST_DIR}/calendar_entries.cpp
    ${CMAKE_CURRENT_LIST_DIR}/views_and_settings.cpp
)
