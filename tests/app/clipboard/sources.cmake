# The clipboard feature: the commands natively; the guard's window and the real clipboard
# under Wine.
target_sources(app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/clipboard_commands_test.cpp)
if(WIN32)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/guard_window_test.cpp)
endif()
