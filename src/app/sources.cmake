target_sources(orvalith_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/startup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/uninstall_sequence.cpp
    ${CMAKE_CURRENT_LIST_DIR}/product_files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shortcuts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registry_entries.cpp
    ${CMAKE_CURRENT_LIST_DIR}/application.cpp
    ${CMAKE_CURRENT_LIST_DIR}/progress_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/working_folder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/all_users.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_sessions.cpp
)
