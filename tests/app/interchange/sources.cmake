# XML export and import: the commands natively over a real session, entry list and files;
# the commands through the real main window under Wine.
target_sources(app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/interchange_commands_test.cpp)
if(WIN32)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/interchange_window_test.cpp)
endif()
