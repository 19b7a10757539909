target_sources(orvalith_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/strings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/log_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/resource_strings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/messages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/time_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/windows_version.cpp
    ${CMAKE_CURRENT_LIST_DIR}/loaded_library.cpp
    ${CMAKE_CURRENT_LIST_DIR}/owned_handle.cpp
)
