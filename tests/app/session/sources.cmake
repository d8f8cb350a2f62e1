# The session and its entry list natively over fakes of its windows and real files; the
# login dialog in the real main window and the worker thread under Wine.
target_sources(app_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/session_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entry_list_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/backup_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session_secrets_test.cpp
)
if(WIN32)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/login_dialog_test.cpp
                                             ${CMAKE_CURRENT_LIST_DIR}/logout_warning_test.cpp
                                             ${CMAKE_CURRENT_LIST_DIR}/changed_file_test.cpp)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/background_work_win32_test.cpp)
endif()
