# The Help menu's commands with the platform's answers scripted, under Wine.
if(WIN32)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/help_window_test.cpp)
endif()
