# The browser feature in the real main window and login window under Wine.
if(WIN32)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/browser_window_test.cpp)
endif()
