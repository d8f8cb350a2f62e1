# What the features share: the command table, the settings and the Password Guard natively;
# config.ini through the Windows profile functions and the three-button box under Wine.
target_sources(app_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/command_table_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/password_guard_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp
)
if(WIN32)
    target_sources(app_win32_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/settings_win32_test.cpp
                                          ${CMAKE_CURRENT_LIST_DIR}/prompts_win32_test.cpp)
endif()
